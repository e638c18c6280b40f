// target-sim: plays a C167-family controller on a pseudo-terminal until it is stopped.
//
// Prints the device path of the far end (or the --link path) on the first line of stdout, then
// logs what the target does on stderr. SIGINT or SIGTERM (or "quit" on stdin) ends it; SIGUSR1
// (or "reset") puts the target back into bootstrap mode, as the board's reset button would;
// SIGUSR2 (or "dump") writes the flash models to the --dump folder; "stats" prints the counters.
#include "target_sim.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <string>
#include <vector>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using targetsim::Memory;

const char kUsage[] =
    "usage: target-sim [options]\n"
    "  --programmer            play the programming tool's target (default)\n"
    "  --uploader              play the uploader's device\n"
    "  --id HEX                identification byte (default C5; D5 for an ST10F168)\n"
    "  --baud N                line rate: at most N/10 bytes per second each way (default 0: no limit)\n"
    "  --preloader-length N    bytes of pre-loader before the chip loader (default 32)\n"
    "  --bank-erase-ms N       time per bank erase before \"*\" (default 0)\n"
    "  --level1-length N       bytes of LEVEL1.BIN (default 32)\n"
    "  --level2-length N       bytes of LEVEL2.BIN with the host's padding (default 1024)\n"
    "  --answer-level2-after N answer \"2\" after N level-2 bytes, during the padding\n"
    "  --erase-ms N            uploader erase time before \"A\" (default 0)\n"
    "  --zero-resets           a lone 00h while a chip loader runs (uploader: five 00h where a\n"
    "                          record starts) resets the target and identifies it\n"
    "  --silent                never answer\n"
    "  --wrong-id HEX          answer the bootstrap trigger with this byte\n"
    "  --fault-reply N:CODE    answer packet/record N with CODE (a character or hex like 21h)\n"
    "  --reply-delay-ms N      wait N ms before every reply\n"
    "  --hang-up-after N       close the line after N received bytes\n"
    "  --garbage HEX           bytes sent after the identification byte, e.g. 0D0A41\n"
    "  --link PATH             make PATH a symlink to the far end and print it\n"
    "  --dump DIR              write the flash models to DIR at exit and on SIGUSR2 / \"dump\"\n"
    "  --quiet                 no log on stderr\n";

bool ParseInt(const char* s, long& out, int base = 10) {
    if (!s || !*s) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtol(s, &end, base);
    return errno == 0 && *end == '\0';
}

bool ParseByte(std::string s, uint8_t& out) {
    if (!s.empty() && (s.back() == 'h' || s.back() == 'H')) s.pop_back();
    if (s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0) s = s.substr(2);
    long v;
    if (!ParseInt(s.c_str(), v, 16) || v < 0 || v > 255) return false;
    out = uint8_t(v);
    return true;
}

struct DumpFile {
    const char* name;
    bool uploader;
    Memory memory;
};
constexpr DumpFile kDumpFiles[] = {
    {"cpu-flash.bin", false, Memory::CpuFlash},
    {"amd29f0x0.bin", false, Memory::AMD29F0x0},
    {"at45d0x1.bin", false, Memory::AT45D0x1},
    {"ds1994.bin", false, Memory::DS1994},
    {"uploader-flash.bin", true, Memory::CpuFlash},
};

bool Dump(const targetsim::Controller& sim, const std::string& dir, bool uploader) {
    bool ok = true;
    for (const DumpFile& f : kDumpFiles) {
        if (f.uploader != uploader) continue;
        const std::vector<uint8_t> image = uploader ? sim.UploaderFlash() : sim.Flash(f.memory);
        const std::string path = dir + "/" + f.name;
        const std::string temp = path + ".part";
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
            ok = ok && bool(out);
        }
        ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    }
    std::fprintf(stderr, "target-sim: flash %s %s\n", ok ? "dumped to" : "could not be dumped to",
                 dir.c_str());
    return ok;
}

void PrintStats(const targetsim::Controller& sim) {
    const targetsim::Stats s = sim.GetStats();
    std::string banks;
    for (int b : s.erasedBanks) banks += (banks.empty() ? "" : ",") + std::to_string(b);
    std::fprintf(stderr,
                 "target-sim: identifications %d, loaders %d (last %s), re-loads %d, erased banks "
                 "[%s], packets %d, checksum errors %d\n",
                 s.identifications, s.loadersReceived,
                 s.lastLoader.empty() ? "-" : s.lastLoader.c_str(), s.reloads, banks.c_str(),
                 s.packets, s.checksumErrors);
}

}  // namespace

int main(int argc, char** argv) {
    targetsim::Options o;
    std::string dumpDir;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        auto number = [&](long& out) {
            if (!ParseInt(v, out) || out < 0) return false;
            ++i;
            return true;
        };
        bool ok = true;
        if (a == "--programmer") o.protocol = targetsim::Protocol::Programmer;
        else if (a == "--uploader") o.protocol = targetsim::Protocol::Uploader;
        else if (a == "--silent") o.silent = true;
        else if (a == "--zero-resets") o.zeroResets = true;
        else if (a == "--quiet") quiet = true;
        else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--id" || a == "--wrong-id") {
            uint8_t b;
            ok = v && ParseByte(v, b);
            if (ok) {
                if (a == "--id") o.idByte = b;
                else o.wrongId = b;
                ++i;
            }
        } else if (a == "--baud") {
            ok = number(n);
            o.baud = uint32_t(n);
        } else if (a == "--preloader-length") {
            ok = number(n);
            o.preLoaderLength = int(n);
        } else if (a == "--bank-erase-ms") {
            ok = number(n);
            o.bankEraseMs = int(n);
        } else if (a == "--level1-length") {
            ok = number(n);
            o.level1Length = int(n);
        } else if (a == "--level2-length") {
            ok = number(n);
            o.level2Length = int(n);
        } else if (a == "--answer-level2-after") {
            ok = number(n);
            o.answerLevel2AfterBytes = int(n);
        } else if (a == "--erase-ms") {
            ok = number(n);
            o.eraseMs = int(n);
        } else if (a == "--reply-delay-ms") {
            ok = number(n);
            o.replyDelayMs = int(n);
        } else if (a == "--hang-up-after") {
            ok = number(n);
            o.hangUpAfterBytes = n;
        } else if (a == "--fault-reply") {
            const std::string s = v ? v : "";
            const size_t colon = s.find(':');
            targetsim::FaultReply f;
            ok = colon != std::string::npos && ParseInt(s.substr(0, colon).c_str(), n) && n > 0;
            const std::string code = colon == std::string::npos ? "" : s.substr(colon + 1);
            if (ok && code.size() == 1) f.code = uint8_t(code[0]);
            else ok = ok && ParseByte(code, f.code);
            f.index = int(n);
            if (ok) {
                o.faultReply = f;
                ++i;
            }
        } else if (a == "--garbage") {
            const std::string s = v ? v : "";
            ok = !s.empty() && s.size() % 2 == 0;
            for (size_t k = 0; ok && k < s.size(); k += 2) {
                uint8_t b;
                ok = ParseByte(s.substr(k, 2), b);
                o.garbage.push_back(b);
            }
            if (ok) ++i;
        } else if (a == "--link" && v) {
            o.linkPath = v;
            ++i;
        } else if (a == "--dump" && v) {
            dumpDir = v;
            ++i;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "target-sim: bad option %s%s%s\n%s", a.c_str(), v ? " " : "",
                         v ? v : "", kUsage);
            return 2;
        }
    }
    if (!quiet)
        o.onEvent = [](const std::string& e) { std::fprintf(stderr, "target-sim: %s\n", e.c_str()); };

    // Signals are taken through a descriptor; the simulator's thread inherits the mask.
    sigset_t signals;
    sigemptyset(&signals);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2}) sigaddset(&signals, s);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int sigFd = signalfd(-1, &signals, SFD_CLOEXEC);

    const bool uploader = o.protocol == targetsim::Protocol::Uploader;
    targetsim::Controller sim(o);
    if (sigFd < 0 || !sim.Start()) {
        std::fprintf(stderr, "target-sim: cannot open a pseudo-terminal%s: %s\n",
                     o.linkPath.empty() ? "" : " or make the link", std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", sim.DevicePath().c_str());
    std::fflush(stdout);
    if (!quiet)
        std::fprintf(stderr, "target-sim: %s target on %s, bootstrap mode\n",
                     uploader ? "uploader" : "programmer", sim.DevicePath().c_str());

    bool stdinOpen = true;
    std::string line;
    for (bool running = true; running;) {
        pollfd fds[2] = {{sigFd, POLLIN, 0}, {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        std::vector<std::string> commands;
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(sigFd, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo == SIGUSR1) commands.push_back("reset");
                else if (info.ssi_signo == SIGUSR2) commands.push_back("dump");
                else commands.push_back("quit");
            }
        } else if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buf[256];
            const ssize_t r = ::read(STDIN_FILENO, buf, sizeof buf);
            if (r <= 0) {
                stdinOpen = false;  // run on without a console, e.g. in the background
                continue;
            }
            line.append(buf, size_t(r));
            for (size_t nl; (nl = line.find('\n')) != std::string::npos;) {
                std::string command = line.substr(0, nl);
                line.erase(0, nl + 1);
                while (!command.empty() && (command.back() == '\r' || command.back() == ' '))
                    command.pop_back();
                commands.push_back(command);
            }
        }
        for (const std::string& command : commands) {
            if (command == "reset") sim.Reset();
            else if (command == "dump" && !dumpDir.empty()) Dump(sim, dumpDir, uploader);
            else if (command == "dump") std::fprintf(stderr, "target-sim: no --dump folder given\n");
            else if (command == "stats") PrintStats(sim);
            else if (command == "quit") running = false;
            else if (!command.empty())
                std::fprintf(stderr, "target-sim: commands are reset, dump, stats, quit\n");
        }
    }
    sim.Stop();
    if (!dumpDir.empty()) Dump(sim, dumpDir, uploader);
    if (!quiet) PrintStats(sim);
    return 0;
}
