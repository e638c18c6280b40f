#include "upload_waits.h"

#include "port.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

qint64 UploadClockMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

void DispatchWindowMessages(qint64 wakeAt)
{
    const qint64 remaining = wakeAt < 0 ? 0 : wakeAt - UploadClockMs();
    if (remaining <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // The port's read notifier lives in this thread's event queue, so arriving bytes wake the
    // queue as well as the timer and the window system do.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(qMin<qint64>(remaining, INT_MAX)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void WaitForPortUntil(qint64 deadline)
{
    const qint64 remaining = deadline - UploadClockMs();
    if (remaining <= 0)
        return;
    if (WaitForPortData(static_cast<int>(qMin<qint64>(remaining, INT_MAX))))
        return;
    // Returned early without data: no port is open. Nothing can arrive before the deadline.
    const qint64 left = deadline - UploadClockMs();
    if (left > 0)
        QThread::msleep(static_cast<unsigned long>(left));
}
