#pragma once
// The Settings window: port, baud rate and language.

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(QWidget* parent = nullptr);

    void OnInitDialog();  // fills the controls from the current values (run by the constructor)
    void OnOK();          // stores the choices and closes with OK

    QComboBox* portList = nullptr;      // 1010
    QComboBox* baudList = nullptr;      // 1012
    QComboBox* languageList = nullptr;  // 1013
    QLabel* portLabel = nullptr;        // 1015
    QLabel* baudLabel = nullptr;        // 1016
    QLabel* languageLabel = nullptr;    // 1017
    QPushButton* okButton = nullptr;    // 1
    QPushButton* cancelButton = nullptr;  // 2
};
