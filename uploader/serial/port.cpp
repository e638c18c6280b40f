// The uploader's serial port driver over Qt SerialPort.
#include "port.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QSerialPort>
#include <QString>
#include <QThread>

#include <algorithm>
#include <cstdio>

PortState portState;

namespace {

constexpr uint8_t kInitialPortNumber = 1;
constexpr uint32_t kInitialBaudRate = 9600;
constexpr unsigned long kSettleWaitMs = 1000;  // after the line settings are applied
constexpr int kWriteStallMs = 5000;            // a write that makes no progress this long gives up
const char kDevicePrefix[] = "COM";
const char kDefaultDevicePattern[] = "/dev/ttyS%d";  // COMn without an environment entry
const char kIoPendingText[] = "\n\rIO Pending";

// Shows the wait cursor while the port is being opened, when there is a window system.
class WaitCursor {
public:
    WaitCursor()
    {
        active_ = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
        if (active_)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~WaitCursor()
    {
        if (active_)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool active_ = false;
};

bool PortIsOpen()
{
    return portState.handle && portState.handle->isOpen();
}

}  // namespace

QString PortName(uint8_t portNumber)
{
    return QString::asprintf("%s%d", kDevicePrefix, int(portNumber));
}

QString PortDevicePath(uint8_t portNumber)
{
    const QByteArray fromEnvironment = qgetenv(PortName(portNumber).toLatin1().constData());
    if (!fromEnvironment.isEmpty())
        return QString::fromLocal8Bit(fromEnvironment);
    return QString::asprintf(kDefaultDevicePattern, int(portNumber) - 1);
}

int InitPort()
{
    portState.handle.reset();
    portState.portNumber = kInitialPortNumber;
    portState.baudRate = kInitialBaudRate;
    return 1;
}

int OpenPort()
{
    WaitCursor waitCursor;
    if (portState.handle)
        ClosePort();

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(PortDevicePath(portState.portNumber));
    QSerialPort* raw = port.get();
    // A hung-up far end makes Qt report read errors without end: close at the first one, so that
    // reads return 0 and nothing spins. Line-signal requests that a device does not support
    // (a pseudo-terminal has no DTR or RTS) are harmless and ignored.
    QObject::connect(raw, &QSerialPort::errorOccurred, raw, [raw](QSerialPort::SerialPortError error) {
        if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && raw->isOpen())
            raw->close();
    });
    if (!port->open(QIODevice::ReadWrite))
        return 0;

    port->clear(QSerialPort::AllDirections);
    portState.handle = std::move(port);

    const int result = SetupPort();
    if (!result) {
        portState.handle->close();
        portState.handle.reset();
    }
    return result;
}

int SetupPort()
{
    if (!PortIsOpen())
        return 0;
    QSerialPort& port = *portState.handle;

    bool ok = port.setBaudRate(static_cast<qint32>(portState.baudRate));
    ok = port.setDataBits(QSerialPort::Data8) && ok;
    ok = port.setParity(QSerialPort::NoParity) && ok;
    ok = port.setStopBits(QSerialPort::OneStop) && ok;
    // No hardware and no software flow control: the data carries 11h and 13h both ways.
    ok = port.setFlowControl(QSerialPort::NoFlowControl) && ok;
    // DTR and RTS asserted while open; a device without these lines refuses harmlessly.
    port.setDataTerminalReady(true);
    port.setRequestToSend(true);
    port.clearError();

    // Let the line and the device settle, whatever the outcome.
    QThread::msleep(kSettleWaitMs);
    return ok ? 1 : 0;
}

unsigned ReadPort(unsigned char* buffer, unsigned maxCount)
{
    if (!PortIsOpen() || maxCount == 0)
        return 0;
    QSerialPort& port = *portState.handle;

    if (port.bytesAvailable() == 0) {
        // Poll the device without waiting; a time-out here only means nothing arrived.
        port.waitForReadyRead(0);
        if (!port.isOpen())
            return 0;
        port.clearError();
    }

    const qint64 waiting = port.bytesAvailable();
    const qint64 wanted = std::min<qint64>(maxCount, waiting);
    if (wanted <= 0)
        return 0;

    const qint64 got = port.read(reinterpret_cast<char*>(buffer), wanted);
    if (got < wanted) {
        std::fputs(kIoPendingText, stderr);
        std::fflush(stderr);
        port.clearError();
    }
    return got > 0 ? static_cast<unsigned>(got) : 0u;
}

int WritePort(const unsigned char* buffer, unsigned count)
{
    if (!PortIsOpen() || count == 0)
        return 1;
    QSerialPort& port = *portState.handle;

    port.write(reinterpret_cast<const char*>(buffer), count);
    // Hand every byte to the device before returning, so that the caller's timing holds.
    while (port.isOpen() && port.bytesToWrite() > 0) {
        if (!port.waitForBytesWritten(kWriteStallMs))
            break;
    }
    if (port.isOpen())
        port.clearError();
    return 1;
}

void ClosePort()
{
    if (!portState.handle)
        return;
    QSerialPort& port = *portState.handle;
    if (port.isOpen()) {
        port.setDataTerminalReady(false);
        port.clear(QSerialPort::AllDirections);
        port.close();
    }
    portState.handle.reset();
}

bool WaitForPortData(int timeoutMs)
{
    if (!PortIsOpen())
        return false;
    QSerialPort& port = *portState.handle;
    if (port.bytesAvailable() > 0)
        return true;
    port.waitForReadyRead(std::max(timeoutMs, 0));
    if (!port.isOpen())
        return false;
    port.clearError();
    return port.bytesAvailable() > 0;
}
