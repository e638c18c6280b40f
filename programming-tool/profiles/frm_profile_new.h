#pragma once
// The New Profile window: asks for a name and creates that profile as a copy of "Default".
// Opened modally by the Profile Manager's New... button; created at its first opening and
// afterwards only hidden, so it shows the last name typed when it opens again.

#include <QDialog>
#include <QIcon>

class QLabel;
class QLineEdit;
class QPushButton;

class frmProfileNew : public QDialog {
    Q_OBJECT
public:
    explicit frmProfileNew(const QIcon& icon, QWidget* parent = nullptr);
    ~frmProfileNew() override;

    QLabel* lblName = nullptr;
    QLineEdit* txtName = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void cmdOK_Click();
    bool eventFilter(QObject* watched, QEvent* event) override;
};
