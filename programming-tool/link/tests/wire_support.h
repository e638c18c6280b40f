#pragma once
// Test files of our own making (pre-loader, chip loaders, application files) and a link to the
// simulated controller, for the wire-level tests and the benchmarks.

#include "comm.h"
#include "fake_link_host.h"
#include "module1.h"
#include "profile_record.h"
#include "target_sim.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

namespace wire {

constexpr int kPreLoaderLength = 32;     // what the processor's bootstrap loader takes
constexpr int kPart1Size = 1024;         // F600h-F9FFh
constexpr int kPart2Size = 2048;         // E000h-E7FFh

// One S-record line (without line end): type, address, data; count and checksum computed here.
inline QByteArray SRec(char type, uint32_t address, const QByteArray& data)
{
    const int addressBytes = (type == '2' || type == '8') ? 3 : (type == '3' || type == '7') ? 4 : 2;
    QByteArray body;
    body.append(static_cast<char>(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        body.append(static_cast<char>((address >> (8 * i)) & 0xFF));
    body.append(data);
    unsigned sum = 0;
    for (char c : body)
        sum += static_cast<unsigned char>(c);
    body.append(static_cast<char>(0xFF - (sum & 0xFF)));
    return QByteArray("S") + type + body.toHex().toUpper();
}

// The binary form in which a line goes to the target: "S", the type, then the hex pairs.
inline QByteArray Binary(const QByteArray& line)
{
    return line.left(2) + QByteArray::fromHex(line.mid(2));
}

inline QByteArray Pattern(int n, int seed)
{
    QByteArray out(n, '\0');
    uint32_t x = 0x12345u + static_cast<uint32_t>(seed) * 7919u;
    for (int i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = static_cast<char>(x >> 16);
    }
    return out;
}

// A chip loader file and the two images it must give.
struct Loader {
    QByteArray text;
    QByteArray part1 = QByteArray(kPart1Size, '\xFF');
    QByteArray part2 = QByteArray(kPart2Size, '\xFF');
};

// A loader that the simulated controller recognises by its marker ("LOADER:" name 00h at
// F600h). It covers the images only in part; it carries header, S3, count and end records that
// must be skipped, a blank line in the middle and one at the end.
inline Loader MakeLoader(const QByteArray& name, const QByteArray& lineEnd = "\r\n")
{
    Loader l;
    auto put = [&l](uint32_t address, const QByteArray& data) {
        for (int i = 0; i < data.size(); ++i) {
            const uint32_t a = address + i;
            if (a >= 0xE000 && a <= 0xE7FF)
                l.part2[a - 0xE000] = data[i];
            else
                l.part1[a - 0xF600] = data[i];
        }
    };
    const QByteArray marker = QByteArray("LOADER:") + name + QByteArray(1, '\0');
    const QByteArray code = Pattern(40, name.size());
    const QByteArray tail1 = Pattern(16, 3);
    const QByteArray code2 = Pattern(32, 4);
    const QByteArray tail2 = Pattern(16, 5);
    QList<QByteArray> lines = {
        SRec('0', 0, "loader"),
        SRec('1', 0xF600, marker),
        SRec('1', 0xF700, code),
        "",
        SRec('1', 0xF9F0, tail1),
        SRec('3', 0x0000F800, QByteArray(8, '\x55')),   // type 3: skipped
        SRec('2', 0x00E000, code2),
        SRec('2', 0x00E7F0, tail2),
        SRec('5', 5, QByteArray()),
        SRec('7', 0x0000F600, QByteArray()),
        SRec('8', 0x00F600, QByteArray()),
        SRec('9', 0xF600, QByteArray()),
        "",
    };
    put(0xF600, marker);
    put(0xF700, code);
    put(0xF9F0, tail1);
    put(0xE000, code2);
    put(0xE7F0, tail2);
    for (const QByteArray& line : lines)
        l.text += line + lineEnd;
    return l;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The simulated controller on a pseudo-terminal, the port open on it, files in a temporary
// folder and the current profile pointing at them.
class Rig {
public:
    explicit Rig(targetsim::Options options = {}, int tickMs = 100)
        : host(tickMs), sim(std::make_unique<targetsim::Controller>(options))
    {
        started = sim->Start();
        qputenv("COM1", QByteArray::fromStdString(sim->DevicePath()));
        CurrentProfile = ProfileRecord{};
        CurrentProfile.COMSettings = QStringLiteral("115200,N,8,1");
        CurrentProfile.PreLoaderFile = Path("PreLoad.bin");
        CurrentProfile.C167LoaderFile = Path("LoaderC167.sre");
        CurrentProfile.C168LoaderFile = Path("LoaderC168.sre");
        CurrentProfile.AMD29F0x0LoaderFile = Path("LoaderAMD29F0x0.sre");
        CurrentProfile.AT45D0x1LoaderFile = Path("LoaderAT45D0x1.sre");
        CurrentProfile.DS1994LoaderFile = Path("LoaderDS1994.sre");
        CurrentProfile.C167ApplFile = Path("Appl.sre");
        CurrentProfile.AMD29F0x0ApplFile = Path("ApplAMD29F0x0.sre");
        CurrentProfile.AT45D0x1ApplFile = Path("ApplAT45D0x1.sre");
        CurrentProfile.DS1994ApplFile = Path("ApplDS1994.sre");
        preLoader = Pattern(kPreLoaderLength, 99);
        WriteFile(CurrentProfile.PreLoaderFile, preLoader);
        loaders[0] = MakeLoader("CPU");
        loaders[1] = MakeLoader("AMD29F0x0", "\n");
        loaders[2] = MakeLoader("AT45D0x1");
        loaders[3] = MakeLoader("DS1994");
        WriteFile(CurrentProfile.C167LoaderFile, loaders[0].text);
        WriteFile(CurrentProfile.C168LoaderFile, loaders[0].text);
        WriteFile(CurrentProfile.AMD29F0x0LoaderFile, loaders[1].text);
        WriteFile(CurrentProfile.AT45D0x1LoaderFile, loaders[2].text);
        WriteFile(CurrentProfile.DS1994LoaderFile, loaders[3].text);
        InitPacketHeads();
    }
    ~Rig()
    {
        CloseCommPort(comm);
        qunsetenv("COM1");
    }

    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    bool Open()
    {
        OpenCommPort(comm, host);
        return comm.PortOpen();
    }

    // Everything the program has sent so far, once Qt's transmit queue has gone out: a marker
    // follows it and the bytes up to the marker are returned (the marker is dropped).
    QByteArray Wire()
    {
        static const QByteArray kMarker("\x7E#wire-end#\x7E");
        auto received = [this] {
            const auto v = sim->Received();
            return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
        };
        if (!comm.PortOpen())
            return received();
        comm.Output(kMarker);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const QByteArray r = received();
            if (r.endsWith(kMarker))
                return r.left(r.size() - kMarker.size());
        }
        return QByteArray("wire marker never arrived");
    }

    // Identification, pre-loader and the chip loader of `memory`, as after a reset.
    bool Boot(int memory = 1)
    {
        host.memory = memory;
        return BootstrapTarget(comm, host) == 1
               && host.StatusText(1).endsWith(QStringLiteral(", Done"));
    }

    QTemporaryDir dir;
    FakeLinkHost host;
    Comm comm;
    std::unique_ptr<targetsim::Controller> sim;
    bool started = false;
    QByteArray preLoader;
    Loader loaders[4];
};

}  // namespace wire
