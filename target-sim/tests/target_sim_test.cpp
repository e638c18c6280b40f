// The simulated controller, driven through its pty like the programs drive it: a table of protocol
// exchanges for both protocols, the flash models, the fault switches and the line rate.

#include "host.h"
#include "target_sim.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <numeric>
#include <thread>

namespace targetsim::test {
namespace {

// ---- Programmer messages ------------------------------------------------------------------------

// "S", type, count, payload, checksum = 255 - (count + payload) mod 256.
Bytes Packet(char type, const Bytes& payload) {
    Bytes p{'S', uint8_t(type), uint8_t(payload.size() + 1)};
    p.insert(p.end(), payload.begin(), payload.end());
    const unsigned sum = std::accumulate(p.begin() + 2, p.end(), 0u);
    p.push_back(uint8_t(255 - sum % 256));
    return p;
}

Bytes Address(uint32_t address, int length) {
    Bytes a;
    for (int i = length - 1; i >= 0; --i) a.push_back(uint8_t(address >> (8 * i)));
    return a;
}

// An S1/S2/S3 record in its binary form.
Bytes Record(int type, uint32_t address, const Bytes& data) {
    Bytes payload = Address(address, type + 1);
    payload.insert(payload.end(), data.begin(), data.end());
    return Packet(char('0' + type), payload);
}

Bytes Erase(int bank) { return Packet('E', {0x00, uint8_t(bank)}); }

// The 3072 loader bytes (part 1 for F600h-F9FFh, then part 2 for E000h-E7FFh) with the marker.
Bytes Loader(const std::string& name) {
    Bytes l(3072, 0xFF);
    const std::string tag = name.empty() ? std::string() : "LOADER:" + name;
    std::copy(tag.begin(), tag.end(), l.begin());
    if (!tag.empty()) l[tag.size()] = 0x00;
    for (size_t i = 1024; i < 1100; ++i) l[i] = uint8_t(i * 7);  // some "code" in part 2
    return l;
}

const Bytes kReload{0x53, 0x52, 0x01, 0xFE};
const Bytes kPreLoader(32, 0xA5);
const Bytes kStar{'*'};

struct Step {
    Bytes send;
    Bytes expect;  // exactly these bytes come back (none: nothing is awaited)
};

std::vector<Step> Boot(const std::string& loader, uint8_t id = 0xC5) {
    return {{{0x00}, {id}}, {kPreLoader, {}}, {Loader(loader), kStar}};
}

std::vector<Step> operator+(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- Uploader messages --------------------------------------------------------------------------

// count, address high, address low, type, data, checksum (all bytes add up to 0).
Bytes Hex(uint8_t type, uint16_t address, const Bytes& data) {
    Bytes r{uint8_t(data.size()), uint8_t(address >> 8), uint8_t(address), type};
    r.insert(r.end(), data.begin(), data.end());
    const unsigned sum = std::accumulate(r.begin(), r.end(), 0u);
    r.push_back(uint8_t(-sum));
    return r;
}

std::vector<Step> UploaderBoot(uint8_t id = 0xC5) {
    return {{{0x00}, {id}}, {Bytes(32, 0x11), {'1'}}, {Bytes(1024, 0x22), {'2', 'A'}}};
}

// ---- The table ----------------------------------------------------------------------------------

struct Exchange {
    const char* name;
    Options options;
    std::vector<Step> steps;
    std::function<void(const Controller&)> check;  // optional, after the last step
};

Options Programmer() { return {}; }
Options Uploader() {
    Options o;
    o.protocol = Protocol::Uploader;
    return o;
}
Options With(Options o, const std::function<void(Options&)>& f) {
    f(o);
    return o;
}

const Bytes kData16{0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87,
                    0x98, 0xA9, 0xBA, 0xCB, 0xDC, 0xED, 0xFE, 0x0F};

std::vector<Exchange> Exchanges() {
    auto corrupt = [](Bytes b) {
        b.back() ^= 0x01;
        return b;
    };
    return {
        // Programmer: bootstrap and loaders
        {"identify-c167", Programmer(), {{{0x00}, {0xC5}}}, nullptr},
        {"identify-st10f168", With(Programmer(), [](Options& o) { o.idByte = 0xD5; }),
         Boot("CPU", 0xD5), nullptr},
        {"bytes-before-trigger-ignored", Programmer(), {{{0x55, 0x0A}, {}}, {{0x00}, {0xC5}}}, nullptr},
        {"load-cpu-loader", Programmer(), Boot("CPU"),
         [](const Controller& c) {
             EXPECT_EQ(c.GetStats().lastLoader, "CPU");
             EXPECT_EQ(c.GetStats().loadersReceived, 1);
         }},
        {"load-loader-without-marker", Programmer(), Boot(""),
         [](const Controller& c) { EXPECT_EQ(c.GetStats().lastLoader, ""); }},
        {"preloader-length-option", With(Programmer(), [](Options& o) { o.preLoaderLength = 8; }),
         {{{0x00}, {0xC5}}, {Bytes(8, 0x01), {}}, {Loader("DS1994"), kStar}},
         [](const Controller& c) { EXPECT_EQ(c.GetStats().lastLoader, "DS1994"); }},
        {"reload-switches-loader", Programmer(),
         Boot("CPU") + std::vector<Step>{{kReload, {}}, {Loader("AMD29F0x0"), kStar}},
         [](const Controller& c) {
             EXPECT_EQ(c.GetStats().lastLoader, "AMD29F0x0");
             EXPECT_EQ(c.GetStats().reloads, 1);
             EXPECT_EQ(c.GetStats().loadersReceived, 2);
         }},
        {"reload-bad-checksum", Programmer(), Boot("CPU") + std::vector<Step>{{{0x53, 0x52, 0x01, 0xFD}, {'?'}}},
         nullptr},
        // Programmer: erase
        {"erase-cpu-banks", Programmer(),
         Boot("CPU") + std::vector<Step>{{Erase(0), kStar}, {{0x0A}, {}}, {Erase(3), kStar}, {{0x0A}, {}}},
         [](const Controller& c) { EXPECT_EQ(c.GetStats().erasedBanks, (std::vector<int>{0, 3})); }},
        {"erase-packet-bytes", Programmer(),
         Boot("AMD29F0x0") + std::vector<Step>{{{0x53, 0x45, 0x03, 0x00, 0x07, 0xF5, 0x0A}, kStar}},
         [](const Controller& c) { EXPECT_EQ(c.GetStats().erasedBanks, (std::vector<int>{7})); }},
        {"erase-cpu-bank-out-of-range", Programmer(), Boot("CPU") + std::vector<Step>{{Erase(4), {'!'}}}, nullptr},
        {"erase-amd-bank-out-of-range", Programmer(), Boot("AMD29F0x0") + std::vector<Step>{{Erase(8), {'!'}}}, nullptr},
        {"erase-data-flash-has-no-banks", Programmer(), Boot("AT45D0x1") + std::vector<Step>{{Erase(0), {'!'}}}, nullptr},
        {"erase-bad-checksum", Programmer(), Boot("CPU") + std::vector<Step>{{corrupt(Erase(1)), {'?'}}},
         [](const Controller& c) {
             EXPECT_TRUE(c.GetStats().erasedBanks.empty());
             EXPECT_EQ(c.GetStats().checksumErrors, 1);
         }},
        // Programmer: records
        {"record-s1-s2-s3", Programmer(),
         Boot("CPU") + std::vector<Step>{{Record(1, 0x0100, kData16), kStar},
                                         {Record(2, 0x010000, kData16), kStar},
                                         {Record(3, 0x03FFF0, kData16), kStar}},
         [](const Controller& c) {
             EXPECT_EQ(c.Read(Memory::CpuFlash, 0x0100, 16), kData16);
             EXPECT_EQ(c.Read(Memory::CpuFlash, 0x010000, 16), kData16);
             EXPECT_EQ(c.Read(Memory::CpuFlash, 0x03FFF0, 16), kData16);
             EXPECT_EQ(c.Read(Memory::CpuFlash, 0x00FF, 1), Bytes{0xFF});
             EXPECT_EQ(c.GetStats().packets, 3);
         }},
        {"record-bad-checksum", Programmer(), Boot("CPU") + std::vector<Step>{{corrupt(Record(2, 0x100, kData16)), {'?'}}},
         [](const Controller& c) {
             EXPECT_EQ(c.Read(Memory::CpuFlash, 0x100, 1), Bytes{0xFF});
             EXPECT_EQ(c.GetStats().checksumErrors, 1);
         }},
        {"record-past-end-of-memory", Programmer(),
         Boot("CPU") + std::vector<Step>{{Record(3, 0x03FFF8, kData16), {'#'}}},
         [](const Controller& c) { EXPECT_EQ(c.Read(Memory::CpuFlash, 0x03FFF8, 8), Bytes(8, 0xFF)); }},
        {"record-over-programmed-cpu-flash", Programmer(),
         Boot("CPU") + std::vector<Step>{{Record(1, 0x20, {0x00}), kStar}, {Record(1, 0x20, {0x00}), {'#'}}},
         nullptr},
        {"record-over-programmed-amd-flash", Programmer(),
         Boot("AMD29F0x0") + std::vector<Step>{{Record(3, 0x70000, {0x12}), kStar}, {Record(3, 0x70000, {0x34}), {'#'}}},
         nullptr},
        {"erase-then-program-again", Programmer(),
         Boot("CPU") + std::vector<Step>{{Record(1, 0x20, {0x00}), kStar}, {Erase(0), kStar}, {Record(1, 0x20, {0x5A}), kStar}},
         [](const Controller& c) { EXPECT_EQ(c.Read(Memory::CpuFlash, 0x20, 1), Bytes{0x5A}); }},
        {"data-flash-takes-overwrites", Programmer(),
         Boot("AT45D0x1") + std::vector<Step>{{Record(1, 0x20, {0x00}), kStar}, {Record(1, 0x20, {0x77}), kStar}},
         [](const Controller& c) {
             EXPECT_EQ(c.Read(Memory::AT45D0x1, 0x20, 1), Bytes{0x77});
             EXPECT_EQ(c.Read(Memory::CpuFlash, 0x20, 1), Bytes{0xFF});
         }},
        {"ds1994-4k", Programmer(),
         Boot("DS1994") + std::vector<Step>{{Record(1, 0x0FF0, kData16), kStar}, {Record(1, 0x0FF1, kData16), {'#'}}},
         nullptr},
        {"header-count-and-end-records", Programmer(),
         Boot("CPU") + std::vector<Step>{{Packet('0', {0x00, 0x00, 'H', 'D', 'R'}), kStar},
                                         {Packet('5', {0x00, 0x03}), kStar},
                                         {Packet('7', Address(0, 4)), kStar},
                                         {Packet('8', Address(0, 3)), kStar},
                                         {Packet('9', Address(0, 2)), kStar}},
         [](const Controller& c) { EXPECT_EQ(c.GetStats().packets, 5); }},
        {"zero-resets-option", With(Programmer(), [](Options& o) { o.zeroResets = true; }),
         Boot("CPU") + Boot("AT45D0x1"),
         [](const Controller& c) { EXPECT_EQ(c.GetStats().identifications, 2); }},
        {"zero-resets-option-uploader", With(Uploader(), [](Options& o) { o.zeroResets = true; }),
         UploaderBoot() + std::vector<Step>{{Hex(0x01, 0, {}), {'G'}}, {Bytes(4, 0x00), {}}, {{0x00}, {0xC5}}},
         nullptr},
        {"stray-zero-ignored-by-default", Programmer(),
         Boot("CPU") + std::vector<Step>{{{0x00}, {}}, {Erase(0), kStar}}, nullptr},

        // Uploader
        {"upload-boot", Uploader(), UploaderBoot(),
         [](const Controller& c) { EXPECT_EQ(c.GetStats().loadersReceived, 1); }},
        {"upload-id-option", With(Uploader(), [](Options& o) { o.idByte = 0x55; }), UploaderBoot(0x55), nullptr},
        {"upload-records", Uploader(),
         UploaderBoot() + std::vector<Step>{{Hex(0x04, 0, {0x00, 0x01}), {'A'}},
                                            {Hex(0x00, 0x0010, kData16), {'A'}},
                                            {Hex(0x02, 0, {0x20, 0x00}), {'A'}},
                                            {Hex(0x00, 0x0004, {0xAB}), {'A'}},
                                            {Hex(0x01, 0, {}), {'G'}}},
         [](const Controller& c) {
             EXPECT_EQ(c.ReadUploader(0x10010, 16), kData16);
             EXPECT_EQ(c.ReadUploader(0x20004, 1), Bytes{0xAB});
             EXPECT_EQ(c.ReadUploader(0x00010, 1), Bytes{0xFF});
             EXPECT_EQ(c.GetStats().packets, 5);
         }},
        {"upload-bad-checksum", Uploader(), UploaderBoot() + std::vector<Step>{{corrupt(Hex(0, 0, kData16)), {'C'}}},
         [](const Controller& c) { EXPECT_EQ(c.GetStats().checksumErrors, 1); }},
        {"upload-unknown-type", Uploader(),
         UploaderBoot() + std::vector<Step>{{Hex(0x03, 0, {0, 0, 0, 0}), {'E'}}, {Hex(0x05, 0, {0, 0, 0, 0}), {'E'}}},
         nullptr},
        {"upload-outside-flash", Uploader(),
         UploaderBoot() + std::vector<Step>{{Hex(0x04, 0, {0x00, 0x10}), {'A'}}, {Hex(0x00, 0, {0x01}), {'M'}},
                                            {Hex(0x04, 0, {0x00, 0x0F}), {'A'}}, {Hex(0x00, 0xFFF8, kData16), {'M'}}},
         nullptr},
        {"upload-byte-not-erased", Uploader(),
         UploaderBoot() + std::vector<Step>{{Hex(0, 0x100, {0x00}), {'A'}}, {Hex(0, 0x100, {0x00}), {'M'}}},
         nullptr},
        {"upload-level-lengths", With(Uploader(), [](Options& o) { o.level1Length = 4; o.level2Length = 2000; }),
         {{{0x00}, {0xC5}}, {Bytes(4, 1), {'1'}}, {Bytes(2000, 2), {'2', 'A'}}}, nullptr},
        {"upload-answers-2-early", With(Uploader(), [](Options& o) { o.answerLevel2AfterBytes = 1000; }),
         {{{0x00}, {0xC5}}, {Bytes(32, 1), {'1'}}, {Bytes(1000, 2), {'2'}},
          {Bytes(24, 0), {'A'}},  // the rest of the padding is swallowed by the erase
          {Hex(0, 0, {0x42}), {'A'}}},
         [](const Controller& c) { EXPECT_EQ(c.ReadUploader(0, 2), (Bytes{0x42, 0xFF})); }},

        // Faults
        {"fault-wrong-id", With(Programmer(), [](Options& o) { o.wrongId = 0x31; }),
         {{{0x00}, {0x31}}, {{0x00}, {0x31}}},
         [](const Controller& c) { EXPECT_EQ(c.GetStats().identifications, 2); }},
        {"fault-garbage", With(Programmer(), [](Options& o) { o.garbage = {0x01, 0x02}; }),
         {{{0x00}, {0xC5, 0x01, 0x02}}}, nullptr},
        {"fault-reply-at-packet", With(Programmer(), [](Options& o) { o.faultReply = FaultReply{2, '$'}; }),
         Boot("CPU") + std::vector<Step>{{Erase(0), kStar}, {Record(2, 0, kData16), {'$'}}, {Record(2, 0x10, kData16), kStar}},
         [](const Controller& c) { EXPECT_EQ(c.Read(Memory::CpuFlash, 0, 1), Bytes{0xFF}); }},
        {"fault-reply-at-record", With(Uploader(), [](Options& o) { o.faultReply = FaultReply{1, 'W'}; }),
         UploaderBoot() + std::vector<Step>{{Hex(0, 0, {1}), {'W'}}}, nullptr},
    };
}

class ExchangeTest : public ::testing::TestWithParam<Exchange> {};

TEST_P(ExchangeTest, AnswersExactly) {
    const Exchange& e = GetParam();
    Controller sim(e.options);
    ASSERT_TRUE(sim.Start());
    Host host(sim.DevicePath());
    ASSERT_TRUE(host.ok());
    for (size_t i = 0; i < e.steps.size(); ++i) {
        const Step& s = e.steps[i];
        ASSERT_TRUE(host.Send(s.send)) << "step " << i;
        if (!s.expect.empty()) {
            EXPECT_EQ(host.Read(s.expect.size()), s.expect) << "step " << i;
        }
    }
    EXPECT_TRUE(host.ReadFor(50).empty()) << "nothing more comes";
    if (e.check) e.check(sim);
}

INSTANTIATE_TEST_SUITE_P(Table, ExchangeTest, ::testing::ValuesIn(Exchanges()),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

// ---- Behaviour outside the table ----------------------------------------------------------------

TEST(TargetSim, ReceivedHoldsEveryByteInOrder) {
    Controller sim;
    ASSERT_TRUE(sim.Start());
    Host host(sim.DevicePath());
    const Bytes all = [] {
        Bytes b;
        for (int i = 0; i < 256; ++i) b.push_back(uint8_t(i));
        return b;
    }();
    ASSERT_TRUE(host.Send(all));
    ASSERT_TRUE(sim.WaitReceived(256, kReplyTimeoutMs));
    EXPECT_EQ(sim.Received(), all);
    sim.ClearReceived();
    EXPECT_TRUE(sim.Received().empty());
}

TEST(TargetSim, SilentTargetAnswersNothing) {
    Options o;
    o.silent = true;
    Controller sim(o);
    ASSERT_TRUE(sim.Start());
    Host host(sim.DevicePath());
    for (const Step& s : Boot("CPU")) ASSERT_TRUE(host.Send(s.send));
    ASSERT_TRUE(sim.WaitReceived(1 + 32 + 3072, kReplyTimeoutMs));
    EXPECT_TRUE(host.ReadFor(100).empty());
}

TEST(TargetSim, FarEndCanBeClosedAndReopened) {
    Controller sim;
    ASSERT_TRUE(sim.Start());
    {
        Host host(sim.DevicePath());
        for (const Step& s : Boot("CPU")) {
            ASSERT_TRUE(host.Send(s.send));
            EXPECT_EQ(host.Read(s.expect.size()), s.expect);
        }
    }
    Host again(sim.DevicePath());  // as after the program reopens its port: the loader still runs
    ASSERT_TRUE(again.Send(Erase(1)));
    EXPECT_EQ(again.Read(1), kStar);
}

TEST(TargetSim, ResetReturnsToBootstrapModeAndKeepsFlash) {
    Controller sim;
    ASSERT_TRUE(sim.Start());
    Host host(sim.DevicePath());
    for (const Step& s : Boot("CPU") + std::vector<Step>{{Record(1, 0x40, {0x99}), kStar}}) {
        ASSERT_TRUE(host.Send(s.send));
        EXPECT_EQ(host.Read(s.expect.size()), s.expect);
    }
    sim.Reset();
    ASSERT_TRUE(host.Send(0x00));
    EXPECT_EQ(host.Read(1), Bytes{0xC5});
    EXPECT_EQ(sim.Read(Memory::CpuFlash, 0x40, 1), Bytes{0x99});
}

TEST(TargetSim, HangUpClosesTheLineAfterNBytes) {
    Options o;
    o.hangUpAfterBytes = 10;
    Controller sim(o);
    ASSERT_TRUE(sim.Start());
    Host host(sim.DevicePath());
    ASSERT_TRUE(host.Send(Bytes(10, 0x55)));
    ASSERT_TRUE(sim.WaitReceived(10, kReplyTimeoutMs));
    host.Read(1);
    EXPECT_TRUE(host.HungUp());
}

TEST(TargetSim, BankEraseTimeAndReplyDelayHoldTheReply) {
    Options o;
    o.bankEraseMs = 150;
    o.replyDelayMs = 50;
    Controller sim(o);
    ASSERT_TRUE(sim.Start());
    Host host(sim.DevicePath());
    for (const Step& s : Boot("CPU")) {
        ASSERT_TRUE(host.Send(s.send));
        EXPECT_EQ(host.Read(s.expect.size()), s.expect);
    }
    ASSERT_TRUE(host.Send(Erase(0)));
    EXPECT_TRUE(host.Read(1, 150).empty()) << "not before the erase time and the delay";
    EXPECT_EQ(host.Read(1), kStar);
}

TEST(TargetSim, UploaderEraseTimeHoldsTheA) {
    Options o;
    o.protocol = Protocol::Uploader;
    o.eraseMs = 300;
    Controller sim(o);
    ASSERT_TRUE(sim.Start());
    Host host(sim.DevicePath());
    ASSERT_TRUE(host.Send(0x00));
    EXPECT_EQ(host.Read(1), Bytes{0xC5});
    ASSERT_TRUE(host.Send(Bytes(32, 0)));
    EXPECT_EQ(host.Read(1), Bytes{'1'});
    ASSERT_TRUE(host.Send(Bytes(1024, 0)));
    EXPECT_EQ(host.Read(1), Bytes{'2'});
    EXPECT_TRUE(host.Read(1, 200).empty()) << "erasing";
    EXPECT_EQ(host.Read(1), Bytes{'A'});
}

// Line rate: baud/10 bytes per second each way, within a few percent over about a second.
TEST(TargetSim, ThrottlesBothDirectionsToTheBaudRate) {
    constexpr uint32_t kBaud = 19200;
    constexpr size_t kBytes = 2000;  // about 1.04 s each way
    const double expectSeconds = double(kBytes - 1) * 10.0 / kBaud;
    Options o;
    o.baud = kBaud;
    o.garbage.assign(kBytes - 1, 0x5A);  // with the identification byte: kBytes back
    Controller sim(o);
    ASSERT_TRUE(sim.Start());
    EXPECT_EQ(sim.Baud(), kBaud);
    Host host(sim.DevicePath());

    ASSERT_TRUE(host.Send(0x00));
    ASSERT_EQ(host.Read(1).size(), 1u);
    auto t0 = SteadyClock::now();
    EXPECT_EQ(host.Read(kBytes - 1).size(), kBytes - 1);
    const double sent = std::chrono::duration<double>(SteadyClock::now() - t0).count();
    EXPECT_NEAR(sent, double(kBytes - 2) * 10.0 / kBaud, 0.04 * expectSeconds) << "target to program";

    sim.ClearReceived();
    ASSERT_TRUE(host.Send(Bytes(1, 0x01)));
    ASSERT_TRUE(sim.WaitReceived(1, kReplyTimeoutMs));
    t0 = SteadyClock::now();
    ASSERT_TRUE(host.Send(Bytes(kBytes - 1, 0x01)));
    ASSERT_TRUE(sim.WaitReceived(kBytes, 3 * kReplyTimeoutMs));
    const double received = std::chrono::duration<double>(SteadyClock::now() - t0).count();
    EXPECT_NEAR(received, double(kBytes - 1) * 10.0 / kBaud, 0.04 * expectSeconds) << "program to target";
}

TEST(TargetSim, LinkPathPointsAtTheFarEnd) {
    Options o;
    o.linkPath = ::testing::TempDir() + "target-sim-link";
    {
        Controller sim(o);
        ASSERT_TRUE(sim.Start());
        EXPECT_EQ(sim.DevicePath(), o.linkPath);
        Host host(o.linkPath);
        ASSERT_TRUE(host.Send(0x00));
        EXPECT_EQ(host.Read(1), Bytes{0xC5});
    }
    EXPECT_NE(::access(o.linkPath.c_str(), F_OK), 0) << "removed at stop";
}

TEST(TargetSim, Layouts) {
    EXPECT_EQ(LayoutOf(Memory::CpuFlash).size, 256u * 1024);
    EXPECT_EQ(LayoutOf(Memory::CpuFlash).bankSize, 64u * 1024);
    EXPECT_EQ(LayoutOf(Memory::AMD29F0x0).size / LayoutOf(Memory::AMD29F0x0).bankSize, 8u);
    EXPECT_TRUE(LayoutOf(Memory::AT45D0x1).overwrite);
    EXPECT_EQ(LayoutOf(Memory::DS1994).size, 4096u);
    EXPECT_EQ(UploaderFlashLayout().size, 1024u * 1024);
    Controller sim;
    EXPECT_EQ(sim.Flash(Memory::AMD29F0x0), Bytes(512 * 1024, 0xFF));
}


// ---- Our sample files against the simulator -----------------------------------------------------

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    return lines;
}

Bytes HexBytes(const std::string& text) {
    Bytes b;
    for (size_t i = 0; i + 1 < text.size(); i += 2) b.push_back(uint8_t(std::stoul(text.substr(i, 2), nullptr, 16)));
    return b;
}

TEST(Samples, ChipLoadersCarryTheirMarker) {
    const std::pair<const char*, const char*> loaders[] = {
        {"LoaderC167.sre", "CPU"}, {"LoaderC168.sre", "CPU"}, {"LoaderAMD29F0x0.sre", "AMD29F0x0"},
        {"LoaderAT45D0x1.sre", "AT45D0x1"}, {"LoaderDS1994.sre", "DS1994"}};
    Controller sim;
    ASSERT_TRUE(sim.Start());
    Host host(sim.DevicePath());
    ASSERT_TRUE(host.Send(0x00));
    ASSERT_EQ(host.Read(1), Bytes{0xC5});
    std::ifstream pre(SAMPLES_DIR "/PreLoad.bin", std::ios::binary);
    const Bytes preLoader{std::istreambuf_iterator<char>(pre), {}};
    ASSERT_EQ(preLoader.size(), 32u);
    ASSERT_TRUE(host.Send(preLoader));
    bool first = true;
    for (const auto& [file, marker] : loaders) {
        SCOPED_TRACE(file);
        Bytes image(3072, 0xFF);  // F600h-F9FFh, then E000h-E7FFh
        for (const std::string& l : Lines(std::string(SAMPLES_DIR "/") + file)) {
            ASSERT_GE(l.size(), 4u);
            ASSERT_EQ(l[0], 'S');
            if (l[1] != '1' && l[1] != '2') continue;
            const Bytes r = HexBytes(l.substr(2));
            const size_t addressLength = l[1] == '1' ? 2 : 3;
            uint32_t address = 0;
            for (size_t i = 0; i < addressLength; ++i) address = (address << 8) | r[1 + i];
            for (size_t i = 1 + addressLength; i + 1 < r.size(); ++i, ++address) {
                if (address >= 0xF600 && address <= 0xF9FF) image[address - 0xF600] = r[i];
                else if (address >= 0xE000 && address <= 0xE7FF) image[1024 + address - 0xE000] = r[i];
                else FAIL() << "address " << address;
            }
        }
        if (!first) {
            ASSERT_TRUE(host.Send(kReload));
        }
        first = false;
        ASSERT_TRUE(host.Send(image));
        EXPECT_EQ(host.Read(1), kStar);
        EXPECT_EQ(sim.GetStats().lastLoader, marker);
    }
}

TEST(Samples, HexFileUploadsToTheEnd) {
    Options o;
    o.protocol = Protocol::Uploader;
    Controller sim(o);
    ASSERT_TRUE(sim.Start());
    Host host(sim.DevicePath());
    ASSERT_TRUE(host.Send(0x00));
    ASSERT_EQ(host.Read(1), Bytes{0xC5});
    std::ifstream l1(SAMPLES_DIR "/VR10/LEVEL1.BIN", std::ios::binary), l2(SAMPLES_DIR "/VR10/LEVEL2.BIN", std::ios::binary);
    ASSERT_TRUE(host.Send(Bytes{std::istreambuf_iterator<char>(l1), {}}));
    ASSERT_EQ(host.Read(1), Bytes{'1'});
    Bytes level2{std::istreambuf_iterator<char>(l2), {}};
    level2.resize(1024, 0x00);  // the host's zero padding
    ASSERT_TRUE(host.Send(level2));
    ASSERT_EQ(host.Read(2), (Bytes{'2', 'A'}));
    Bytes expected(0x11000, 0xFF);
    uint32_t base = 0;
    uint8_t last = 0;
    for (const std::string& line : Lines(SAMPLES_DIR "/firmware.hex")) {
        ASSERT_EQ(line[0], ':');
        const Bytes r = HexBytes(line.substr(1));
        if (r[3] == 0x04) base = uint32_t((r[4] << 8) | r[5]) << 16;
        if (r[3] == 0x00)
            for (size_t i = 0; i < r[0]; ++i) expected.at(base + ((r[1] << 8) | r[2]) + i) = r[4 + i];
        ASSERT_TRUE(host.Send(r));
        const Bytes answer = host.Read(1);
        ASSERT_EQ(answer.size(), 1u);
        last = answer[0];
        if (last != 'G') {
            ASSERT_EQ(last, 'A') << line;
        }
    }
    EXPECT_EQ(last, 'G');
    EXPECT_EQ(sim.ReadUploader(0, 0x11000), expected);
}

}  // namespace
}  // namespace targetsim::test
