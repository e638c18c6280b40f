#pragma once
// Fixture of the profile window tests: a fresh settings store, a main window stand-in that owns a
// real port component, and a pseudo-terminal behind COM1 whose line settings the tests can read.
#include "comm.h"
#include "frm_profile_properties.h"
#include "link_host.h"
#include "main_window_link.h"
#include "module1.h"
#include "profile.h"
#include "settings_store.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class FakeHost : public LinkHost {
public:
    void SetStatusText(int, const QString&) override {}
    QString StatusText(int) const override { return {}; }
    void ShowMessage(const QString& text, MessageIcon) override { messages << text; }
    void NotRespondingBox() override { messages << QStringLiteral("not responding"); }
    int SelectedMemory() const override { return 1; }
    void DoEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents, 50); }

    QStringList messages;
};

class FakeMainWindow : public MainWindowLink {
public:
    FakeMainWindow()
    {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::red);
        icon = QIcon(pixmap);
    }
    void FormCaptionUpdate() override { captions << CurrentProfile.Name; }
    Comm& CommPort() override { return comm; }
    QIcon WindowIcon() const override { return icon; }
    LinkHost& Host() override { return host; }

    Comm comm;
    FakeHost host;
    QIcon icon;
    QStringList captions;  // CurrentProfile.Name at each FormCaptionUpdate
};

// The master side of a pseudo-terminal; the program opens the slave through COM1.
class PseudoTerminal {
public:
    PseudoTerminal()
    {
        int slave = -1;
        char name[128] = {};
        if (openpty(&master_, &slave, name, nullptr, nullptr) == 0) {
            ::close(slave);
            slavePath_ = QString::fromLocal8Bit(name);
        }
    }
    ~PseudoTerminal()
    {
        if (master_ >= 0)
            ::close(master_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool IsOpen() const { return master_ >= 0; }
    QString SlavePath() const { return slavePath_; }
    // Line rate the program set on its end (the slave's settings, as the master reports them).
    speed_t LineSpeed() const
    {
        termios t{};
        return tcgetattr(master_, &t) == 0 ? cfgetospeed(&t) : B0;
    }

private:
    int master_ = -1;
    QString slavePath_;
};

// Answers the next modal window of type T once it is up: polls every 10 ms, so it can be armed
// before the click that opens the window.
template <typename T>
void AnswerModal(std::function<void(T*)> answer)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto* window = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!window || !window->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        answer(window);
    });
    timer->start();
}

class ProfileWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(pty_.IsOpen());
        savedXdg_ = qgetenv("XDG_CONFIG_HOME");
        savedCom1_ = qgetenv("COM1");
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
        qputenv("COM1", pty_.SlavePath().toLocal8Bit());
        SetProfileWarningHandler([this](const QString& text) { warnings << text; });

        // What the main window does at start-up.
        CurrentProfile = ProfileRecord{};
        CreateDefaultProfile();
        ReadProfile(QStringLiteral("Default"), CurrentProfile);
    }
    void TearDown() override
    {
        window.reset();
        main.comm.SetPortOpen(false);
        SetProfileWarningHandler(nullptr);
        qputenv("XDG_CONFIG_HOME", savedXdg_);
        qputenv("COM1", savedCom1_);
    }

    // The first opening of the window, as the main window's menu command does it.
    frmProfileProperties& Open()
    {
        if (!window)
            window = std::make_unique<frmProfileProperties>(main);
        window->show();
        return *window;
    }

    static QString Stored(const QString& section, const QString& key)
    {
        return SettingsStore::Read(section, key, QStringLiteral("<missing>"));
    }
    static QString StoredDefault(const QString& key) { return Stored(QStringLiteral("Default"), key); }

    QTemporaryDir dir_;
    PseudoTerminal pty_;
    QByteArray savedXdg_, savedCom1_;
    FakeMainWindow main;
    std::unique_ptr<frmProfileProperties> window;
    QStringList warnings;
};
