// The port component over Qt SerialPort.

#include "comm.h"

#include <QSerialPort>
#include <QStringList>
#include <algorithm>

namespace {

// Lowest and highest port numbers a profile may name.
constexpr int kFirstPort = 1;
constexpr int kLastPort = 255;

struct LineSettings {
    qint32 baud = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// "38400,N,8,1": baud rate, parity letter (N, O, E, M, S in either case), data bits (5 to 8),
// stop bits (1, 1.5 or 2). Blanks around each part are allowed.
bool ParseSettings(const QString& text, LineSettings& out, QString& why)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) {
        why = QStringLiteral("expected baud rate, parity, data bits and stop bits separated by commas");
        return false;
    }
    bool ok = false;
    const QString baudText = parts[0].trimmed();
    const uint baud = baudText.toUInt(&ok, 10);
    if (!ok || baud == 0 || baud > 0x7FFFFFFFu || !baudText.at(0).isDigit()) {
        why = QStringLiteral("invalid baud rate");
        return false;
    }
    out.baud = static_cast<qint32>(baud);

    const QString parity = parts[1].trimmed().toUpper();
    if (parity == QLatin1String("N"))
        out.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("O"))
        out.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("E"))
        out.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("M"))
        out.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("S"))
        out.parity = QSerialPort::SpaceParity;
    else {
        why = QStringLiteral("invalid parity letter");
        return false;
    }

    const QString data = parts[2].trimmed();
    if (data == QLatin1String("5"))
        out.dataBits = QSerialPort::Data5;
    else if (data == QLatin1String("6"))
        out.dataBits = QSerialPort::Data6;
    else if (data == QLatin1String("7"))
        out.dataBits = QSerialPort::Data7;
    else if (data == QLatin1String("8"))
        out.dataBits = QSerialPort::Data8;
    else {
        why = QStringLiteral("invalid number of data bits");
        return false;
    }

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        out.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        out.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        out.stopBits = QSerialPort::TwoStop;
    else {
        why = QStringLiteral("invalid number of stop bits");
        return false;
    }
    return true;
}

// Handshaking modes: 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 RTS/CTS and XON/XOFF; -1 is how a stored
// "yes" reads and selects RTS/CTS.
bool FlowControlFor(int handshaking, QSerialPort::FlowControl& out)
{
    switch (handshaking) {
    case 0:
        out = QSerialPort::NoFlowControl;
        return true;
    case 1:
        out = QSerialPort::SoftwareControl;
        return true;
    case -1:
    case 2:
    case 3:
        out = QSerialPort::HardwareControl;
        return true;
    default:
        return false;
    }
}

}  // namespace

Comm::Comm(QObject* parent) : QObject(parent) {}

Comm::~Comm()
{
    SetPortOpen(false);
}

bool Comm::ValidSettings(const QString& text, QString* why)
{
    LineSettings line;
    QString reason;
    const bool ok = ParseSettings(text, line, reason);
    if (why)
        *why = reason;
    return ok;
}

QString Comm::DeviceForPort(int n)
{
    const QByteArray name = "COM" + QByteArray::number(n);
    const QString fromEnv = qEnvironmentVariable(name.constData());
    if (!fromEnv.isEmpty())
        return fromEnv;
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

bool Comm::PortOpen() const
{
    return port_ && port_->isOpen() && !broken_;
}

QString Comm::LastError() const
{
    return lastError_;
}

bool Comm::SetPortOpen(bool open)
{
    if (!open) {
        if (port_) {
            port_->disconnect(this);
            if (port_->isOpen())
                port_->close();
            port_.reset();
        }
        broken_ = false;
        rx_.clear();
        return true;
    }
    if (PortOpen())
        return true;
    SetPortOpen(false);

    if (CommPort < kFirstPort || CommPort > kLastPort) {
        lastError_ = QStringLiteral("invalid port number %1").arg(CommPort);
        return false;
    }
    LineSettings line;
    QString why;
    if (!ParseSettings(Settings, line, why)) {
        lastError_ = QStringLiteral("invalid settings \"%1\": %2").arg(Settings, why);
        return false;
    }
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    if (!FlowControlFor(Handshaking, flow)) {
        lastError_ = QStringLiteral("invalid handshaking mode %1").arg(Handshaking);
        return false;
    }

    const QString device = DeviceForPort(CommPort);
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(device);
    if (!port->open(QIODevice::ReadWrite)) {
        lastError_ = QStringLiteral("%1: %2").arg(device, port->errorString());
        return false;
    }
    if (!port->setBaudRate(line.baud) || !port->setParity(line.parity)
        || !port->setDataBits(line.dataBits) || !port->setStopBits(line.stopBits)
        || !port->setFlowControl(flow)) {
        lastError_ = QStringLiteral("%1: settings \"%2\" not accepted: %3")
                         .arg(device, Settings, port->errorString());
        port->close();
        return false;
    }
    // DTR cannot be set on every device (a pseudo-terminal refuses it); that is harmless.
    port->setDataTerminalReady(DTREnable);
    port->clearError();

    port_ = std::move(port);
    // Time of one character on the line: start bit, data bits, parity bit, stop bits.
    const double bits = 1.0 + static_cast<int>(line.dataBits) + (line.parity == QSerialPort::NoParity ? 0 : 1)
                        + (line.stopBits == QSerialPort::OneStop        ? 1.0
                           : line.stopBits == QSerialPort::TwoStop      ? 2.0
                                                                        : 1.5);
    charTimeNs_ = static_cast<qint64>(bits * 1e9 / line.baud);
    lineFreeAt_ = std::chrono::steady_clock::now();
    broken_ = false;
    rx_.clear();
    lastError_.clear();
    connect(port_.get(), &QSerialPort::readyRead, this, &Comm::Pull);
    connect(port_.get(), &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError e) { OnError(static_cast<int>(e)); });
    return true;
}

void Comm::OnError(int error)
{
    if (!port_)
        return;
    const auto e = static_cast<QSerialPort::SerialPortError>(error);
    if (e != QSerialPort::ReadError && e != QSerialPort::ResourceError
        && e != QSerialPort::WriteError)
        return;
    if (broken_)
        return;
    // The device went away (adapter unplugged, far end closed). Qt keeps reporting the error
    // for as long as the port stays open, so the port is closed once control is back in the
    // event loop; from now on it counts as closed.
    broken_ = true;
    lastError_ = QStringLiteral("%1: %2").arg(port_->portName(), port_->errorString());
    QMetaObject::invokeMethod(this, [this] {
        if (broken_)
            SetPortOpen(false);
        broken_ = false;
    }, Qt::QueuedConnection);
}

void Comm::Pull()
{
    if (!port_ || broken_)
        return;
    QByteArray bytes = port_->readAll();
    if (NullDiscard)
        bytes.replace(QByteArray(1, '\0'), QByteArray());
    rx_.append(bytes);
}

bool Comm::Output(const QByteArray& bytes)
{
    if (!PortOpen())
        return false;
    // Qt appends the bytes to its own unbounded transmit queue and sends them from the event
    // loop, so no byte is lost however long the burst.
    if (port_->write(bytes) != bytes.size())
        return false;
    const auto now = std::chrono::steady_clock::now();
    lineFreeAt_ = std::max(now, lineFreeAt_) + std::chrono::nanoseconds(charTimeNs_ * bytes.size());
    return true;
}

qint64 Comm::LineBusyMs() const
{
    if (!PortOpen())
        return 0;
    const auto left = lineFreeAt_ - std::chrono::steady_clock::now();
    return std::max<qint64>(0, std::chrono::duration_cast<std::chrono::milliseconds>(left).count());
}

QByteArray Comm::Input()
{
    if (PortOpen()) {
        port_->waitForReadyRead(0);  // takes in what the device already holds
        Pull();
    }
    QByteArray out;
    out.swap(rx_);
    // The target answers what it has taken: whatever was queued before has crossed the line.
    if (!out.isEmpty())
        lineFreeAt_ = std::min(lineFreeAt_, std::chrono::steady_clock::now());
    return out;
}

int Comm::InBufferCount()
{
    if (PortOpen() && port_->bytesAvailable() > 0)
        Pull();
    return static_cast<int>(rx_.size());
}
