// Flash erase and application programming.

#include "comm.h"
#include "line_reader.h"
#include "link_host.h"
#include "link_internal.h"
#include "module1.h"
#include "profile_record.h"

#include <QFile>

namespace {

constexpr int kCpuFlashBanks = 4;
constexpr int kExternalFlashBanks = 8;
constexpr char kEraseTrailer = 0x0A;   // written on its own after every erase packet
constexpr char kBankHigh = 0x00;       // first payload byte of an erase packet

// Waits, in 100 ms ticks.
constexpr int kEraseAckTicks = 100;
constexpr int kRecordAckTicks = 10;

// Binary images travel as type 3 records of this many data bytes at most.
constexpr int kPieceSize = 64;
constexpr char kRecordStart = 'S';
constexpr char kType3 = '3';
constexpr int kType3Overhead = 5;      // four address bytes and the checksum

struct ApplicationChoice {
    QString file;
    QString offset;
    QString prefix;
};

bool ChooseApplication(int targetMemory, ApplicationChoice& out)
{
    const ProfileRecord& p = CurrentProfile;
    switch (targetMemory) {
    case 1:
        out = {p.C167ApplFile, p.C167ApplFileOffset, QStringLiteral("CPU: Sending ")};
        return true;
    case 2:
        out = {p.AMD29F0x0ApplFile, p.AMD29F0x0ApplFileOffset, QStringLiteral("AMD29F0x0: Sending ")};
        return true;
    case 3:
        out = {p.AT45D0x1ApplFile, p.AT45D0x1ApplFileOffset, QStringLiteral("AT45D0x1: Sending ")};
        return true;
    case 4:
        out = {p.DS1994ApplFile, p.DS1994ApplFileOffset, QStringLiteral("DS1994: Sending ")};
        return true;
    default:
        return false;
    }
}

// count * 100 / total, rounded to the nearest whole number, halves to the even one.
qint64 Percentage(qint64 count, qint64 total)
{
    if (total <= 0)
        return 100;
    const qint64 scaled = count * 100;
    qint64 q = scaled / total;
    const qint64 twiceRest = (scaled % total) * 2;
    if (twiceRest > total || (twiceRest == total && q % 2 != 0))
        ++q;
    return q;
}

void ShowProgress(LinkHost& host, qint64 count, qint64 total)
{
    host.SetStatusText(3, QString::number(Percentage(count, total)) + QLatin1Char('%'));
}

enum class StepEnd { Done, NotResponding, Refused };

// Sends an S-record file line by line in its binary form.
StepEnd SendSRecordFile(Comm& comm, LinkHost& host, const QString& fileName)
{
    LineReader reader(fileName);
    if (!reader.Open()) {
        ShowFileError(host, fileName, reader.ErrorString());
        return StepEnd::Refused;
    }
    const qint64 total = reader.Size();
    qint64 count = 0;
    qint64 shown = 0;
    QByteArray line;
    while (reader.Next(line)) {
        const int lineNo = reader.LineNumber();
        count += line.size() + reader.LineEndLength();
        if (line.isEmpty())
            continue;
        if (reader.TooLong()) {
            ShowLineError(host, fileName, lineNo, QStringLiteral("the line is too long"));
            return StepEnd::Refused;
        }
        if (line[0] != kRecordStart) {
            ShowLineError(host, fileName, lineNo, QStringLiteral("the line does not begin with \"S\""));
            return StepEnd::Refused;
        }
        if (line.size() < 2) {
            ShowLineError(host, fileName, lineNo, QStringLiteral("the record has no type"));
            return StepEnd::Refused;
        }
        const qsizetype digits = line.size() - 2;
        bool hex = digits % 2 == 0;
        for (qsizetype i = 2; hex && i < line.size(); ++i)
            hex = HexDigit(QLatin1Char(line[i])) >= 0;
        if (!hex) {
            ShowLineError(host, fileName, lineNo,
                          QStringLiteral("the characters after the record type are not pairs of hex digits"));
            return StepEnd::Refused;
        }
        QByteArray record = line.left(2);
        for (qsizetype i = 2; i < line.size(); i += 2)
            record.append(static_cast<char>(HexDigit(QLatin1Char(line[i])) * 16
                                            + HexDigit(QLatin1Char(line[i + 1]))));
        if (!comm.Output(record))
            return StepEnd::NotResponding;
        ShowProgress(host, count, total);
        shown = count;
        if (!WaitForAck(comm, host, kRecordAckTicks))
            return StepEnd::NotResponding;
    }
    if (reader.Failed()) {
        ShowFileError(host, fileName, reader.ErrorString());
        return StepEnd::Refused;
    }
    if (count != shown)  // blank lines at the end
        ShowProgress(host, count, total);
    return StepEnd::Done;
}

// Sends a binary image in pieces of 64 bytes as type 3 records from the start address.
StepEnd SendBinaryFile(Comm& comm, LinkHost& host, const QString& fileName, quint32 start)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        ShowFileError(host, fileName, file.errorString());
        return StepEnd::Refused;
    }
    const qint64 total = file.size();
    qint64 count = 0;
    quint32 address = start;
    for (;;) {
        const QByteArray piece = file.read(kPieceSize);
        if (piece.isEmpty())
            break;
        QByteArray packet;
        packet.reserve(kPieceSize + 8);
        packet.append(kRecordStart);
        packet.append(kType3);
        packet.append(static_cast<char>(piece.size() + kType3Overhead));
        packet.append(static_cast<char>(address >> 24));
        packet.append(static_cast<char>((address >> 16) & 0xFF));
        packet.append(static_cast<char>((address >> 8) & 0xFF));
        packet.append(static_cast<char>(address & 0xFF));
        packet.append(piece);
        if (!SendPacket(comm, packet))
            return StepEnd::NotResponding;
        count += piece.size();
        ShowProgress(host, count, total);
        if (!WaitForAck(comm, host, kRecordAckTicks))
            return StepEnd::NotResponding;
        address += kPieceSize;
    }
    if (file.error() != QFileDevice::NoError) {
        ShowFileError(host, fileName, file.errorString());
        return StepEnd::Refused;
    }
    return StepEnd::Done;
}

}  // namespace

bool EraseBanks(Comm& comm, LinkHost& host, int targetMemory)
{
    int banks = 0;
    QString prefix;
    if (targetMemory == 1) {
        banks = kCpuFlashBanks;
        prefix = QStringLiteral("CPU: Erasing Bank ");
    } else if (targetMemory == 2) {
        banks = kExternalFlashBanks;
        prefix = QStringLiteral("AMD29F0x0: Erasing Bank ");
    }
    for (int bank = 0; bank < banks; ++bank) {
        host.SetStatusText(1, prefix + QString::number(bank) + QStringLiteral(" ..."));
        QByteArray packet = EraseHeader;
        packet.append(kBankHigh);
        packet.append(static_cast<char>(bank));
        if (!SendPacket(comm, packet) || !comm.Output(QByteArray(1, kEraseTrailer))
            || !WaitForAck(comm, host, kEraseAckTicks)) {
            host.NotRespondingBox();
            AppendStatus(host, false);
            return false;
        }
    }
    AppendStatus(host, true);
    return true;
}

bool SendApplication(Comm& comm, LinkHost& host, int targetMemory)
{
    ApplicationChoice appl;
    if (!ChooseApplication(targetMemory, appl)) {
        host.ShowMessage(QStringLiteral("There is no application file for target memory %1.")
                             .arg(targetMemory),
                         MessageIcon::Exclamation);
        AppendStatus(host, false);
        return false;
    }
    host.SetStatusText(1, appl.prefix + appl.file);

    StepEnd end = StepEnd::Done;
    QFile probe(appl.file);
    const bool opens = probe.open(QIODevice::ReadOnly);
    probe.close();
    if (!opens) {
        ShowFileError(host, appl.file, probe.errorString());
        end = StepEnd::Refused;
    } else if (GetFileType(appl.file) == FileType::SRecord) {
        end = SendSRecordFile(comm, host, appl.file);
    } else {
        int32_t start = 0;
        if (!HexToLong(appl.offset.trimmed(), &start)) {
            host.ShowMessage(QStringLiteral("The offset '%1' is not a hex address from 0 to 7FFFFFFF.")
                                 .arg(appl.offset),
                             MessageIcon::Exclamation);
            end = StepEnd::Refused;
        } else {
            end = SendBinaryFile(comm, host, appl.file, static_cast<quint32>(start));
        }
    }
    if (end == StepEnd::NotResponding)
        host.NotRespondingBox();
    AppendStatus(host, end == StepEnd::Done);
    return end == StepEnd::Done;
}
