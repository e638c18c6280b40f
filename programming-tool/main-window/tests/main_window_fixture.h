#pragma once
// A fresh settings store, working folder and profile for each main-window test, and a
// main window that records what it writes into status panel 1.

#include "frm_main.h"
#include "modal_answerer.h"
#include "profile.h"
#include "profile_record.h"
#include "settings_store.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

// A tick interval that runs the 100 ms waits fast. Tests never look at the wall clock.
constexpr int kFastTickMs = 1;

class RecordingMain : public frmMain {
public:
    using frmMain::frmMain;
    void SetStatusText(int panel, const QString& text) override
    {
        if (panel == 1)
            panel1 << text;
        frmMain::SetStatusText(panel, text);
    }
    QStringList panel1;
};

// The far end of a pseudo-terminal that never answers, for tests without the simulator.
class SilentTarget {
public:
    SilentTarget()
    {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            path_ = name;
            fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~SilentTarget()
    {
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }
    const QByteArray& Path() const { return path_; }
    // Bytes the program has written so far; waits up to waitMs for the first one.
    QByteArray Drain(int waitMs = 0)
    {
        QByteArray bytes;
        pollfd p{master_, POLLIN, 0};
        if (waitMs > 0)
            poll(&p, 1, waitMs);
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            bytes.append(buffer, n);
        }
        return bytes;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QByteArray path_;
};

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config_.isValid());
        ASSERT_TRUE(work_.isValid());
        savedConfig_ = qgetenv("XDG_CONFIG_HOME");
        savedCom1_ = qgetenv("COM1");
        savedFolder_ = QDir::currentPath();
        qputenv("XDG_CONFIG_HOME", config_.path().toLocal8Bit());
        QDir::setCurrent(work_.path());
        CurrentProfile = ProfileRecord{};
    }
    void TearDown() override
    {
        QDir::setCurrent(savedFolder_);
        qputenv("XDG_CONFIG_HOME", savedConfig_);
        if (savedCom1_.isNull())
            qunsetenv("COM1");
        else
            qputenv("COM1", savedCom1_);
        CurrentProfile = ProfileRecord{};
    }

    static QString Caption(const QString& profile)
    {
        return QStringLiteral("Altamar Controller Programming Tool using '") + profile + "'";
    }
    static const QString& NotResponding()
    {
        static const QString text = QStringLiteral(
            "The target device is not responding\nPlease Reset your target device\n"
            "and press the Reset button.");
        return text;
    }
    template <typename T>
    static T* Child(QWidget& w, const char* name)
    {
        return w.findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir config_;
    QTemporaryDir work_;
    QByteArray savedConfig_;
    QByteArray savedCom1_;
    QString savedFolder_;
};
