#include "pty_peer.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

PtyPeer::PtyPeer()
{
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    slavePath_ = QString::fromLocal8Bit(name);
}

PtyPeer::~PtyPeer()
{
    closeMaster();
    if (slave_ >= 0)
        ::close(slave_);
}

void PtyPeer::send(const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += n;
    }
}

QByteArray PtyPeer::receive(int count, int timeoutMs)
{
    QByteArray got;
    QDeadlineTimer deadline(timeoutMs);
    while (got.size() < count && !deadline.hasExpired()) {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, int(deadline.remainingTime())) <= 0)
            continue;
        char chunk[512];
        const ssize_t n = ::read(master_, chunk, sizeof chunk);
        if (n > 0)
            got.append(chunk, n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            break;
    }
    return got;
}

void PtyPeer::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}
