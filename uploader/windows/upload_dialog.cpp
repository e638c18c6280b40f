#include "upload_dialog.h"

#include "dialog_units.h"
#include "port.h"
#include "settings.h"
#include "settings_dialog.h"
#include "upload_waits.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QToolTip>

namespace {

const char kTitle[] = "Quorra";
constexpr int kFontPoints = 10;
const char kNone[] = "none";
const char kHexFilter[] = "Hexfiles (*.hex)";
const char kHexPattern[] = "*.hex";
const char kHexSuffix[] = "hex";

QString Lookup(const char* section, const char* key, const char* defaultText)
{
    return LookupText(QString::fromLatin1(section), QString::fromLatin1(key),
                      QString::fromLatin1(defaultText));
}

}  // namespace

QString ComSettingsCaption()
{
    // One arg() call: a "%1" inside the looked-up text stays as it is.
    return QStringLiteral("%1 COM%2 Baud: %3")
        .arg(Lookup("Buttons", "comsettings", "COM Settings"),
             QString::number(portState.portNumber), QString::number(portState.baudRate));
}

void ShowQuorraMessage(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kTitle), text, QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);  // device replies and paths are shown as they are
    box.exec();
}

QString StatusLabel::shownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

bool StatusLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && shownText() != text()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(event);
}

void StatusLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), palette(), isEnabled(),
                          shownText(), foregroundRole());
}

UploadDialog::UploadDialog(QWidget* parent) : QDialog(parent)
{
    QFont f = font();
    f.setPointSize(kFontPoints);
    setFont(f);

    chooseHexFileButton = new QPushButton(QStringLiteral("Choose HexFile"), this);
    PlaceControl(chooseHexFileButton, 7, 7, 60, 14);
    comSettingsButton = new QPushButton(QStringLiteral("COM Settings"), this);
    PlaceControl(comSettingsButton, 74, 7, 161, 14);
    statusText = new StatusLabel(QStringLiteral("important message"), this);
    statusText->setTextFormat(Qt::PlainText);
    statusText->setAlignment(Qt::AlignCenter);
    PlaceControl(statusText, 7, 27, 228, 10);
    progressBar = new QProgressBar(this);
    progressBar->setTextVisible(false);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    PlaceControl(progressBar, 7, 42, 228, 19);
    startButton = new QPushButton(QStringLiteral("START"), this);
    PlaceControl(startButton, 7, 64, 50, 14);
    startButton->setEnabled(false);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceControl(cancelButton, 185, 64, 50, 14);
    for (QPushButton* b : {chooseHexFileButton, comSettingsButton, startButton, cancelButton})
        b->setAutoDefault(false);

    connect(chooseHexFileButton, &QPushButton::clicked, this, &UploadDialog::OnChooseHexFile);
    connect(comSettingsButton, &QPushButton::clicked, this, &UploadDialog::OnComSettings);
    connect(startButton, &QPushButton::clicked, this, &UploadDialog::RunUpload);
    connect(cancelButton, &QPushButton::clicked, this, &UploadDialog::OnCancel);

    setWindowIcon(QuorraIcon());
    setFixedSize(DialogSize(font(), 242, 85));
    OnInitDialog();
}

void UploadDialog::OnInitDialog()
{
    ApplyTexts();
}

void UploadDialog::ApplyTexts()
{
    setWindowTitle(QString::fromLatin1(kTitle));
    cancelButton->setText(Lookup("Buttons", "cancel", "Cancel"));
    comSettingsButton->setText(ComSettingsCaption());
    chooseHexFileButton->setText(Lookup("Buttons", "choosehexfile", "Choose hexfile"));
    statusText->setText(Lookup("Buttons", "pushforupload", "Push START for upload:"));
    startButton->setText(Lookup("Buttons", "start", "START"));
}

void UploadDialog::OnChooseHexFile()
{
    // Remembering the directory is switched on by a "lastdir" already present.
    const QString lastDir = ReadProgram(QStringLiteral("HISTORY"), QStringLiteral("lastdir"),
                                        QString::fromLatin1(kNone));
    const bool remember = lastDir != QLatin1String(kNone);
    const QString initialDir =
        remember ? lastDir : baseDirectory + UploadProcedure::ModelDirectory(upload.model);

    QFileDialog dialog(this);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);  // a typed name need not exist
    dialog.setNameFilter(QString::fromLatin1(kHexFilter));
    dialog.setDefaultSuffix(QString::fromLatin1(kHexSuffix));
    dialog.setDirectory(initialDir);
    dialog.selectFile(QString::fromLatin1(kHexPattern));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;

    const QString path = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    statusText->setText(path);
    startButton->setEnabled(true);
    upload.hexFilePath = path;
    if (remember) {
        QString dir = QFileInfo(path).absolutePath();
        if (!dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        WriteProgram(QStringLiteral("HISTORY"), QStringLiteral("lastdir"), dir);
    }
}

void UploadDialog::OnComSettings()
{
    SettingsDialog settings(this);
    if (settings.exec() != QDialog::Accepted)
        return;
    comSettingsButton->setText(ComSettingsCaption());
    ApplyTexts();
}

void UploadDialog::RunUpload()
{
    upload.RunUpload();
}

void UploadDialog::OnCancel()
{
    // During an upload the flag is seen right after the dispatch that brought this click; the
    // upload then ends and the window closes once START's handler has returned.
    upload.OnCancel();
    QDialog::reject();
}

void UploadDialog::reject()
{
    OnCancel();
}

void UploadDialog::SetStatusText(const QString& text)
{
    statusText->setText(text);
    // Painted at once: most steps of the upload dispatch no window messages.
    if (statusText->isVisible())
        statusText->repaint();
}

void UploadDialog::SetProgressRange(int minimum, int maximum)
{
    progressBar->setRange(minimum, maximum);
}

void UploadDialog::SetProgressPosition(int position)
{
    progressBar->setValue(position);
}

void UploadDialog::SetProgressStepSize(int step)
{
    progressStep_ = step;
}

void UploadDialog::StepProgress()
{
    const int next = progressBar->value() + progressStep_;
    if (next <= progressBar->maximum())
        progressBar->setValue(next);
}

void UploadDialog::EnableUploadButtons(bool enable)
{
    chooseHexFileButton->setEnabled(enable);
    startButton->setEnabled(enable);
    comSettingsButton->setEnabled(enable);
}

void UploadDialog::ShowMessage(const QString& text)
{
    ShowQuorraMessage(this, text);
}

qint64 UploadDialog::Now()
{
    return UploadClockMs();
}

void UploadDialog::DispatchMessages(qint64 wakeAt)
{
    DispatchWindowMessages(wakeAt);
}

void UploadDialog::WaitForData(qint64 deadline)
{
    WaitForPortUntil(deadline);
}
