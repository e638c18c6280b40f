#pragma once
// The Profile Manager window. Created by the main window at its first opening, then only hidden.

#include <QDialog>

class MainWindowLink;

class frmProfileProperties : public QDialog {
    Q_OBJECT
public:
    explicit frmProfileProperties(MainWindowLink& mainWindow, QWidget* parent = nullptr);
    ~frmProfileProperties() override;

private:
    MainWindowLink& main_;
};
