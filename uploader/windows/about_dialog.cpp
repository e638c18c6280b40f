#include "about_dialog.h"

#include "dialog_units.h"

#include <QLabel>
#include <QPushButton>

namespace {
const char kCaption[] = "About Quorra";
const char kVersionText[] = "Quorra Version 1.0";
const char kSecondLine[] = "Intel hex uploader for C167 controllers";
constexpr int kFontPoints = 8;
}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    QFont f = font();
    f.setPointSize(kFontPoints);
    setFont(f);
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(QuorraIcon());

    auto* icon = new QLabel(this);
    PlaceControl(icon, 11, 17, 20, 20);
    icon->setPixmap(QuorraIcon().pixmap(icon->size().boundedTo(QSize(32, 32))));

    versionText = new QLabel(QString::fromLatin1(kVersionText), this);
    PlaceControl(versionText, 40, 10, 119, 8);
    secondLine = new QLabel(QString::fromLatin1(kSecondLine), this);
    PlaceControl(secondLine, 40, 25, 130, 8);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    PlaceControl(okButton, 178, 7, 50, 14);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(DialogSize(font(), 235, 55));
}
