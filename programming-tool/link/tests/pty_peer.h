#pragma once
// The far end of a pseudo-terminal, for tests that play the target by hand.

#include <QByteArray>
#include <QString>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

class PtyPeer {
public:
    PtyPeer()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        slave_ = QString::fromLocal8Bit(ptsname(master_));
        // Keep the slave open here too, so the master never sees a hang-up between opens.
        keep_ = ::open(slave_.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        termios t{};
        tcgetattr(keep_, &t);
        cfmakeraw(&t);
        tcsetattr(keep_, TCSANOW, &t);
    }
    ~PtyPeer() { Close(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool Ok() const { return master_ >= 0 && keep_ >= 0; }
    QString SlavePath() const { return slave_; }

    void Write(const QByteArray& bytes) const
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
            if (n <= 0 && errno != EINTR && errno != EAGAIN)
                return;
            if (n > 0)
                done += n;
        }
    }

    // Reads until n bytes came or the time limit passed (a safety net, not a measurement).
    QByteArray Read(qsizetype n, int limitMs = 5000) const
    {
        QByteArray out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (out.size() < n && std::chrono::steady_clock::now() < end) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN))
                continue;
            char buf[4096];
            const ssize_t got = ::read(master_, buf, sizeof buf);
            if (got > 0)
                out.append(buf, got);
        }
        return out;
    }

    // Ends the far end: the program sees the device go away.
    void Close()
    {
        if (keep_ >= 0)
            ::close(keep_);
        if (master_ >= 0)
            ::close(master_);
        keep_ = master_ = -1;
    }

private:
    int master_ = -1;
    int keep_ = -1;
    QString slave_;
};
