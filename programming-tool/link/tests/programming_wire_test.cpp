// Flash erase and application programming against the simulated controller.

#include "wire_support.h"

#include <QProcess>
#include <gtest/gtest.h>

using namespace wire;

namespace {

constexpr int kFastTickMs = 2;

QByteArray ErasePacket(int bank)
{
    return QByteArray("\x53\x45\x03\x00", 4) + char(bank) + char(0xFC - bank) + '\x0A';
}

QByteArray FlashOf(Rig& rig, targetsim::Memory m, uint32_t address, int length)
{
    const auto v = rig.sim->Read(m, address, static_cast<uint32_t>(length));
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

// Boots the target with the loader of `memory` and erases it; the wire is cleared afterwards.
void Prepare(Rig& rig, int memory)
{
    ASSERT_TRUE(rig.started && rig.Open());
    ASSERT_TRUE(rig.Boot(memory));
    ASSERT_TRUE(EraseBanks(rig.comm, rig.host, memory));
    rig.Wire();
    rig.sim->ClearReceived();
    rig.host.boxes.clear();
    rig.host.events.clear();
    for (QStringList& h : rig.host.history)
        h.clear();
}

struct EraseCase {
    const char* name;
    int memory;
    int banks;
    const char* prefix;
};

class EraseTest : public ::testing::TestWithParam<EraseCase> {};

TEST_P(EraseTest, OnePacketPerBankEachFollowedByLineFeed)
{
    const EraseCase& c = GetParam();
    Rig rig;
    ASSERT_TRUE(rig.started && rig.Open());
    ASSERT_TRUE(rig.Boot(c.memory));
    const QString before = rig.host.StatusText(1);
    rig.Wire();
    rig.sim->ClearReceived();
    EXPECT_TRUE(EraseBanks(rig.comm, rig.host, c.memory));
    QByteArray expected;
    for (int bank = 0; bank < c.banks; ++bank)
        expected += ErasePacket(bank);
    EXPECT_EQ(rig.Wire(), expected);
    if (c.banks == 0) {
        EXPECT_EQ(rig.host.StatusText(1), before + QStringLiteral(", Done"));
    } else {
        const QString last = QString::fromLatin1(c.prefix) + QString::number(c.banks - 1) + QStringLiteral(" ...");
        EXPECT_EQ(rig.host.StatusText(1), last + QStringLiteral(", Done"));
        EXPECT_EQ(static_cast<int>(rig.sim->GetStats().erasedBanks.size()), c.banks);
    }
    EXPECT_TRUE(rig.host.boxes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, EraseTest,
                         ::testing::Values(EraseCase{"cpu_flash", 1, 4, "CPU: Erasing Bank "},
                                           EraseCase{"external_flash", 2, 8, "AMD29F0x0: Erasing Bank "},
                                           EraseCase{"data_flash", 3, 0, ""},
                                           EraseCase{"ds1994", 4, 0, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(EraseWire, FailureAtBank2StopsThere)
{
    targetsim::Options o;
    o.faultReply = targetsim::FaultReply{3, '!'};
    Rig rig(o);
    ASSERT_TRUE(rig.started && rig.Open());
    ASSERT_TRUE(rig.Boot(1));
    rig.Wire();
    rig.sim->ClearReceived();
    EXPECT_FALSE(EraseBanks(rig.comm, rig.host, 1));
    EXPECT_EQ(rig.Wire(), ErasePacket(0) + ErasePacket(1) + ErasePacket(2));
    EXPECT_EQ(rig.host.BoxTexts(), QStringList(QStringLiteral("Chip Erase Failed : (21 !)")));
    EXPECT_EQ(rig.host.notResponding, 1);
    EXPECT_EQ(rig.host.StatusText(1), QStringLiteral("CPU: Erasing Bank 2 ..., Error"));
}

TEST(EraseWire, SilenceAfterAnEraseCountsItsHundredTicks)
{
    targetsim::Options o;
    o.bankEraseMs = 3600 * 1000;         // the erase never ends while the test runs
    Rig rig(o);
    ASSERT_TRUE(rig.started && rig.Open());
    ASSERT_TRUE(rig.Boot(1));
    rig.host.SetTickMs(kFastTickMs);
    rig.host.ticksInWaits = 0;
    EXPECT_FALSE(EraseBanks(rig.comm, rig.host, 1));
    EXPECT_EQ(rig.host.ticksInWaits, 100);
    EXPECT_EQ(rig.host.notResponding, 1);
    EXPECT_TRUE(rig.host.boxes.isEmpty());
    EXPECT_EQ(rig.host.StatusText(1), QStringLiteral("CPU: Erasing Bank 0 ..., Error"));
}

TEST(ProgramWire, BinaryImageGoesOutAsType3RecordsFromTheOffset)
{
    struct Case {
        const char* name;
        int size;
        const char* offset;
        uint32_t address;
        QStringList progress;
        const char* text = nullptr;  // the image's bytes, when not a pattern
    };
    for (const Case& c : {Case{"100_bytes_at_0", 100, "00000000", 0, {"64%", "100%"}},
                          Case{"128_bytes_at_10000", 128, "10000", 0x10000, {"50%", "100%"}},
                          Case{"empty_offset_is_0", 64, "", 0, {"100%"}},
                          Case{"s_record_text_failing_the_test_is_data", 13, "200", 0x200, {"100%"},
                               "S1040000F10B\n"}}) {
        SCOPED_TRACE(c.name);
        Rig rig;
        Prepare(rig, 1);
        const QByteArray image = c.text ? QByteArray(c.text) : Pattern(c.size, 7);
        ASSERT_EQ(image.size(), c.size);
        CurrentProfile.C167ApplFile = rig.Path("Appl.bin");
        CurrentProfile.C167ApplFileOffset = QString::fromLatin1(c.offset);
        WriteFile(CurrentProfile.C167ApplFile, image);
        EXPECT_TRUE(SendApplication(rig.comm, rig.host, 1));
        QByteArray expected;
        for (int at = 0; at < c.size; at += 64) {
            const QByteArray piece = image.mid(at, 64);
            expected += Binary(SRec('3', c.address + at, piece));
        }
        const QByteArray wire = rig.Wire();
        EXPECT_EQ(wire, expected);
        if (c.size == 100) {
            EXPECT_EQ(wire.left(7), QByteArray("S3\x45\x00\x00\x00\x00", 7));
            EXPECT_EQ(wire.mid(72, 7), QByteArray("S3\x29\x00\x00\x00\x40", 7));
        }
        EXPECT_EQ(rig.host.history[2], c.progress);
        EXPECT_EQ(rig.host.history[0], QStringList({QStringLiteral("CPU: Sending ") + CurrentProfile.C167ApplFile,
                                                    QStringLiteral("CPU: Sending ") + CurrentProfile.C167ApplFile
                                                        + QStringLiteral(", Done")}));
        EXPECT_EQ(FlashOf(rig, targetsim::Memory::CpuFlash, c.address, c.size), image);
    }
}

// Converts a binary image with srec_cat, an independent S-record writer.
QByteArray SrecCat(const QString& binary, uint32_t offset, int addressLength)
{
    QProcess p;
    p.start(QStringLiteral("srec_cat"),
            {binary, QStringLiteral("-binary"), QStringLiteral("-offset"),
             QStringLiteral("0x%1").arg(offset, 0, 16), QStringLiteral("-o"), QStringLiteral("-"),
             QStringLiteral("-motorola"), QStringLiteral("-address-length=%1").arg(addressLength),
             QStringLiteral("-obs=32"), QStringLiteral("-header=TEST"),
             QStringLiteral("-execution-start-address=0x%1").arg(offset, 0, 16)});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

struct SRecordCase {
    const char* name;
    int memory;
    targetsim::Memory simMemory;
    int addressLength;      // 2, 3, 4: S1, S2, S3 records
    uint32_t offset;
    const char* lineEnd;
};

class SRecordFileTest : public ::testing::TestWithParam<SRecordCase> {};

TEST_P(SRecordFileTest, FlashHoldsTheFileAndEveryLineWentOutInBinary)
{
    const SRecordCase& c = GetParam();
    Rig rig;
    Prepare(rig, c.memory);
    const QByteArray image = Pattern(3000, c.memory);
    const QString binary = rig.Path("image.bin");
    WriteFile(binary, image);
    QByteArray text = SrecCat(binary, c.offset, c.addressLength);
    ASSERT_FALSE(text.isEmpty());
    text.replace("\r\n", "\n");
    const QList<QByteArray> lines = text.trimmed().split('\n');
    ASSERT_TRUE(lines.first().startsWith("S0"));
    ASSERT_TRUE(lines[1].startsWith(QByteArray("S") + char('0' + c.addressLength - 1)));
    text.replace("\n", c.lineEnd);
    const QString file = rig.Path("Appl.sre");
    WriteFile(file, text);
    const QString* fields[] = {&CurrentProfile.C167ApplFile, &CurrentProfile.AMD29F0x0ApplFile,
                               &CurrentProfile.AT45D0x1ApplFile, &CurrentProfile.DS1994ApplFile};
    const_cast<QString&>(*fields[c.memory - 1]) = file;
    CurrentProfile.C167ApplFileOffset = QStringLiteral("00123400");   // ignored for S-records

    EXPECT_TRUE(SendApplication(rig.comm, rig.host, c.memory));
    QByteArray expected;
    for (const QByteArray& line : lines)
        expected += Binary(line);
    EXPECT_EQ(rig.Wire(), expected);
    EXPECT_EQ(FlashOf(rig, c.simMemory, c.offset, image.size()), image);
    EXPECT_EQ(rig.host.history[2].size(), lines.size());
    EXPECT_EQ(rig.host.history[2].last(), QStringLiteral("100%"));
    for (const QString& p : rig.host.history[2])
        EXPECT_LE(p.chopped(1).toInt(), 100) << p.toStdString();
    EXPECT_TRUE(rig.host.StatusText(1).endsWith(QStringLiteral(", Done")));
    EXPECT_TRUE(rig.host.boxes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SRecordFileTest,
    ::testing::Values(
        SRecordCase{"s1_cpu_flash_crlf", 1, targetsim::Memory::CpuFlash, 2, 0x1000, "\r\n"},
        SRecordCase{"s2_cpu_flash_lf", 1, targetsim::Memory::CpuFlash, 3, 0x10000, "\n"},
        SRecordCase{"s3_external_flash_lf", 2, targetsim::Memory::AMD29F0x0, 4, 0x70000, "\n"},
        SRecordCase{"s2_data_flash_crlf", 3, targetsim::Memory::AT45D0x1, 3, 0x20000, "\r\n"},
        SRecordCase{"s1_ds1994_cr", 4, targetsim::Memory::DS1994, 2, 0x0100, "\r"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramWire, PercentageRoundsHalvesToEvenAndEndsAtExactly100)
{
    struct Case {
        const char* name;
        const char* lastLineEnd;
        QStringList progress;
    };
    // 13 bytes of 40 are 32.5%, shown as 32%; without the last line end, 13 of 39.
    for (const Case& c : {Case{"last_line_ended", "\n", {"32%", "100%"}},
                          Case{"last_line_without_line_end", "", {"33%", "100%"}}}) {
        SCOPED_TRACE(c.name);
        Rig rig;
        Prepare(rig, 1);
        const QByteArray second = SRec('1', 0x0010, Pattern(8, 1));
        ASSERT_EQ(second.size(), 26);
        WriteFile(CurrentProfile.C167ApplFile, "S1040000F10A\n" + second + c.lastLineEnd);
        EXPECT_TRUE(SendApplication(rig.comm, rig.host, 1));
        EXPECT_EQ(rig.host.history[2], c.progress);
    }
}

struct BadLineCase {
    const char* name;
    QByteArray line;
    const char* what;
};

class BadApplicationLineTest : public ::testing::TestWithParam<BadLineCase> {};

TEST_P(BadApplicationLineTest, RefusedBeforeAnyOfItsBytesAreSent)
{
    Rig rig;
    Prepare(rig, 1);
    const QByteArray good1 = SRec('1', 0x0000, Pattern(16, 1));
    const QByteArray good2 = SRec('1', 0x0010, Pattern(16, 2));
    const QByteArray good3 = SRec('1', 0x0020, Pattern(16, 3));
    WriteFile(CurrentProfile.C167ApplFile,
              good1 + "\r\n" + good2 + "\r\n" + GetParam().line + "\r\n" + good3 + "\r\n");
    EXPECT_FALSE(SendApplication(rig.comm, rig.host, 1));
    EXPECT_EQ(rig.Wire(), Binary(good1) + Binary(good2));
    EXPECT_EQ(rig.host.BoxTexts(),
              QStringList(QStringLiteral("Line 3 of the file '%1' cannot be used:\n%2.")
                              .arg(CurrentProfile.C167ApplFile, QString::fromLatin1(GetParam().what))));
    EXPECT_EQ(rig.host.notResponding, 0);
    EXPECT_EQ(rig.host.StatusText(1),
              QStringLiteral("CPU: Sending ") + CurrentProfile.C167ApplFile + QStringLiteral(", Error"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadApplicationLineTest,
    ::testing::Values(
        BadLineCase{"not_beginning_with_s", ":0300300002337A1E", "the line does not begin with \"S\""},
        BadLineCase{"blank_before_the_s", " S1030000FC", "the line does not begin with \"S\""},
        BadLineCase{"not_hex", "S1030000FG", "the characters after the record type are not pairs of hex digits"},
        BadLineCase{"odd_number_of_digits", "S1030000FC0", "the characters after the record type are not pairs of hex digits"},
        BadLineCase{"trailing_blank", "S1030000FC ", "the characters after the record type are not pairs of hex digits"},
        BadLineCase{"no_type", "S", "the record has no type"},
        BadLineCase{"far_too_long", "S1" + QByteArray(5000, '0'), "the line is too long"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgramWire, BlankLinesAreSkippedAndATrailingOneEndsAtExactly100)
{
    Rig rig;
    Prepare(rig, 1);
    const QByteArray a = SRec('1', 0x0000, Pattern(16, 1));
    const QByteArray b = SRec('1', 0x0010, Pattern(16, 2));
    WriteFile(CurrentProfile.C167ApplFile, a + "\n\n" + b + "\n\n");
    EXPECT_TRUE(SendApplication(rig.comm, rig.host, 1));
    EXPECT_EQ(rig.Wire(), Binary(a) + Binary(b));
    EXPECT_EQ(rig.host.history[2].last(), QStringLiteral("100%"));
    EXPECT_TRUE(rig.host.boxes.isEmpty());
}

TEST(ProgramWire, RefusedFilesAndOffsetsSendNothing)
{
    struct Case {
        const char* name;
        bool create;
        QByteArray content;
        const char* offset;
        bool ok;
        const char* box;    // start of the box text; %1 the file name
    };
    for (const Case& c : {Case{"missing_file", false, "", "0", false, "The file '%1' cannot be opened."},
                          Case{"offset_above_7fffffff", true, "\x01\x02", "80000000", false,
                               "The offset '80000000' is not a hex address from 0 to 7FFFFFFF."},
                          Case{"offset_not_hex", true, "\x01\x02", "12G4", false,
                               "The offset '12G4' is not a hex address from 0 to 7FFFFFFF."},
                          Case{"empty_image", true, "", "0", true, ""}}) {
        SCOPED_TRACE(c.name);
        Rig rig;
        Prepare(rig, 1);
        CurrentProfile.C167ApplFile = rig.Path("image.bin");
        CurrentProfile.C167ApplFileOffset = QString::fromLatin1(c.offset);
        if (c.create)
            WriteFile(CurrentProfile.C167ApplFile, c.content);
        EXPECT_EQ(SendApplication(rig.comm, rig.host, 1), c.ok);
        EXPECT_EQ(rig.Wire(), QByteArray());
        EXPECT_EQ(rig.host.notResponding, 0);
        EXPECT_TRUE(rig.host.StatusText(1).endsWith(c.ok ? QStringLiteral(", Done") : QStringLiteral(", Error")));
        if (c.ok) {
            EXPECT_TRUE(rig.host.boxes.isEmpty());
        } else {
            ASSERT_EQ(rig.host.boxes.size(), 1);
            QString box = QString::fromLatin1(c.box);
            if (box.contains(QStringLiteral("%1")))
                box = box.arg(CurrentProfile.C167ApplFile);
            EXPECT_TRUE(rig.host.boxes[0].text.startsWith(box))
                << rig.host.boxes[0].text.toStdString();
        }
    }
}

TEST(ProgramWire, ReplyCodeStopsAfterThatRecord)
{
    targetsim::Options o;
    o.faultReply = targetsim::FaultReply{4 + 2, '#'};   // four erase packets, then record 2
    Rig rig(o);
    Prepare(rig, 1);
    const QByteArray image = Pattern(256, 9);
    CurrentProfile.C167ApplFile = rig.Path("Appl.bin");
    WriteFile(CurrentProfile.C167ApplFile, image);
    EXPECT_FALSE(SendApplication(rig.comm, rig.host, 1));
    EXPECT_EQ(rig.Wire(), Binary(SRec('3', 0, image.left(64))) + Binary(SRec('3', 64, image.mid(64, 64))));
    EXPECT_EQ(rig.host.BoxTexts(), QStringList(QStringLiteral("Chip Program Failure : (23 #)")));
    EXPECT_EQ(rig.host.notResponding, 1);
    EXPECT_EQ(rig.host.history[2], QStringList({"25%", "50%"}));
    EXPECT_TRUE(rig.host.StatusText(1).endsWith(QStringLiteral(", Error")));
}

TEST(ProgramWire, PortLostOrClosedTakesTheNotRespondingPath)
{
    {
        SCOPED_TRACE("far end hangs up while programming");
        targetsim::Options o;
        o.hangUpAfterBytes = 1 + kPreLoaderLength + kPart1Size + kPart2Size + 4 * 7 + 500;
        Rig rig(o);
        Prepare(rig, 1);
        rig.host.SetTickMs(kFastTickMs);
        CurrentProfile.C167ApplFile = rig.Path("Appl.bin");
        WriteFile(CurrentProfile.C167ApplFile, Pattern(4096, 3));
        EXPECT_FALSE(SendApplication(rig.comm, rig.host, 1));
        EXPECT_EQ(rig.host.notResponding, 1);
        EXPECT_TRUE(rig.host.StatusText(1).endsWith(QStringLiteral(", Error")));
        EXPECT_FALSE(rig.comm.PortOpen());
    }
    {
        SCOPED_TRACE("port closed");
        Rig rig(targetsim::Options{}, kFastTickMs);
        WriteFile(CurrentProfile.C167ApplFile, SRec('1', 0, "ab") + "\n");
        EXPECT_FALSE(EraseBanks(rig.comm, rig.host, 1));
        EXPECT_FALSE(SendApplication(rig.comm, rig.host, 1));
        EXPECT_EQ(rig.host.notResponding, 2);
        EXPECT_TRUE(rig.host.boxes.isEmpty());
        EXPECT_EQ(rig.sim->Received().size(), 0u);
    }
}

}  // namespace
