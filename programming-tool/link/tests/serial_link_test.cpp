// The port component, packets, waits and reply texts, against a pseudo-terminal peer.

#include "comm.h"
#include "fake_link_host.h"
#include "link_internal.h"
#include "module1.h"
#include "profile_record.h"
#include "pty_peer.h"

#include <gtest/gtest.h>

namespace {

// A test tick, so that waits of many ticks end quickly; the code counts ticks, not time.
constexpr int kFastTickMs = 2;

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.Ok());
        qputenv("COM1", peer.SlavePath().toLocal8Bit());
        CurrentProfile = ProfileRecord{};
        InitPacketHeads();
    }
    void TearDown() override { qunsetenv("COM1"); }

    PtyPeer peer;
    Comm comm;
};

struct ReplyCase {
    const char* name;
    QByteArray reply;
    const char* text;
};

class ReplyMessageTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyMessageTest, Text)
{
    EXPECT_EQ(ReplyMessage(GetParam().reply), QString::fromLatin1(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyMessageTest,
    ::testing::Values(ReplyCase{"chip_erase_failed", "!", "Chip Erase Failed : (21 !)"},
                      ReplyCase{"acknowledge", "*", "Acknowledge Received : (2A *)"},
                      ReplyCase{"checksum_error", "?", "Checksum Error : (3F ?)"},
                      ReplyCase{"program_failure", "#", "Chip Program Failure : (23 #)"},
                      ReplyCase{"read_failure", "$", "Chip Read Failure : (24 $)"},
                      ReplyCase{"whole_reply_shown", "?x", "Checksum Error : (3F ?x)"},
                      ReplyCase{"unknown_letter", "A", "Communication Error 41 (A)"},
                      ReplyCase{"code_below_10h", "\x05", "Communication Error 5 (\x05)"},
                      ReplyCase{"identification_byte", "\xD5", "Communication Error D5 (\xD5)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialLinkTest, PacketsCarryTheirChecksum)
{
    ASSERT_TRUE(comm.SetPortOpen(true)) << comm.LastError().toStdString();
    ASSERT_TRUE(SendPacket(comm, ReloadCommand));
    ASSERT_TRUE(SendPacket(comm, EraseHeader + QByteArray("\x00\x07", 2)));
    FakeLinkHost host;
    const QByteArray expected("\x53\x52\x01\xFE" "\x53\x45\x03\x00\x07\xF5", 10);
    QByteArray got;
    while (got.size() < expected.size()) {  // the port sends from the event loop
        QCoreApplication::processEvents();
        got += peer.Read(expected.size() - got.size(), 50);
    }
    EXPECT_EQ(got.toHex(' '), expected.toHex(' '));
}

TEST_F(SerialLinkTest, ClosedPortRefusesEveryWrite)
{
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_FALSE(SendPacket(comm, ReloadCommand));
    EXPECT_FALSE(comm.Output(QByteArray(1, '\0')));
    FakeLinkHost host(kFastTickMs);
    EXPECT_FALSE(SendFile(comm, host, QStringLiteral("/nonexistent/PreLoad.bin")));
    ASSERT_EQ(host.boxes.size(), 1);
    EXPECT_TRUE(host.boxes[0].text.contains(QStringLiteral("/nonexistent/PreLoad.bin")));
}

TEST_F(SerialLinkTest, AcknowledgeWithTrailingBytesLeavesNothingBehind)
{
    ASSERT_TRUE(comm.SetPortOpen(true));
    FakeLinkHost host(kFastTickMs);
    peer.Write("*extra");
    EXPECT_TRUE(WaitForAck(comm, host, 1000));
    EXPECT_TRUE(host.boxes.isEmpty());
    EXPECT_EQ(comm.InBufferCount(), 0);
    EXPECT_EQ(WaitTicks, 0);
}

TEST_F(SerialLinkTest, ReplyCodeShowsItsBoxAndFails)
{
    ASSERT_TRUE(comm.SetPortOpen(true));
    FakeLinkHost host(kFastTickMs);
    peer.Write("!");
    EXPECT_FALSE(WaitForAck(comm, host, 1000));
    ASSERT_EQ(host.boxes.size(), 1);
    EXPECT_EQ(host.boxes[0].text, QStringLiteral("Chip Erase Failed : (21 !)"));
    EXPECT_EQ(host.boxes[0].icon, MessageIcon::Exclamation);
}

TEST_F(SerialLinkTest, SilenceEndsAfterItsTicksWithoutAMessage)
{
    ASSERT_TRUE(comm.SetPortOpen(true));
    for (int ticks : {2, 10, 100}) {
        FakeLinkHost host(kFastTickMs);
        EXPECT_FALSE(WaitForAck(comm, host, ticks));
        EXPECT_EQ(host.ticksInWaits, ticks);
        EXPECT_TRUE(host.boxes.isEmpty());
        EXPECT_EQ(WaitTicks, 0);
        EXPECT_LT(host.doEvents, 20L * ticks) << "the wait blocks between events";
    }
}

TEST_F(SerialLinkTest, TimeOutAfterALongBurstCountsFromWhenItHasCrossedTheLine)
{
    comm.Settings = QStringLiteral("1200,N,8,1");   // 120 characters a second
    ASSERT_TRUE(comm.SetPortOpen(true)) << comm.LastError().toStdString();
    FakeLinkHost host(kFastTickMs);
    ASSERT_TRUE(comm.Output(QByteArray(600, 'x')));  // five seconds of line time: 50 ticks
    EXPECT_FALSE(WaitForAck(comm, host, 5));
    EXPECT_GE(host.ticksInWaits, 5 + 48);
    EXPECT_LE(host.ticksInWaits, 5 + 50);
}

TEST_F(SerialLinkTest, FarEndGoingAwayClosesThePortAndEndsTheWait)
{
    ASSERT_TRUE(comm.SetPortOpen(true));
    FakeLinkHost host(kFastTickMs);
    QTimer::singleShot(20, [this] { peer.Close(); });
    EXPECT_FALSE(WaitForAck(comm, host, 100000));
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_FALSE(comm.LastError().isEmpty());
    EXPECT_FALSE(comm.Output("x"));
    QCoreApplication::processEvents();
    EXPECT_FALSE(comm.PortOpen());
}

TEST_F(SerialLinkTest, TimerTickNeverGoesBelowZero)
{
    WaitTicks = 1;
    Timer1Tick();
    EXPECT_EQ(WaitTicks, 0);
    Timer1Tick();
    EXPECT_EQ(WaitTicks, 0);
}

TEST_F(SerialLinkTest, NullDiscardDropsReceivedZeroBytes)
{
    comm.NullDiscard = true;
    ASSERT_TRUE(comm.SetPortOpen(true));
    FakeLinkHost host(kFastTickMs);
    peer.Write(QByteArray("\0*\0", 3));
    ASSERT_TRUE(WaitForReply(comm, host, 1000));
    EXPECT_EQ(comm.Input(), QByteArray("*"));
}

struct SettingsCase {
    const char* name;
    const char* settings;
    bool opens;
};

class CommSettingsTest : public SerialLinkTest, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(CommSettingsTest, ReadsOrRefusesTheSettingsText)
{
    const QString settings = QString::fromLatin1(GetParam().settings);
    QString why;
    EXPECT_EQ(Comm::ValidSettings(settings, &why), GetParam().opens);
    EXPECT_EQ(why.isEmpty(), GetParam().opens);
    if (!GetParam().opens) {  // refused before the device is touched, like a failure to open
        comm.Settings = settings;
        EXPECT_FALSE(comm.SetPortOpen(true));
        EXPECT_FALSE(comm.PortOpen());
        EXPECT_TRUE(comm.LastError().contains(why));
    }
}

TEST_F(SerialLinkTest, OpensWithTheSettingsAPseudoTerminalTakes)
{
    // A pseudo-terminal keeps 8 data bits and no parity whatever it is told.
    for (const char* settings : {"38400,N,8,1", "115200,n,8,2", " 9600 , N , 8 , 1 "}) {
        comm.Settings = QString::fromLatin1(settings);
        EXPECT_TRUE(comm.SetPortOpen(true)) << settings << comm.LastError().toStdString();
        EXPECT_TRUE(comm.LastError().isEmpty());
        comm.SetPortOpen(false);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommSettingsTest,
    ::testing::Values(SettingsCase{"default", "38400,N,8,1", true},
                      SettingsCase{"even_lower_case_two_stop", "9600,e,7,2", true},
                      SettingsCase{"odd_blanks", " 115200 , O , 8 , 1 ", true},
                      SettingsCase{"mark_five_bits", "1200,m,5,1", true},
                      SettingsCase{"space", "19200,S,6,1", true},
                      SettingsCase{"one_and_a_half_stop", "4800,N,8,1.5", true},
                      SettingsCase{"bad_parity", "38400,X,8,1", false},
                      SettingsCase{"nine_data_bits", "38400,N,9,1", false},
                      SettingsCase{"three_stop_bits", "38400,N,8,3", false},
                      SettingsCase{"baud_not_a_number", "fast,N,8,1", false},
                      SettingsCase{"baud_zero", "0,N,8,1", false},
                      SettingsCase{"negative_baud", "-9600,N,8,1", false},
                      SettingsCase{"three_parts", "38400,N,8", false},
                      SettingsCase{"five_parts", "38400,N,8,1,1", false},
                      SettingsCase{"empty", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialLinkTest, OpenCommPortReportsAPortThatDoesNotOpen)
{
    struct Case {
        const char* name;
        int16_t port;
        const char* settings;
    };
    qputenv("COM7", "/nonexistent/tty");
    for (const Case& c : {Case{"missing_device", 7, "38400,N,8,1"},
                          Case{"port_zero", 0, "38400,N,8,1"},
                          Case{"bad_settings", 1, "38400;N;8;1"}}) {
        SCOPED_TRACE(c.name);
        FakeLinkHost host(kFastTickMs);
        CurrentProfile.COMPort = c.port;
        CurrentProfile.COMSettings = QString::fromLatin1(c.settings);
        OpenCommPort(comm, host);
        EXPECT_FALSE(comm.PortOpen());
        ASSERT_EQ(host.boxes.size(), 1);
        EXPECT_EQ(host.boxes[0].text,
                  QStringLiteral("Comm port error.\rPlease choose another COMM Port\r"
                                 "in the Profile..., Properties menu"));
        EXPECT_EQ(host.boxes[0].icon, MessageIcon::Exclamation);
    }
    EXPECT_TRUE(comm.LastError().contains(QStringLiteral("38400;N;8;1")));
    qunsetenv("COM7");
}

TEST_F(SerialLinkTest, OpenCommPortReopensWithTheProfileSettings)
{
    FakeLinkHost host(kFastTickMs);
    CurrentProfile.COMInBufferSize = 40000;   // above what the port takes: clamped
    OpenCommPort(comm, host);
    ASSERT_TRUE(comm.PortOpen()) << comm.LastError().toStdString();
    EXPECT_EQ(comm.InBufferSize, 32767);
    CurrentProfile.COMSettings = QStringLiteral("9600,N,8,2");
    CurrentProfile.COMInBufferSize = 1024;
    OpenCommPort(comm, host);
    EXPECT_TRUE(comm.PortOpen());
    EXPECT_EQ(comm.Settings, QStringLiteral("9600,N,8,2"));
    EXPECT_EQ(comm.InBufferSize, 1024);
    EXPECT_TRUE(host.boxes.isEmpty());
    CloseCommPort(comm);
    EXPECT_FALSE(comm.PortOpen());
    CloseCommPort(comm);
}

}  // namespace
