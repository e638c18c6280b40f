// Quorra's upload through the simulated controller at 115200 baud:
//   1. a 256 KiB image as Intel hex (16 data bytes a record): time of the record transfer and of
//      the whole upload against the line-rate minimum for the bytes that must cross, and the CPU
//      time of the program's thread during the transfer;
//   2. an erase that takes 20 s: CPU time of the program's thread during that wait.
// The upload runs in the real upload window (offscreen), with its own clock and waits; the
// simulated controller runs on its own thread, which the CPU figures leave out.
//
//   upload_bench [--quick]     (--quick: 32 KiB image and a 2 s erase, for a smoke run)
#include "port.h"
#include "settings.h"
#include "upload_dialog.h"
#include "upload_waits.h"

#include "target_sim.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <vector>

namespace {

constexpr uint32_t kBaud = 115200;
constexpr double kBitsPerByte = 10.0;  // start, 8 data, stop
constexpr int kLevel1Length = 32;
constexpr int kLevel2Length = 1024;

double ThreadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Mark {
    qint64 ms;
    double cpu;
};

// The upload window, noting the clock and CPU time at every status text and answering its
// message boxes itself.
class BenchWindow : public UploadDialog {
public:
    std::map<QString, Mark> marks;
    Mark end{};
    QStringList messages;

    void SetStatusText(const QString& text) override
    {
        if (!marks.count(text))
            marks[text] = {UploadClockMs(), ThreadCpuSeconds()};
        UploadDialog::SetStatusText(text);
    }
    void ShowMessage(const QString& text) override
    {
        end = {UploadClockMs(), ThreadCpuSeconds()};
        messages << text;
    }
};

bool WriteFile(const QString& path, const QByteArray& data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// Bytes that cross the line during the record transfer: each record's bytes out, one answer back.
struct HexLoad {
    qint64 recordBytes = 0;
    qint64 records = 0;
};
HexLoad CountRecords(const QString& hexPath)
{
    HexLoad load;
    QFile f(hexPath);
    if (!f.open(QIODevice::ReadOnly))
        return load;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.startsWith(':')) {
            load.recordBytes += (line.size() - 1) / 2;
            ++load.records;
        }
    }
    return load;
}

struct Run {
    bool ok = false;
    Mark start{}, erase{}, hex{};
};

bool RunUpload(const QString& base, BenchWindow& window, targetsim::Controller& sim, Run& run)
{
    if (!sim.Start())
        return false;
    qputenv("COM1", QByteArray::fromStdString(sim.DevicePath()));
    portState.portNumber = 1;
    portState.baudRate = kBaud;
    window.upload.model = 1;
    window.upload.hexFilePath = base + QStringLiteral("app.hex");
    window.show();
    run.start = {UploadClockMs(), ThreadCpuSeconds()};
    window.RunUpload();
    run.erase = window.marks[QStringLiteral("Erasing Flash...")];
    run.hex = window.marks[QStringLiteral("Writing hexfile...")];
    run.ok = window.messages == QStringList{QStringLiteral("The hexfile was sent")};
    return run.ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    UploadClockMs();
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int imageSize = quick ? 32 * 1024 : 256 * 1024;
    const int eraseMs = quick ? 2000 : 20000;

    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    const QString base = dir.path() + QLatin1Char('/');
    baseDirectory = base;
    programIniPath = base + QStringLiteral("Quorra.ini");
    languageIniPath = base + QStringLiteral("US.ini");
    customerIniPath = base + QStringLiteral("QX.ini");
    QDir(base).mkpath(QStringLiteral("VR10"));
    WriteFile(base + QStringLiteral("VR10/LEVEL1.BIN"), QByteArray(kLevel1Length, '\x4C'));
    WriteFile(base + QStringLiteral("VR10/LEVEL2.BIN"), QByteArray(kLevel2Length, '\x5A'));

    QByteArray image(imageSize, '\0');
    uint32_t x = 2024;
    for (char& b : image) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 16);
    }
    WriteFile(base + QStringLiteral("image.bin"), image);
    // An independent generator for the hex file.
    const int rc = QProcess::execute(
        QStringLiteral("srec_cat"),
        {base + QStringLiteral("image.bin"), QStringLiteral("-binary"), QStringLiteral("-o"),
         base + QStringLiteral("app.hex"), QStringLiteral("-intel"), QStringLiteral("-obs=16")});
    if (rc != 0) {
        std::fprintf(stderr, "srec_cat failed (%d)\n", rc);
        return 1;
    }
    const HexLoad load = CountRecords(base + QStringLiteral("app.hex"));

    // 1. The transfer at line rate.
    {
        targetsim::Options options;
        options.protocol = targetsim::Protocol::Uploader;
        options.level1Length = kLevel1Length;
        options.level2Length = kLevel2Length;
        options.baud = kBaud;
        targetsim::Controller sim(options);
        BenchWindow window;
        Run run;
        if (!RunUpload(base, window, sim, run)) {
            std::fprintf(stderr, "upload failed: %s\n", qPrintable(window.messages.join('|')));
            return 1;
        }
        const std::vector<uint8_t> flash = sim.ReadUploader(0, static_cast<uint32_t>(imageSize));
        const bool same = QByteArray(reinterpret_cast<const char*>(flash.data()),
                                     static_cast<qsizetype>(flash.size())) == image;

        const double transferS = (window.end.ms - run.hex.ms) / 1000.0;
        const double transferCpu = window.end.cpu - run.hex.cpu;
        const double crossing = static_cast<double>(load.recordBytes + load.records);
        const double minimumS = crossing * kBitsPerByte / kBaud;
        const double wholeS = (window.end.ms - run.start.ms) / 1000.0;
        // Whole upload: zero bytes and loaders, the records and every answer, at line rate.
        const double wholeMinimumS =
            (kLevel1Length + kLevel2Length + 1 + 2 + 1 + crossing) * kBitsPerByte / kBaud;
        std::printf("image %d bytes as %lld records (%lld record bytes), %u baud; flash %s\n",
                    imageSize, static_cast<long long>(load.records),
                    static_cast<long long>(load.recordBytes), kBaud,
                    same ? "equals the image" : "DIFFERS");
        std::printf("record transfer: %.2f s, line-rate minimum %.2f s, ratio %.3f\n", transferS,
                    minimumS, transferS / minimumS);
        std::printf("whole upload (incl. 1 s port settle): %.2f s, line-rate minimum %.2f s, ratio %.3f\n",
                    wholeS, wholeMinimumS, wholeS / wholeMinimumS);
        std::printf("CPU during record transfer: %.2f s = %.3f of the transfer time\n", transferCpu,
                    transferCpu / transferS);
    }

    // 2. CPU during a long erase wait.
    {
        WriteFile(base + QStringLiteral("app.hex"), QByteArray(":00000001FF\r\n"));
        targetsim::Options options;
        options.protocol = targetsim::Protocol::Uploader;
        options.level1Length = kLevel1Length;
        options.level2Length = kLevel2Length;
        options.baud = kBaud;
        options.eraseMs = eraseMs - 500;  // answered just within the program's limit
        targetsim::Controller sim(options);
        BenchWindow window;
        Run run;
        if (!RunUpload(base, window, sim, run)) {
            std::fprintf(stderr, "erase run failed: %s\n", qPrintable(window.messages.join('|')));
            return 1;
        }
        const double waitS = (run.hex.ms - run.erase.ms) / 1000.0;
        const double waitCpu = run.hex.cpu - run.erase.cpu;
        std::printf("erase wait: %.2f s, CPU %.4f s = %.5f of the wait\n", waitS, waitCpu,
                    waitCpu / waitS);
    }
    return 0;
}
