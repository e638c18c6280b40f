// The serial link: opening the port from the current profile, packets, waits and replies.

#include "comm.h"
#include "link_host.h"
#include "link_internal.h"
#include "module1.h"
#include "profile_record.h"

#include <QFile>
#include <algorithm>
#include <climits>
#include <cstdio>

int32_t WaitTicks = 0;

// Packet heads. They hold their values from the start as well, so that no packet can go out
// without its head.
QByteArray EraseHeader = QByteArrayLiteral("SE\x03");
QByteArray ReloadCommand = QByteArrayLiteral("SR\x01");

namespace {

// Buffer sizes the port takes (16-bit values).
constexpr int32_t kMinBufferSize = 1;
constexpr int32_t kMaxBufferSize = 32767;

// Largest file SendFile writes in one piece: a pre-loader goes into the target's RAM.
constexpr qint64 kMaxSendFileSize = 64 * 1024;

// Length of one tick of the main window's timer.
constexpr qint64 kTickMs = 100;

// Position (0-based) of the first byte a packet's checksum covers: the count.
constexpr int kChecksumFrom = 2;

// Reply codes and their texts.
constexpr char kReplyChipEraseFailed = '!';
constexpr char kReplyAcknowledge = '*';
constexpr char kReplyChecksumError = '?';
constexpr char kReplyChipProgramFailure = '#';
constexpr char kReplyChipReadFailure = '$';

const QString kCommPortError = QStringLiteral(
    "Comm port error.\rPlease choose another COMM Port\rin the Profile..., Properties menu");

int32_t ClampBufferSize(const char* name, int32_t size)
{
    if (size >= kMinBufferSize && size <= kMaxBufferSize)
        return size;
    const int32_t clamped = size < kMinBufferSize ? kMinBufferSize : kMaxBufferSize;
    std::fprintf(stderr, "Bramlet: %s %d is out of range (%d to %d); using %d\n", name, size,
                 kMinBufferSize, kMaxBufferSize, clamped);
    return clamped;
}

}  // namespace

void Timer1Tick()
{
    if (WaitTicks > 0)
        --WaitTicks;
}

void InitPacketHeads()
{
    EraseHeader = QByteArrayLiteral("SE\x03");
    ReloadCommand = QByteArrayLiteral("SR\x01");
}

void OpenCommPort(Comm& comm, LinkHost& host)
{
    if (comm.PortOpen())
        comm.SetPortOpen(false);
    comm.CommPort = CurrentProfile.COMPort;
    comm.DTREnable = CurrentProfile.COMDTREnable;
    comm.Handshaking = CurrentProfile.COMHandshaking ? -1 : 0;
    comm.InBufferSize = ClampBufferSize("COMInBufferSize", CurrentProfile.COMInBufferSize);
    comm.OutBufferSize = ClampBufferSize("COMOutBufferSize", CurrentProfile.COMOutBufferSize);
    comm.NullDiscard = CurrentProfile.COMNullDiscard;
    comm.Settings = CurrentProfile.COMSettings;
    if (!comm.SetPortOpen(true)) {
        std::fprintf(stderr, "Bramlet: cannot open the serial port: %s\n",
                     qPrintable(comm.LastError()));
        host.ShowMessage(kCommPortError, MessageIcon::Exclamation);
    }
}

void CloseCommPort(Comm& comm)
{
    if (comm.PortOpen())
        comm.SetPortOpen(false);
}

SendResult SendFileChecked(Comm& comm, LinkHost& host, const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowFileError(host, fileName, file.errorString());
        return SendResult::FileError;
    }
    // One byte past the limit tells a file that is too large, also one whose size is not
    // known beforehand (a device).
    const QByteArray bytes = file.read(kMaxSendFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        ShowFileError(host, fileName, file.errorString());
        return SendResult::FileError;
    }
    if (bytes.size() > kMaxSendFileSize) {
        host.ShowMessage(QStringLiteral("The file '%1' is too large to send (more than %2 bytes).")
                             .arg(fileName)
                             .arg(kMaxSendFileSize),
                         MessageIcon::Exclamation);
        return SendResult::FileError;
    }
    file.close();
    return comm.Output(bytes) ? SendResult::Sent : SendResult::PortError;
}

bool SendFile(Comm& comm, LinkHost& host, const QString& fileName)
{
    return SendFileChecked(comm, host, fileName) == SendResult::Sent;
}

void ShowFileError(LinkHost& host, const QString& fileName, const QString& reason)
{
    host.ShowMessage(QStringLiteral("The file '%1' cannot be opened.\n%2").arg(fileName, reason),
                     MessageIcon::Exclamation);
}

QByteArray FramePacket(const QByteArray& packet)
{
    unsigned sum = 0;
    for (qsizetype i = kChecksumFrom; i < packet.size(); ++i)
        sum += static_cast<unsigned char>(packet[i]);
    QByteArray framed = packet;
    framed.append(static_cast<char>(255 - sum % 256));
    return framed;
}

bool SendPacket(Comm& comm, const QByteArray& packet)
{
    return comm.Output(FramePacket(packet));
}

bool WaitForReply(Comm& comm, LinkHost& host, int ticks)
{
    // The port queues a burst at once; the time-out counts from when it has crossed the line,
    // to within a tick, so that a long burst at a low baud rate is not taken for silence.
    const qint64 lineTicks = comm.LineBusyMs() / kTickMs;
    WaitTicks = static_cast<int32_t>(std::min<qint64>(ticks + lineTicks, INT32_MAX));
    while (comm.InBufferCount() == 0 && WaitTicks > 0 && comm.PortOpen())
        host.DoEvents();
    const bool replied = comm.InBufferCount() > 0;
    WaitTicks = 0;
    return replied;
}

bool WaitForAck(Comm& comm, LinkHost& host, int ticks)
{
    if (!WaitForReply(comm, host, ticks))
        return false;
    const QByteArray reply = comm.Input();
    if (reply.startsWith(kReplyAcknowledge))
        return true;
    ShowReply(host, reply);
    return false;
}

QString ReplyMessage(const QByteArray& reply)
{
    const QString whole = QString::fromLatin1(reply);
    const unsigned code = reply.isEmpty() ? 0u : static_cast<unsigned char>(reply[0]);
    const QString hex = QString::number(code, 16).toUpper();
    QString text;
    switch (reply.isEmpty() ? '\0' : reply[0]) {
    case kReplyChipEraseFailed:
        text = QStringLiteral("Chip Erase Failed :");
        break;
    case kReplyAcknowledge:
        text = QStringLiteral("Acknowledge Received :");
        break;
    case kReplyChecksumError:
        text = QStringLiteral("Checksum Error :");
        break;
    case kReplyChipProgramFailure:
        text = QStringLiteral("Chip Program Failure :");
        break;
    case kReplyChipReadFailure:
        text = QStringLiteral("Chip Read Failure :");
        break;
    default:
        return QStringLiteral("Communication Error ") + hex + QStringLiteral(" (") + whole
               + QStringLiteral(")");
    }
    return text + QStringLiteral(" (") + hex + QLatin1Char(' ') + whole + QStringLiteral(")");
}

void ShowReply(LinkHost& host, const QByteArray& reply)
{
    host.ShowMessage(ReplyMessage(reply), MessageIcon::Exclamation);
}
