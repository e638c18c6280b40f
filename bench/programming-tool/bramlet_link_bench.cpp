// Figures for Bramlet's link routines, through the simulated controller on a pseudo-terminal:
//   loader     re-load of a chip loader at 38400 baud: host time against the line time
//   program    a 256 KiB binary image at 115200 baud: total time against the line-rate minimum
//   erase-cpu  CPU time of the program's thread during a 10-second erase wait (real 100 ms tick)
// Without an argument all three run.

#include "wire_support.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace wire;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRealTickMs = 100;
constexpr int kLoaderBytes = kPart1Size + kPart2Size;  // 3072
constexpr int kImageSize = 256 * 1024;
constexpr int kPiece = 64;
constexpr int kRecordBytes = 2 + 1 + 4 + kPiece + 1;     // "S3", count, address, data, checksum
constexpr int kRuns = 3;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

long MaxRssKiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

double CpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

Rig* MakeRig(uint32_t baud, int bankEraseMs = 0)
{
    targetsim::Options o;
    o.baud = baud;
    o.bankEraseMs = bankEraseMs;
    auto* rig = new Rig(o, kRealTickMs);
    CurrentProfile.COMSettings = QStringLiteral("%1,N,8,1").arg(baud);
    if (!rig->started || !rig->Open() || !rig->Boot(1)) {
        std::fprintf(stderr, "could not start the simulated controller and boot it\n");
        delete rig;
        return nullptr;
    }
    return rig;
}

int LoaderBench()
{
    constexpr uint32_t kBaud = 38400;
    std::unique_ptr<Rig> rig(MakeRig(kBaud));
    if (!rig)
        return 1;
    const double lineTime = kLoaderBytes / (kBaud / 10.0);
    std::vector<double> ratios;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = Clock::now();
        SendLoader(rig->comm, rig->host, 1, 2);
        const double host = Seconds(Clock::now() - start);
        if (!rig->host.StatusText(1).endsWith(QStringLiteral(", Done"))) {
            std::fprintf(stderr, "loader download failed: %s\n", qPrintable(rig->host.StatusText(1)));
            return 1;
        }
        ratios.push_back(host / lineTime);
        std::printf("loader: run %d: host time %.3f s, line time of %d bytes %.3f s, ratio %.3f\n",
                    run + 1, host, kLoaderBytes, lineTime, host / lineTime);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("loader: median ratio %.3f (4-byte re-load command and 1-byte answer included in"
                " the host time)\n", ratios[ratios.size() / 2]);
    return 0;
}

int ProgramBench()
{
    constexpr uint32_t kBaud = 115200;
    std::unique_ptr<Rig> rig(MakeRig(kBaud));
    if (!rig)
        return 1;
    CurrentProfile.C167ApplFile = rig->Path("image.bin");
    CurrentProfile.C167ApplFileOffset = QStringLiteral("0");
    WriteFile(CurrentProfile.C167ApplFile, Pattern(kImageSize, 42));
    const int records = kImageSize / kPiece;
    // Each record must cross, then its one-byte answer, before the next may go.
    const double minimum = (double(records) * kRecordBytes + records) / (kBaud / 10.0);
    if (!EraseBanks(rig->comm, rig->host, 1)) {
        std::fprintf(stderr, "erase failed\n");
        return 1;
    }
    const QByteArray image = Pattern(kImageSize, 42);
    // Neither the test host nor the simulator's log of received bytes may grow with the file,
    // so that the memory figure is the program's own.
    rig->host.recordStatus = false;
    rig->host.onStatus = [&rig](int, const QString&) { rig->sim->ClearReceived(); };
    const long rssBefore = MaxRssKiB();
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds(RUSAGE_THREAD);
    const bool ok = SendApplication(rig->comm, rig->host, 1);
    const long rssGrowth = MaxRssKiB() - rssBefore;
    const double total = Seconds(Clock::now() - start);
    const double cpu = CpuSeconds(RUSAGE_THREAD) - cpuStart;
    if (!ok) {
        std::fprintf(stderr, "programming failed: %s\n", qPrintable(rig->host.StatusText(1)));
        return 1;
    }
    const auto flash = rig->sim->Read(targetsim::Memory::CpuFlash, 0, kImageSize);
    const bool same = flash.size() == size_t(kImageSize)
                      && std::equal(flash.begin(), flash.end(), image.begin(),
                                    [](uint8_t a, char b) { return a == uint8_t(b); });
    if (!same) {
        size_t i = 0;
        while (i < flash.size() && i < size_t(image.size()) && flash[i] == uint8_t(image[qsizetype(i)]))
            ++i;
        std::fprintf(stderr, "flash size %zu, first difference at %zu\n", flash.size(), i);
    }
    // The simulator passes the first byte after a pause at once, so its own line model is
    // quicker than a real line by one byte time per record and per answer.
    const double simMinimum = double(records) * (kRecordBytes - 1) / (kBaud / 10.0);
    std::printf("program: %d records of %d bytes + %d answers at %u baud: total %.2f s;\n"
                "  line-rate minimum %.2f s, ratio %.4f;\n"
                "  simulator's line model %.2f s, ratio %.4f (time beyond it: %.2f s = %.2f%% of the"
                " line time, host and simulator wake-ups together);\n"
                "  program thread CPU %.2f s = %.2f%% of the line time; peak memory grew by %ld KiB"
                " while programming; flash %s\n",
                records, kRecordBytes, records, kBaud, total, minimum, total / minimum, simMinimum,
                total / simMinimum, total - simMinimum, (total - simMinimum) / minimum * 100, cpu,
                cpu / minimum * 100, rssGrowth, same ? "equals the image" : "DIFFERS");
    return same ? 0 : 1;
}

int EraseCpuBench()
{
    // The bank erase takes longer than the wait, so the whole 100-tick wait runs in silence.
    std::unique_ptr<Rig> rig(MakeRig(38400, 3600 * 1000));
    if (!rig)
        return 1;
    rig->host.ticksInWaits = 0;
    const auto start = Clock::now();
    const double thread0 = CpuSeconds(RUSAGE_THREAD);
    const double process0 = CpuSeconds(RUSAGE_SELF);
    const bool ok = EraseBanks(rig->comm, rig->host, 1);
    const double wall = Seconds(Clock::now() - start);
    const double thread = CpuSeconds(RUSAGE_THREAD) - thread0;
    const double process = CpuSeconds(RUSAGE_SELF) - process0;
    std::printf("erase-cpu: wait of %.2f s (%s, %d ticks seen): program thread CPU %.4f s = %.3f%%"
                " of a core; whole process with the simulator %.4f s = %.3f%%\n",
                wall, ok ? "acknowledged?!" : "timed out as expected", rig->host.ticksInWaits,
                thread, thread / wall * 100, process, process / wall * 100);
    return ok ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    int rc = 0;
    if (which.isEmpty() || which == QLatin1String("loader"))
        rc |= LoaderBench();
    if (which.isEmpty() || which == QLatin1String("program"))
        rc |= ProgramBench();
    if (which.isEmpty() || which == QLatin1String("erase-cpu"))
        rc |= EraseCpuBench();
    return rc;
}
