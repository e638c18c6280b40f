#pragma once
// The device chooser, Quorra's main window: four model buttons with captions from the customer
// file, Exit, and the About entry (a small About button, the window's context menu and F1).

#include <QDialog>

class QAction;
class QPushButton;

class DeviceChooserDialog : public QDialog {
    Q_OBJECT
public:
    explicit DeviceChooserDialog(QWidget* parent = nullptr);

    // Texts from the customer and language files; run once when the window is first shown,
    // after the start-up settings have been read.
    void OnInitDialog();
    void OnModelButton(int model);  // a fresh modal upload window for the model
    void OnAbout();                 // the About box, modally

    // Model buttons in the order of their models: 1002, 1003, 1001, 1000.
    QPushButton* modelButtons[4] = {};
    QPushButton* exitButton = nullptr;   // 2
    QPushButton* aboutButton = nullptr;  // opens the About box
    QAction* aboutAction = nullptr;      // "&About Quorra..." in the context menu, F1

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool initialised_ = false;
};
