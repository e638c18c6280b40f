// The driver against a pseudo-terminal peer.
#include "port.h"
#include "pty_peer.h"

#include <QDeadlineTimer>
#include <QSerialPort>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <termios.h>

namespace {

constexpr int kPeerTimeoutMs = 5000;  // generous: only ever waited out when a test fails

class PortTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.ok());
        InitPort();
        portState.portNumber = 1;
        portState.baudRate = 19200;
        qputenv("COM1", peer.slavePath().toLocal8Bit());
    }
    void TearDown() override
    {
        ClosePort();
        qunsetenv("COM1");
    }

    // Waits until the driver has at least count bytes waiting.
    static bool WaitForWaiting(qint64 count)
    {
        QDeadlineTimer deadline(kPeerTimeoutMs);
        while (portState.handle && portState.handle->isOpen() &&
               portState.handle->bytesAvailable() < count && !deadline.hasExpired())
            WaitForPortData(int(deadline.remainingTime()));
        return portState.handle && portState.handle->bytesAvailable() >= count;
    }

    PtyPeer peer;
};

QByteArray Pattern(int size)
{
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char(i));
    return bytes;
}

TEST(PortWithoutDevice, EveryCallIsHarmless)
{
    InitPort();
    std::array<unsigned char, 8> buffer;
    buffer.fill(0xA5);
    const unsigned char out[] = {0x00, 0x55};
    EXPECT_EQ(ReadPort(buffer.data(), unsigned(buffer.size())), 0u);
    EXPECT_EQ(WritePort(out, 2), 1);
    EXPECT_FALSE(WaitForPortData(60000));  // at once: there is no port to wait on
    ClosePort();
    for (unsigned char b : buffer)
        EXPECT_EQ(b, 0xA5);
}

TEST(PortNames, NumberMapsToEnvironmentOrTtyS)
{
    qunsetenv("COM4");
    qputenv("COM7", "/tmp/some-adapter");
    EXPECT_EQ(PortName(4), QStringLiteral("COM4"));
    EXPECT_EQ(PortDevicePath(4), QStringLiteral("/dev/ttyS3"));
    EXPECT_EQ(PortDevicePath(1), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(PortDevicePath(7), QStringLiteral("/tmp/some-adapter"));
    qunsetenv("COM7");
}

TEST(PortNames, StoredNumberKeepsLowEightBits)
{
    InitPort();
    portState.portNumber = static_cast<uint8_t>(257);
    EXPECT_EQ(PortName(portState.portNumber), QStringLiteral("COM1"));
}

TEST_F(PortTest, OpenAppliesLineSettings)
{
    // Left behind by an earlier user of the device: flow control of both kinds, 7E2.
    termios before{};
    ASSERT_EQ(tcgetattr(peer.slaveFd(), &before), 0);
    before.c_iflag |= IXON | IXOFF | IXANY;
    before.c_cflag = (before.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    ASSERT_EQ(tcsetattr(peer.slaveFd(), TCSANOW, &before), 0);

    ASSERT_NE(OpenPort(), 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(peer.slaveFd(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(tio.c_cflag & PARENB, 0u);
    EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B19200));
    EXPECT_EQ(SlaveBaudRate(peer.slaveFd()), 19200u);
}

class PortBaudTest : public PortTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(PortBaudTest, EverySettingsBaudRateReachesTheLine)
{
    portState.baudRate = GetParam();
    ASSERT_NE(OpenPort(), 0);
    EXPECT_EQ(SlaveBaudRate(peer.slaveFd()), GetParam());
}

INSTANTIATE_TEST_SUITE_P(SettingsRates, PortBaudTest,
                         ::testing::Values(9600u, 14400u, 38400u, 57600u),
                         [](const auto& info) { return "baud" + std::to_string(info.param); });

TEST_F(PortTest, ReadGivesAtMostMaxCountInOrder)
{
    ASSERT_NE(OpenPort(), 0);
    const QByteArray sent = Pattern(200);
    peer.send(sent);
    ASSERT_TRUE(WaitForWaiting(200));

    std::array<unsigned char, 100> buffer{};
    ASSERT_EQ(ReadPort(buffer.data(), 80), 80u);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer.data()), 80), sent.mid(0, 80));
    ASSERT_EQ(ReadPort(buffer.data(), 80), 80u);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer.data()), 80), sent.mid(80, 80));
    ASSERT_EQ(ReadPort(buffer.data(), 80), 40u);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer.data()), 40), sent.mid(160, 40));
    // The bytes beyond the count keep what the previous read left there.
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buffer.data()) + 40, 40), sent.mid(120, 40));
}

TEST_F(PortTest, NothingWaitingLeavesBufferUntouched)
{
    ASSERT_NE(OpenPort(), 0);
    std::array<unsigned char, 80> buffer;
    buffer.fill(0x5A);
    EXPECT_EQ(ReadPort(buffer.data(), 80), 0u);
    for (unsigned char b : buffer)
        EXPECT_EQ(b, 0x5A);
}

TEST_F(PortTest, EveryByteValuePassesBothWays)
{
    ASSERT_NE(OpenPort(), 0);
    // XON, XOFF, zero and FFh first, then all the others.
    QByteArray bytes = QByteArray::fromHex("001113ff");
    bytes += Pattern(256);

    // Driver to device, one call per byte as the upload writes.
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        ASSERT_EQ(WritePort(&b, 1), 1);
    }
    EXPECT_EQ(peer.receive(int(bytes.size()), kPeerTimeoutMs), bytes);

    // Device to driver.
    peer.send(bytes);
    QByteArray got;
    std::array<unsigned char, 80> buffer{};
    QDeadlineTimer deadline(kPeerTimeoutMs);
    while (got.size() < bytes.size() && !deadline.hasExpired()) {
        WaitForPortData(int(deadline.remainingTime()));
        const unsigned n = ReadPort(buffer.data(), 80);
        got.append(reinterpret_cast<const char*>(buffer.data()), n);
    }
    EXPECT_EQ(got, bytes);
}

TEST_F(PortTest, OpenDiscardsWhatWasWaiting)
{
    peer.send("stale");
    ASSERT_NE(OpenPort(), 0);
    std::array<unsigned char, 16> buffer{};
    EXPECT_FALSE(WaitForPortData(50));
    EXPECT_EQ(ReadPort(buffer.data(), 16), 0u);
}

TEST_F(PortTest, PortInUseFailsQuietly)
{
    QSerialPort other;
    other.setPortName(peer.slavePath());
    ASSERT_TRUE(other.open(QIODevice::ReadWrite));

    EXPECT_EQ(OpenPort(), 0);
    EXPECT_EQ(portState.handle, nullptr);
    std::array<unsigned char, 4> buffer{};
    const unsigned char zero = 0;
    EXPECT_EQ(ReadPort(buffer.data(), 4), 0u);
    EXPECT_EQ(WritePort(&zero, 1), 1);
}

TEST_F(PortTest, SecondOpenOfHeldDeviceFails)
{
    ASSERT_NE(OpenPort(), 0);
    QSerialPort other;
    other.setPortName(peer.slavePath());
    EXPECT_FALSE(other.open(QIODevice::ReadWrite));
}

TEST_F(PortTest, CloseRequestsDtrLowAndReleasesDevice)
{
    ASSERT_NE(OpenPort(), 0);
    // A pseudo-terminal has no DTR line: the request then ends as "not supported".
    bool dtrDropped = false;
    bool dtrRefused = false;
    QObject::connect(portState.handle.get(), &QSerialPort::dataTerminalReadyChanged,
                     [&](bool set) { dtrDropped = dtrDropped || !set; });
    QObject::connect(portState.handle.get(), &QSerialPort::errorOccurred,
                     [&](QSerialPort::SerialPortError e) {
                         dtrRefused = dtrRefused || e == QSerialPort::UnsupportedOperationError;
                     });
    ClosePort();
    EXPECT_TRUE(dtrDropped || dtrRefused);
    EXPECT_EQ(portState.handle, nullptr);

    QSerialPort other;
    other.setPortName(peer.slavePath());
    EXPECT_TRUE(other.open(QIODevice::ReadWrite));
}

TEST_F(PortTest, HungUpPeerClosesThePort)
{
    ASSERT_NE(OpenPort(), 0);
    peer.closeMaster();
    std::array<unsigned char, 8> buffer;
    buffer.fill(0x33);
    EXPECT_FALSE(WaitForPortData(kPeerTimeoutMs));
    EXPECT_EQ(ReadPort(buffer.data(), 8), 0u);
    EXPECT_FALSE(portState.handle && portState.handle->isOpen());
    const unsigned char zero = 0;
    EXPECT_EQ(WritePort(&zero, 1), 1);
    EXPECT_FALSE(WaitForPortData(kPeerTimeoutMs));  // at once now
    for (unsigned char b : buffer)
        EXPECT_EQ(b, 0x33);
}

}  // namespace
