// Bootstrap handshake and chip loader download.

#include "comm.h"
#include "line_reader.h"
#include "link_host.h"
#include "link_internal.h"
#include "module1.h"
#include "profile_record.h"

#include <array>

namespace {

constexpr char kBootstrapTrigger = 0x00;
constexpr uint8_t kIdC167 = 0xC5;
constexpr uint8_t kIdST10F168 = 0xD5;
const QString kST10F168 = QStringLiteral("ST10F168");

// Waits, in 100 ms ticks.
constexpr int kIdentificationTicks = 2;
constexpr int kLoaderAckTicks = 5;

// The two RAM images of a chip loader and the fill of bytes the file leaves out.
constexpr int32_t kPart1First = 0xF600;
constexpr int32_t kPart1Last = 0xF9FF;
constexpr int32_t kPart2First = 0xE000;
constexpr int32_t kPart2Last = 0xE7FF;
constexpr int kPart1Size = kPart1Last - kPart1First + 1;  // 1024
constexpr int kPart2Size = kPart2Last - kPart2First + 1;  // 2048
constexpr char kImageFill = static_cast<char>(0xFF);

constexpr int kFirstLoad = 1;

struct LoaderChoice {
    QString file;
    QString prefix;
};

bool ChooseLoader(int targetMemory, LoaderChoice& out)
{
    const ProfileRecord& p = CurrentProfile;
    switch (targetMemory) {
    case 1:
        if (p.ProcessorCode == kST10F168)
            out = {p.C168LoaderFile, QStringLiteral("C168: Sending Loader ")};
        else
            out = {p.C167LoaderFile, QStringLiteral("C167: Sending Loader ")};
        return true;
    case 2:
        out = {p.AMD29F0x0LoaderFile, QStringLiteral("AMD29F0x0: Sending Loader ")};
        return true;
    case 3:
        out = {p.AT45D0x1LoaderFile, QStringLiteral("AT45D0x1: Sending Loader ")};
        return true;
    case 4:
        out = {p.DS1994LoaderFile, QStringLiteral("DS1994: Sending Loader ")};
        return true;
    default:
        return false;
    }
}

// Reads a loader file into the two images. Reports what it cannot use and returns false.
bool BuildLoaderImages(LinkHost& host, const QString& fileName, QByteArray& part1,
                       QByteArray& part2)
{
    part1 = QByteArray(kPart1Size, kImageFill);
    part2 = QByteArray(kPart2Size, kImageFill);
    LineReader reader(fileName);
    if (!reader.Open()) {
        ShowFileError(host, fileName, reader.ErrorString());
        return false;
    }
    QByteArray raw;
    while (reader.Next(raw)) {
        const int lineNo = reader.LineNumber();
        if (raw.isEmpty())
            continue;
        if (reader.TooLong()) {
            ShowLineError(host, fileName, lineNo, QStringLiteral("the line is too long"));
            return false;
        }
        if (raw[0] != 'S') {
            ShowLineError(host, fileName, lineNo, QStringLiteral("the line does not begin with \"S\""));
            return false;
        }
        const QString line = QString::fromLatin1(raw);
        int addressDigits = 0;
        if (line.size() >= 2 && line[1] == QLatin1Char('1'))
            addressDigits = 4;
        else if (line.size() >= 2 && line[1] == QLatin1Char('2'))
            addressDigits = 6;
        else
            continue;  // only types 1 and 2 carry loader data
        int32_t count = 0;
        int32_t address = 0;
        const QString countText = line.mid(2, 2);
        const QString addressText = line.mid(4, addressDigits);
        if (countText.size() != 2 || addressText.size() != addressDigits
            || !HexToLong(countText, &count) || !HexToLong(addressText, &address)) {
            ShowLineError(host, fileName, lineNo, QStringLiteral("the record is not valid"));
            return false;
        }
        // Data pieces start after the address and end before the checksum: a piece at
        // position pos (1-based) is taken while pos <= count * 2 + 2.
        const int dataStart = 5 + addressDigits;
        for (int pos = dataStart, index = 0; pos <= count * 2 + 2; pos += 2, ++index) {
            const QString piece = line.mid(pos - 1, 2);
            int32_t value = 0;
            if (piece.size() != 2 || !HexToLong(piece, &value)) {
                ShowLineError(host, fileName, lineNo, QStringLiteral("the record is not valid"));
                return false;
            }
            const int32_t at = address + index;
            if (at >= kPart2First && at <= kPart2Last) {
                part2[at - kPart2First] = static_cast<char>(value);
            } else if (at >= kPart1First && at <= kPart1Last) {
                part1[at - kPart1First] = static_cast<char>(value);
            } else {
                host.ShowMessage(QStringLiteral("Address %1 out of range\nLine %2 of the file '%3'")
                                     .arg(QString::number(at, 16).toUpper())
                                     .arg(lineNo)
                                     .arg(fileName),
                                 MessageIcon::None);
                return false;
            }
        }
    }
    return true;
}

// Writes an image one byte per write, lowest address first.
bool SendImage(Comm& comm, const QByteArray& image)
{
    for (const char byte : image) {
        if (!comm.Output(QByteArray(1, byte)))
            return false;
    }
    return true;
}

void NotResponding(LinkHost& host)
{
    host.NotRespondingBox();
    AppendStatus(host, false);
}

}  // namespace

void ShowLineError(LinkHost& host, const QString& fileName, int line, const QString& what)
{
    host.ShowMessage(QStringLiteral("Line %1 of the file '%2' cannot be used:\n%3.")
                         .arg(line)
                         .arg(fileName, what),
                     MessageIcon::Exclamation);
}

void AppendStatus(LinkHost& host, bool done)
{
    host.SetStatusText(1, host.StatusText(1)
                              + (done ? QStringLiteral(", Done") : QStringLiteral(", Error")));
}

int32_t BootstrapTarget(Comm& comm, LinkHost& host)
{
    comm.Input();
    if (!comm.Output(QByteArray(1, kBootstrapTrigger)))
        return 0;
    if (!WaitForReply(comm, host, kIdentificationTicks))
        return 0;
    const QByteArray reply = comm.Input();
    if (reply.isEmpty())
        return 0;
    const uint8_t expected = CurrentProfile.ProcessorCode == kST10F168 ? kIdST10F168 : kIdC167;
    if (static_cast<uint8_t>(reply[0]) != expected) {
        ShowReply(host, reply);
        return 0;
    }
    SendLoader(comm, host, host.SelectedMemory(), kFirstLoad);
    return 1;
}

void SendLoader(Comm& comm, LinkHost& host, int targetMemory, int loaderMode)
{
    comm.Input();
    if (loaderMode == kFirstLoad) {
        host.SetStatusText(1, QStringLiteral("Sending PreLoader ") + CurrentProfile.PreLoaderFile
                                  + QStringLiteral(" ..."));
        switch (SendFileChecked(comm, host, CurrentProfile.PreLoaderFile)) {
        case SendResult::Sent:
            break;
        case SendResult::FileError:
            AppendStatus(host, false);
            return;
        case SendResult::PortError:
            NotResponding(host);
            return;
        }
    } else {
        host.SetStatusText(1, QStringLiteral("Sending ReLoader ..."));
        if (!SendPacket(comm, ReloadCommand)) {
            NotResponding(host);
            return;
        }
    }

    LoaderChoice loader;
    if (!ChooseLoader(targetMemory, loader)) {
        host.ShowMessage(QStringLiteral("There is no chip loader for target memory %1.")
                             .arg(targetMemory),
                         MessageIcon::Exclamation);
        AppendStatus(host, false);
        return;
    }
    const QString loaderText = loader.prefix + loader.file;
    QByteArray part1;
    QByteArray part2;
    if (!BuildLoaderImages(host, loader.file, part1, part2)) {
        AppendStatus(host, false);
        return;
    }

    host.SetStatusText(1, loaderText + QStringLiteral(" Part 1 ..."));
    if (!SendImage(comm, part1)) {
        NotResponding(host);
        return;
    }
    host.SetStatusText(1, loaderText + QStringLiteral(" Part 2 ..."));
    if (!SendImage(comm, part2)) {
        NotResponding(host);
        return;
    }
    if (!WaitForAck(comm, host, kLoaderAckTicks)) {
        NotResponding(host);
        return;
    }
    AppendStatus(host, true);
}
