#pragma once
// The About box: fixed texts, OK.

#include <QDialog>

class QLabel;
class QPushButton;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QLabel* versionText = nullptr;
    QLabel* secondLine = nullptr;
    QPushButton* okButton = nullptr;  // 1
};
