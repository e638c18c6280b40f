#include "frm_profile_new.h"

#include "module1.h"
#include "profile.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

// Form geometry in pixels (the form is drawn in twips, 15 to a pixel).
constexpr int kClientWidth = 216;   // 3240 twips
constexpr int kClientHeight = 100;  // 1500 twips

// Sections of the settings store that are not profiles.
constexpr const char* kReservedNames[] = {"Profiles", "General"};

}  // namespace

frmProfileNew::frmProfileNew(const QIcon& icon, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmProfileNew"));
    setWindowTitle(QStringLiteral("New Profile"));
    setWindowIcon(icon);
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);

    lblName = new QLabel(QStringLiteral("Name for the New Profile:"), this);
    lblName->setObjectName(QStringLiteral("lblName"));
    lblName->setGeometry(8, 8, 161, 17);

    txtName = new QLineEdit(this);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtName->setGeometry(20, 30, 189, 22);
    txtName->installEventFilter(this);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(8, 65, 97, 25);
    cmdOK->setDefault(true);

    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(110, 65, 97, 25);

    setTabOrder(txtName, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    // Cancel and Esc hide the window; nothing is created.
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmProfileNew::~frmProfileNew() = default;

void frmProfileNew::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Each opening starts in the name field, with the last name typed selected.
    txtName->setFocus(Qt::OtherFocusReason);
    SelectAllText(txtName);
}

void frmProfileNew::cmdOK_Click()
{
    // The name is taken exactly as typed; an empty name creates nothing.
    const QString name = txtName->text();
    // A profile's section must not be one of the store's own sections: a profile "Profiles" would
    // list its keys as profiles, and deleting it would unregister every profile.
    for (const char* reserved : kReservedNames) {
        if (name.compare(QLatin1String(reserved), Qt::CaseInsensitive) == 0) {
            QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                            QStringLiteral("A profile cannot be named '%1': the settings store "
                                           "uses that name itself.\nPlease choose another name.")
                                .arg(name),
                            QMessageBox::Ok, this);
            box.exec();
            txtName->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    if (!name.isEmpty())
        CreateProfile(name);
    accept();
}

bool frmProfileNew::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtName && event->type() == QEvent::FocusIn) {
        // After the field's own focus handling, which may move the cursor.
        QLineEdit* field = txtName;
        QTimer::singleShot(0, field, [field] { SelectAllText(field); });
    }
    return QDialog::eventFilter(watched, event);
}
