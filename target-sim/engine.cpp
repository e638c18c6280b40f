#include "engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace targetsim {

// Memory layouts of the programmer's target (see README).
MemoryLayout LayoutOf(Memory m) {
    switch (m) {
    case Memory::CpuFlash: return {0x000000, 256 * 1024, 64 * 1024, false};
    case Memory::AMD29F0x0: return {0x000000, 512 * 1024, 64 * 1024, false};
    case Memory::AT45D0x1: return {0x000000, 512 * 1024, 0, true};
    case Memory::DS1994: return {0x000000, 4 * 1024, 0, true};
    }
    return {0, 0, 0, false};
}

MemoryLayout UploaderFlashLayout() { return {0x000000, 1024 * 1024, 0, false}; }

namespace detail {

namespace {

// Programmer wire protocol.
constexpr uint8_t kBootstrapTrigger = 0x00;
constexpr uint8_t kPacketHead = 'S';
constexpr uint8_t kTypeReload = 'R';
constexpr uint8_t kTypeErase = 'E';
constexpr uint8_t kAck = '*';
constexpr uint8_t kEraseFailed = '!';
constexpr uint8_t kChecksumError = '?';
constexpr uint8_t kProgramFailure = '#';
constexpr uint8_t kChecksumSum = 0xFF;         // count .. checksum add up to FFh
constexpr size_t kLoaderPart1Size = 1024;      // F600h-F9FFh
constexpr size_t kLoaderPart2Size = 2048;      // E000h-E7FFh
constexpr size_t kLoaderSize = kLoaderPart1Size + kLoaderPart2Size;
constexpr uint8_t kReloadCount = 1;
constexpr uint8_t kEraseCount = 3;
constexpr size_t kPacketHeaderSize = 3;        // "S", type, count

// Uploader wire protocol.
constexpr uint8_t kLevel1Done = '1';
constexpr uint8_t kLevel2Done = '2';
constexpr uint8_t kHexOk = 'A';                // also: erase done
constexpr uint8_t kHexEnd = 'G';
constexpr uint8_t kHexChecksum = 'C';
constexpr uint8_t kHexRecordType = 'E';
constexpr uint8_t kHexMemory = 'M';
constexpr uint8_t kHexData = 0x00;
constexpr uint8_t kHexEndOfFile = 0x01;
constexpr uint8_t kHexSegment = 0x02;
constexpr uint8_t kHexLinear = 0x04;
constexpr size_t kHexOverhead = 5;             // count, address high, address low, type, checksum

constexpr uint8_t kErased = 0xFF;

struct LoaderName {
    const char* name;
    Memory memory;
};
constexpr LoaderName kLoaderNames[] = {
    {"CPU", Memory::CpuFlash},
    {"AMD29F0x0", Memory::AMD29F0x0},
    {"AT45D0x1", Memory::AT45D0x1},
    {"DS1994", Memory::DS1994},
};

std::string Hex(uint32_t v, int digits = 2) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*X", digits, v);
    return buf;
}

// Checks that [address, address + length) lies in the memory and, unless it takes overwrites,
// is still erased; then programs it. Returns false (and programs nothing) otherwise.
bool Program(std::vector<uint8_t>& flash, const MemoryLayout& layout, uint64_t address,
             const uint8_t* data, size_t length) {
    if (address < layout.base || address + length > uint64_t(layout.base) + layout.size)
        return false;
    const size_t at = size_t(address - layout.base);
    if (!layout.overwrite &&
        !std::all_of(flash.begin() + at, flash.begin() + at + length,
                     [](uint8_t b) { return b == kErased; }))
        return false;
    std::copy(data, data + length, flash.begin() + at);
    return true;
}

}  // namespace

Engine::Engine(const Options& options) : opt_(options) {
    for (Memory m : {Memory::CpuFlash, Memory::AMD29F0x0, Memory::AT45D0x1, Memory::DS1994})
        flash_[Index(m)].assign(LayoutOf(m).size, kErased);
    uploaderFlash_.assign(UploaderFlashLayout().size, kErased);
}

void Engine::Event(const std::string& text) {
    if (opt_.onEvent) opt_.onEvent(text);
}

void Engine::Reply(uint8_t code, Clock::time_point now, Ms extra) {
    if (opt_.silent) return;
    Clock::time_point due = now + Ms(opt_.replyDelayMs) + extra;
    lastDue_ = std::max(lastDue_, due);
    out_.push_back({lastDue_, code});
}

void Engine::Reset() {
    state_ = State::Bootstrap;
    out_.clear();
    lastDue_ = {};
    count_ = 0;
    loader_.clear();
    packet_.clear();
    hexBase_ = 0;
    Event("reset: bootstrap mode");
}

void Engine::Feed(uint8_t byte, Clock::time_point now) {
    if (opt_.silent) return;
    if (opt_.protocol == Protocol::Programmer)
        FeedProgrammer(byte, now);
    else
        FeedUploader(byte, now);
}

// The processor's bootstrap loader answers the trigger with its identification byte. A wrong
// identification leaves it in bootstrap mode.
void Engine::Identify(Clock::time_point now) {
    ++stats_.identifications;
    if (opt_.wrongId) {
        Reply(*opt_.wrongId, now);
        Event("identification answered with " + Hex(*opt_.wrongId) + "h (wrong on purpose)");
        return;
    }
    Reply(opt_.idByte, now);
    for (uint8_t g : opt_.garbage) Reply(g, now);
    Event("identified: " + Hex(opt_.idByte) + "h");
    count_ = 0;
    if (opt_.protocol == Protocol::Programmer) {
        state_ = opt_.preLoaderLength > 0 ? State::PreLoader : State::Loader;
        loader_.clear();
    } else {
        state_ = State::Level1;
        if (opt_.level1Length <= 0) {
            Reply(kLevel1Done, now);
            state_ = State::Level2;
        }
    }
}

// ---- Programmer -------------------------------------------------------------------------------

void Engine::FeedProgrammer(uint8_t byte, Clock::time_point now) {
    switch (state_) {
    case State::Bootstrap:
        if (byte == kBootstrapTrigger) Identify(now);
        break;
    case State::PreLoader:
        if (++count_ >= size_t(opt_.preLoaderLength)) {
            Event("pre-loader taken (" + std::to_string(count_) + " bytes)");
            state_ = State::Loader;
            loader_.clear();
        }
        break;
    case State::Loader:
        loader_.push_back(byte);
        if (loader_.size() == kLoaderSize) LoaderComplete(now);
        break;
    case State::Running:
        if (packet_.empty()) {
            if (byte == kPacketHead) {
                packet_.push_back(byte);
            } else if (byte == kBootstrapTrigger && opt_.zeroResets) {
                Reset();
                Identify(now);
            }
            // Anything else between packets (the 0Ah after an erase packet) is dropped.
            break;
        }
        packet_.push_back(byte);
        if (packet_.size() >= kPacketHeaderSize &&
            packet_.size() == kPacketHeaderSize + packet_[2])
            PacketComplete(now);
        break;
    default:
        break;
    }
}

void Engine::LoaderComplete(Clock::time_point now) {
    ++stats_.loadersReceived;
    std::string tag;
    const size_t markerLength = std::strlen(kLoaderMarker);
    if (std::equal(kLoaderMarker, kLoaderMarker + markerLength,
                   loader_.begin() + kLoaderMarkerOffset)) {
        for (size_t i = kLoaderMarkerOffset + markerLength; i < kLoaderPart1Size && loader_[i]; ++i)
            tag.push_back(char(loader_[i]));
    }
    stats_.lastLoader.clear();
    running_ = Memory::CpuFlash;  // a loader without a known marker acts as the CPU flash loader
    for (const auto& n : kLoaderNames) {
        if (tag == n.name) {
            stats_.lastLoader = n.name;
            running_ = n.memory;
        }
    }
    Event("loader running: " + (stats_.lastLoader.empty() ? std::string("unknown (as CPU)")
                                                          : stats_.lastLoader));
    state_ = State::Running;
    packet_.clear();
    loader_.clear();
    Reply(kAck, now);
}

void Engine::PacketComplete(Clock::time_point now) {
    std::vector<uint8_t> p;
    p.swap(packet_);
    const uint8_t type = p[1];
    uint32_t sum = 0;
    for (size_t i = 2; i < p.size(); ++i) sum += p[i];
    const bool sumOk = (sum & 0xFF) == kChecksumSum;

    if (type == kTypeReload) {
        if (sumOk && p[2] == kReloadCount) {
            ++stats_.reloads;
            Event("re-load command");
            state_ = State::Loader;
            loader_.clear();
        } else {
            ++stats_.checksumErrors;
            Reply(kChecksumError, now);
        }
        return;
    }

    const int index = ++stats_.packets;
    if (opt_.faultReply && opt_.faultReply->index == index) {
        Event("packet " + std::to_string(index) + " answered with " +
              Hex(opt_.faultReply->code) + "h (fault on purpose)");
        Reply(opt_.faultReply->code, now);
        return;
    }
    if (!sumOk) {
        ++stats_.checksumErrors;
        Event("packet " + std::to_string(index) + ": checksum error");
        Reply(kChecksumError, now);
        return;
    }
    if (type == kTypeErase) {
        const uint8_t code = ErasePacket(p);
        Reply(code, now, code == kAck ? Ms(opt_.bankEraseMs) : Ms(0));
        return;
    }
    const uint8_t code = RecordPacket(p);
    if (code != kAck)
        Event("record " + std::to_string(index) + " (S" + char(type) + ") answered with '" +
              char(code) + "'");
    Reply(code, now);
}

// Erase packet: "S" "E" 03h, bank high byte, bank low byte, checksum.
uint8_t Engine::ErasePacket(const std::vector<uint8_t>& p) {
    if (p[2] != kEraseCount) return kChecksumError;
    const unsigned bank = (unsigned(p[3]) << 8) | p[4];
    const MemoryLayout layout = LayoutOf(running_);
    if (layout.bankSize == 0 || bank >= layout.size / layout.bankSize) {
        Event("erase bank " + std::to_string(bank) + ": no such bank");
        return kEraseFailed;
    }
    auto& flash = flash_[Index(running_)];
    std::fill_n(flash.begin() + size_t(bank) * layout.bankSize, layout.bankSize, kErased);
    stats_.erasedBanks.push_back(int(bank));
    Event("erase bank " + std::to_string(bank));
    return kAck;
}

// Record packet: "S", type digit, count, address, data, checksum (the S-record in binary).
uint8_t Engine::RecordPacket(const std::vector<uint8_t>& p) {
    const uint8_t type = p[1];
    const size_t count = p[2];
    switch (type) {
    case '1':
    case '2':
    case '3': {
        const size_t addressLength = size_t(type - '0') + 1;
        if (count < addressLength + 1) return kChecksumError;
        uint64_t address = 0;
        for (size_t i = 0; i < addressLength; ++i) address = (address << 8) | p[3 + i];
        const size_t dataLength = count - addressLength - 1;
        const uint8_t* data = p.data() + 3 + addressLength;
        if (!Program(flash_[Index(running_)], LayoutOf(running_), address, data, dataLength))
            return kProgramFailure;
        return kAck;
    }
    case '0':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
        if (type >= '7') Event("end record S" + std::string(1, char(type)));
        return kAck;
    default:
        return kChecksumError;  // S4 and anything that is no record type
    }
}

// ---- Uploader ---------------------------------------------------------------------------------

void Engine::FeedUploader(uint8_t byte, Clock::time_point now) {
    switch (state_) {
    case State::Bootstrap:
        if (byte == kBootstrapTrigger) Identify(now);
        break;
    case State::Level1:
        if (++count_ >= size_t(opt_.level1Length)) {
            Event("LEVEL1 taken (" + std::to_string(count_) + " bytes)");
            Reply(kLevel1Done, now);
            state_ = State::Level2;
            count_ = 0;
        }
        break;
    case State::Level2: {
        ++count_;
        size_t answerAt = size_t(std::max(opt_.level2Length, 1));
        if (opt_.answerLevel2AfterBytes >= 0)
            answerAt = std::min(answerAt, size_t(std::max(opt_.answerLevel2AfterBytes, 1)));
        if (count_ >= answerAt) {
            ++stats_.loadersReceived;
            Event("LEVEL2 taken (" + std::to_string(count_) + " bytes), erasing");
            Reply(kLevel2Done, now);
            std::fill(uploaderFlash_.begin(), uploaderFlash_.end(), kErased);
            eraseDone_ = now + Ms(opt_.eraseMs);
            lastInput_ = now;
            hexBase_ = 0;
            state_ = State::Erasing;
        }
        break;
    }
    case State::Erasing:
        lastInput_ = now;  // the host's padding, still arriving: dropped
        break;
    case State::Records:
        packet_.push_back(byte);
        if (packet_.size() == kHexOverhead + packet_[0]) {
            if (opt_.zeroResets && std::all_of(packet_.begin(), packet_.end(),
                                               [](uint8_t b) { return b == kBootstrapTrigger; })) {
                Reset();  // the host's bootstrap triggers, one every 100 ms
                Identify(now);
            } else {
                HexRecordComplete(now);
            }
        }
        break;
    default:
        break;
    }
}

Clock::time_point Engine::NextTimer() const {
    if (state_ == State::Erasing && !opt_.silent)
        return std::max(eraseDone_, lastInput_ + kEraseQuietMs);
    return Clock::time_point::max();
}

void Engine::Tick(Clock::time_point now) {
    if (state_ != State::Erasing || now < NextTimer()) return;
    Event("erase done");
    state_ = State::Records;
    packet_.clear();
    Reply(kHexOk, now);
}

void Engine::HexRecordComplete(Clock::time_point now) {
    std::vector<uint8_t> r;
    r.swap(packet_);
    const int index = ++stats_.packets;
    uint8_t code;
    if (opt_.faultReply && opt_.faultReply->index == index) {
        code = opt_.faultReply->code;
        Event("record " + std::to_string(index) + " answered with " + Hex(code) +
              "h (fault on purpose)");
    } else {
        code = HexRecord(r);
        if (code != kHexOk)
            Event("record " + std::to_string(index) + " (type " + Hex(r[3]) + ") answered with '" +
                  char(code) + "'");
    }
    Reply(code, now);
}

// Binary record: count, address high, address low, type, data, checksum; all add up to 0.
uint8_t Engine::HexRecord(const std::vector<uint8_t>& r) {
    uint32_t sum = 0;
    for (uint8_t b : r) sum += b;
    if ((sum & 0xFF) != 0) {
        ++stats_.checksumErrors;
        return kHexChecksum;
    }
    const size_t count = r[0];
    const uint32_t offset = (uint32_t(r[1]) << 8) | r[2];
    const uint8_t* data = r.data() + 4;
    switch (r[3]) {
    case kHexData:
        return Program(uploaderFlash_, UploaderFlashLayout(), uint64_t(hexBase_) + offset, data,
                       count)
                   ? kHexOk
                   : kHexMemory;
    case kHexEndOfFile:
        return kHexEnd;
    case kHexSegment:
        if (count != 2) return kHexRecordType;
        hexBase_ = ((uint32_t(data[0]) << 8) | data[1]) << 4;
        return kHexOk;
    case kHexLinear:
        if (count != 2) return kHexRecordType;
        hexBase_ = ((uint32_t(data[0]) << 8) | data[1]) << 16;
        return kHexOk;
    default:
        return kHexRecordType;
    }
}

}  // namespace detail
}  // namespace targetsim
