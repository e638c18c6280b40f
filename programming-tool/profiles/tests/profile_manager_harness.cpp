// A small window to try the Profile Manager by hand (not part of the test suite):
//
//     xvfb-run -a build/programming-tool/profiles/tests/profile_manager_harness
//
// It stands in for the main window: caption with the current profile, File > Properties... as a
// button, the port opened from the current profile. Unless COM1 is set, it puts a
// pseudo-terminal behind COM1 and shows the line rate that the far end of the line sees.
#include "comm.h"
#include "frm_profile_properties.h"
#include "link_host.h"
#include "main_window_link.h"
#include "module1.h"
#include "profile.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kCaption = QStringLiteral("Altamar Controller Programming Tool");

class HarnessWindow : public QWidget, public MainWindowLink, public LinkHost {
public:
    explicit HarnessWindow(int ptyMaster) : ptyMaster_(ptyMaster)
    {
        QPixmap pixmap(32, 32);
        pixmap.fill(QColor(0, 90, 160));
        icon_ = QIcon(pixmap);
        setWindowIcon(icon_);
        auto* column = new QVBoxLayout(this);
        auto* properties = new QPushButton(QStringLiteral("Prop&erties..."), this);
        properties->setObjectName(QStringLiteral("mnuProperties"));
        line_ = new QLabel(this);
        line_->setObjectName(QStringLiteral("lineState"));
        column->addWidget(properties);
        column->addWidget(line_);
        resize(420, 120);
        connect(properties, &QPushButton::clicked, this, [this] {
            if (!profileManager_)
                profileManager_ = new frmProfileProperties(*this, this);  // first opening only
            profileManager_->exec();
            ShowLineState();
        });
    }

    void FormCaptionUpdate() override
    {
        setWindowTitle(kCaption + QStringLiteral(" using '") + CurrentProfile.Name + QLatin1Char('\''));
    }
    Comm& CommPort() override { return comm_; }
    QIcon WindowIcon() const override { return icon_; }
    LinkHost& Host() override { return *this; }

    void SetStatusText(int, const QString&) override {}
    QString StatusText(int) const override { return {}; }
    void ShowMessage(const QString& text, MessageIcon) override
    {
        QMessageBox::warning(this, kCaption, text);
    }
    void NotRespondingBox() override {}
    int SelectedMemory() const override { return 1; }
    void DoEvents() override { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100); }

    void ShowLineState()
    {
        QString text = QStringLiteral("Port COM%1 %2, settings %3")
                           .arg(comm_.CommPort)
                           .arg(comm_.PortOpen() ? QStringLiteral("open") : QStringLiteral("closed"))
                           .arg(comm_.Settings);
        termios t{};
        if (ptyMaster_ >= 0 && tcgetattr(ptyMaster_, &t) == 0) {
            static const std::pair<speed_t, int> rates[] = {
                {B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
            int baud = 0;
            for (const auto& [code, rate] : rates)
                if (cfgetospeed(&t) == code)
                    baud = rate;
            text += QStringLiteral("\nFar end of the line: %1 baud").arg(baud);
        }
        line_->setText(text);
    }

private:
    Comm comm_;
    QIcon icon_;
    QLabel* line_ = nullptr;
    frmProfileProperties* profileManager_ = nullptr;
    int ptyMaster_;
};

}  // namespace

int main(int argc, char** argv)
{
    int master = -1;
    if (qEnvironmentVariableIsEmpty("COM1")) {
        int slave = -1;
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            ::close(slave);
            qputenv("COM1", name);
        }
    }
    QApplication app(argc, argv);
    HarnessWindow window(master);
    SetProfileWarningHandler([&window](const QString& text) {
        QMessageBox::warning(&window, window.windowTitle(), text);
    });
    CreateDefaultProfile();
    ReadProfile(QStringLiteral("Default"), CurrentProfile);
    window.FormCaptionUpdate();
    window.show();
    OpenCommPort(window.CommPort(), window);
    window.ShowLineState();
    const int result = app.exec();
    if (master >= 0)
        ::close(master);
    return result;
}
