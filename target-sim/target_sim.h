#pragma once
// A simulated C167-family controller on a pseudo-terminal. It plays either the programming tool's
// target (bootstrap, pre-loader, chip loaders, erase and record packets) or the uploader's device
// (bootstrap, two loader stages, erase, binary Intel-hex records), keeps a flash model per memory
// and can inject faults. It runs on its own thread; tests start it in one line:
//
//     targetsim::Controller sim({.protocol = targetsim::Protocol::Programmer});
//     ASSERT_TRUE(sim.Start());
//     qputenv("COM1", sim.DevicePath().c_str());
//
// Plain C++ and POSIX only; it shares no code with the programs it talks to.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace targetsim {

enum class Protocol { Programmer, Uploader };

// Memories of the programmer's target, numbered like the chip loaders that drive them.
enum class Memory { CpuFlash = 1, AMD29F0x0 = 2, AT45D0x1 = 3, DS1994 = 4 };

// Memories of the uploader's device: one flash.
struct MemoryLayout {
    uint32_t base;        // first address
    uint32_t size;        // bytes
    uint32_t bankSize;    // erase unit; 0 = not erased by banks
    bool overwrite;       // true when a programmed byte may be written again (no erase needed)
};
MemoryLayout LayoutOf(Memory m);
MemoryLayout UploaderFlashLayout();

struct FaultReply {
    int index = 0;        // 1-based number of the packet (programmer) or record (uploader)
    uint8_t code = 0;     // reply sent instead of the normal one
};

struct Options {
    Protocol protocol = Protocol::Programmer;
    uint8_t idByte = 0xC5;               // C5h C167, D5h ST10F168; uploader default C5h
    // Programmer
    int preLoaderLength = 32;            // bytes the processor's bootstrap loader takes
    int bankEraseMs = 0;                 // time per bank erase before "*"
    // Uploader
    int level1Length = 32;
    int level2Length = 1024;             // LEVEL2.BIN plus the host's zero padding
    int answerLevel2AfterBytes = -1;     // >= 0: answer "2" after this many level-2 bytes (early)
    int eraseMs = 0;                     // time before "A"
    // Line rate: 0 = unthrottled; otherwise bytes pass no faster than baud/10 per second each way.
    uint32_t baud = 0;
    // Faults
    bool silent = false;                 // never answers anything
    std::optional<uint8_t> wrongId;      // identification byte sent instead of idByte
    std::optional<FaultReply> faultReply;
    int replyDelayMs = 0;                // delay before every reply
    long hangUpAfterBytes = -1;          // >= 0: close the far end after receiving this many bytes
    std::vector<uint8_t> garbage;        // bytes sent right after the identification byte
    // Added for the command-line program and demos
    std::string linkPath;                // when set: a symlink to the far end, made by Start()
    bool zeroResets = false;             // programmer: a lone 00h where a packet should start resets
                                         // the target into bootstrap mode and identifies it;
                                         // uploader: so does a record of five 00h bytes
    // Called for every notable event ("identified: C5h", "loader running: CPU", "erase bank 2", ...),
    // on the simulator's thread (or in Reset()), with its lock held: never call the Controller here.
    std::function<void(const std::string&)> onEvent;
};

// What the simulated target has seen, for tests to check.
struct Stats {
    int identifications = 0;         // bootstrap triggers answered
    int loadersReceived = 0;         // chip loaders (programmer) or level-2 loaders (uploader) taken
    std::string lastLoader;          // marker of the last chip loader: "CPU", "AMD29F0x0", "AT45D0x1", "DS1994", or "" if unknown
    int reloads = 0;                 // re-load commands taken
    std::vector<int> erasedBanks;    // bank numbers in the order erased
    int packets = 0;                 // erase and record packets (programmer) or records (uploader)
    int checksumErrors = 0;
};

class Controller {
public:
    explicit Controller(Options options = {});
    ~Controller();                   // stops the thread and closes the pty
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    bool Start();                    // opens the pty pair and starts the thread
    void Stop();
    std::string DevicePath() const;  // the far end for the program to open (slave pty, or a stable symlink)

    // Every byte received from the program so far, in order.
    std::vector<uint8_t> Received() const;
    void ClearReceived();
    // Waits (up to timeoutMs) until at least n bytes have been received in all.
    bool WaitReceived(size_t n, int timeoutMs) const;

    // Current contents of a memory (erased bytes are FFh).
    std::vector<uint8_t> Flash(Memory m) const;
    std::vector<uint8_t> UploaderFlash() const;
    // Bytes of the memory in [address, address + length), absolute addresses, clipped to the memory.
    std::vector<uint8_t> Read(Memory m, uint32_t address, uint32_t length) const;
    std::vector<uint8_t> ReadUploader(uint32_t address, uint32_t length) const;

    Stats GetStats() const;
    // Puts the target back into bootstrap mode (as after a hardware reset).
    void Reset();
    // Line rate actually applied (baud) for tests of the throttling.
    uint32_t Baud() const;

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace targetsim
