#pragma once
// The target's behaviour without any I/O: fed one received byte at a time with the moment it
// arrived, it changes the flash models and queues its replies, each with the earliest moment it
// may leave. The controller thread (target_sim.cpp) moves the bytes between the pty and here.

#include "target_sim.h"

#include <array>
#include <chrono>
#include <deque>
#include <string>
#include <vector>

namespace targetsim::detail {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

struct OutByte {
    Clock::time_point due;  // not before
    uint8_t value;
};

// Which memory a chip loader drives, from the marker it carries. See README: "LOADER:" followed
// by the memory's name and a 00h byte, at F600h (the first bytes of loader part 1).
inline constexpr char kLoaderMarker[] = "LOADER:";
inline constexpr size_t kLoaderMarkerOffset = 0;  // into part 1 (address F600h)

// The uploader's "A" leaves only once the line has been quiet this long after "2": the host's
// zero padding may still be on its way, and a real erase takes far longer anyway.
inline constexpr Ms kEraseQuietMs{50};

class Engine {
public:
    explicit Engine(const Options& options);

    // One byte received from the program at `now`.
    void Feed(uint8_t byte, Clock::time_point now);
    // Timed work (the uploader's end of erase) due at or before `now`.
    void Tick(Clock::time_point now);
    // When Tick has work next, or Clock::time_point::max() if none.
    Clock::time_point NextTimer() const;
    // Back into bootstrap mode; replies not sent yet are dropped. Flash contents stay.
    void Reset();

    // Replies waiting to go out, oldest first.
    std::deque<OutByte>& Pending() { return out_; }

    const Stats& GetStats() const { return stats_; }
    const std::vector<uint8_t>& FlashOf(Memory m) const { return flash_[Index(m)]; }
    const std::vector<uint8_t>& UploaderFlash() const { return uploaderFlash_; }

private:
    enum class State {
        Bootstrap,      // waiting for the 00h trigger
        PreLoader,      // programmer: taking the pre-loader
        Loader,         // programmer: taking the 3072 loader bytes
        Running,        // programmer: a chip loader runs and takes packets
        Level1,         // uploader: taking LEVEL1.BIN
        Level2,         // uploader: taking LEVEL2.BIN and the padding
        Erasing,        // uploader: erasing the flash, input ignored
        Records,        // uploader: taking binary hex records
    };

    static size_t Index(Memory m) { return static_cast<size_t>(m) - 1; }

    void Event(const std::string& text);
    void Reply(uint8_t code, Clock::time_point now, Ms extra = Ms(0));
    void Identify(Clock::time_point now);

    void FeedProgrammer(uint8_t byte, Clock::time_point now);
    void LoaderComplete(Clock::time_point now);
    void PacketComplete(Clock::time_point now);
    uint8_t ErasePacket(const std::vector<uint8_t>& p);
    uint8_t RecordPacket(const std::vector<uint8_t>& p);

    void FeedUploader(uint8_t byte, Clock::time_point now);
    void HexRecordComplete(Clock::time_point now);
    uint8_t HexRecord(const std::vector<uint8_t>& r);

    Options opt_;
    Stats stats_;
    State state_ = State::Bootstrap;
    std::deque<OutByte> out_;
    Clock::time_point lastDue_{};

    size_t count_ = 0;                 // bytes taken in the current state
    std::vector<uint8_t> loader_;      // programmer: the loader bytes as received
    Memory running_ = Memory::CpuFlash;
    std::vector<uint8_t> packet_;      // programmer packet from its "S", or uploader record
    std::array<std::vector<uint8_t>, 4> flash_;
    std::vector<uint8_t> uploaderFlash_;
    uint32_t hexBase_ = 0;             // uploader: from the last type 02 or 04 record
    Clock::time_point eraseDone_{};    // uploader: when the erase time is over
    Clock::time_point lastInput_{};    // uploader: last byte received while erasing
};

}  // namespace targetsim::detail
