#include "device_chooser_dialog.h"

#include "about_dialog.h"
#include "dialog_units.h"
#include "settings.h"
#include "upload_dialog.h"

#include <QAction>
#include <QPushButton>

namespace {

const char kTitle[] = "Quorra";
const char kAboutEntry[] = "&About Quorra...";
const char kAboutButtonText[] = "About";
constexpr int kFontPoints = 10;
constexpr int kCaptionBufferSize = 266;

struct ModelButton {
    const char* templateText;
    const char* captionKey;
    const char* defaultCaption;
    int x, y;
};
// In the order of the models 1 to 4 (controls 1002, 1003, 1001, 1000).
constexpr ModelButton kModelButtons[4] = {
    {"VR10", "Button1", "VR-10", 7, 7},
    {"VR20", "Button2", "VR-20", 78, 7},
    {"TX31", "Button3", "TX31", 7, 35},
    {"TX37", "Button4", "TX37", 78, 35},
};

}  // namespace

DeviceChooserDialog::DeviceChooserDialog(QWidget* parent) : QDialog(parent)
{
    QFont f = font();
    f.setPointSize(kFontPoints);
    setFont(f);
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowIcon(QuorraIcon());

    for (int i = 0; i < 4; ++i) {
        const ModelButton& m = kModelButtons[i];
        modelButtons[i] = new QPushButton(QString::fromLatin1(m.templateText), this);
        PlaceControl(modelButtons[i], m.x, m.y, 64, 24);
        modelButtons[i]->setAutoDefault(false);
        const int model = i + 1;
        connect(modelButtons[i], &QPushButton::clicked, this, [this, model] { OnModelButton(model); });
    }
    exitButton = new QPushButton(QStringLiteral("Exit"), this);
    PlaceControl(exitButton, 50, 64, 50, 14);
    exitButton->setAutoDefault(false);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::reject);

    // Linux windows have no system menu: the About entry sits in a small button beside Exit,
    // in the window's context menu and on F1.
    aboutButton = new QPushButton(QString::fromLatin1(kAboutButtonText), this);
    PlaceControl(aboutButton, 7, 66, 34, 11);
    aboutButton->setFlat(true);
    aboutButton->setAutoDefault(false);
    aboutButton->setToolTip(QString::fromLatin1(kAboutEntry).remove(QLatin1Char('&')));
    connect(aboutButton, &QPushButton::clicked, this, &DeviceChooserDialog::OnAbout);
    aboutAction = new QAction(QString::fromLatin1(kAboutEntry), this);
    aboutAction->setShortcut(QKeySequence::HelpContents);
    connect(aboutAction, &QAction::triggered, this, &DeviceChooserDialog::OnAbout);
    addAction(aboutAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    resize(DialogSize(font(), 149, 85));
}

void DeviceChooserDialog::showEvent(QShowEvent* event)
{
    if (!initialised_) {
        initialised_ = true;
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void DeviceChooserDialog::OnInitDialog()
{
    for (int i = 0; i < 4; ++i) {
        const ModelButton& m = kModelButtons[i];
        const QString caption =
            ReadCustomer(QStringLiteral("Buttons"), QString::fromLatin1(m.captionKey),
                         QString::fromLatin1(m.defaultCaption), kCaptionBufferSize);
        modelButtons[i]->setText(caption);
        modelButtons[i]->setEnabled(!caption.isEmpty());
    }
    exitButton->setText(LookupText(QStringLiteral("Buttons"), QStringLiteral("exit"),
                                   QStringLiteral("Exit")));
}

void DeviceChooserDialog::OnModelButton(int model)
{
    UploadDialog dialog(this);
    dialog.upload.model = model;
    dialog.exec();
}

void DeviceChooserDialog::OnAbout()
{
    AboutDialog about(this);
    about.exec();
}
