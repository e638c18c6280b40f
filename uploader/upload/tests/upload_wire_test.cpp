// The upload against the simulated controller over a pseudo-terminal: the bytes that cross the
// line and the texts the operator is shown.
#include "hex_text.h"
#include "port.h"
#include "settings.h"
#include "test_host.h"
#include "upload.h"

#include "target_sim.h"
#include "temporary_base.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <optional>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kLevel1Length = 32;

class UploadWireTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(base.isValid());
        InitPort();
        portState.portNumber = 1;
        portState.baudRate = 19200;
        std::fill(std::begin(rxBuffer), std::end(rxBuffer), 0);
        ASSERT_TRUE(QDir(baseDirectory).mkpath(QStringLiteral("VR10")));
        WriteLoaders(1024);
    }

    void TearDown() override { ClosePort(); }

    void WriteLoaders(int level2Length)
    {
        ASSERT_TRUE(Write(QStringLiteral("VR10/LEVEL1.BIN"), Bytes(kLevel1Length, 0x4C)));
        Bytes level2(level2Length);
        for (int i = 0; i < level2Length; ++i)
            level2[i] = static_cast<uint8_t>(0x80 | (i & 0x7F));  // never a zero byte
        ASSERT_TRUE(Write(QStringLiteral("VR10/LEVEL2.BIN"), level2));
    }

    bool Write(const QString& name, const Bytes& data)
    {
        QFile f(base.path(name));
        return f.open(QIODevice::WriteOnly)
               && f.write(reinterpret_cast<const char*>(data.data()), data.size())
                      == static_cast<qint64>(data.size());
    }

    void UseHexFile(const std::string& text)
    {
        ASSERT_TRUE(Write(QStringLiteral("app.hex"), Bytes(text.begin(), text.end())));
        upload.hexFilePath = base.path(QStringLiteral("app.hex"));
    }

    // Starts the simulated controller on COM1.
    void StartSim(targetsim::Options options)
    {
        options.protocol = targetsim::Protocol::Uploader;
        options.level1Length = kLevel1Length;
        sim.emplace(options);
        ASSERT_TRUE(sim->Start());
        qputenv("COM1", QByteArray::fromStdString(sim->DevicePath()));
    }

    // Runs the steps up to and including the second stage.
    bool UpToLevel2()
    {
        return upload.PrepareUpload() && upload.IdentifyDevice() && upload.SendLevel1()
               && upload.SendLevel2();
    }

    bool EndedCleanly() const { return host.buttonsEnabled && !portState.handle; }

    TemporaryBase base;
    TestHost host;
    UploadProcedure upload{host};
    std::optional<targetsim::Controller> sim;
};

// Identification: any byte with bits 0 and 2 set counts; 0x31 does not, and after 50 s (fake
// clock) the message names it in decimal after three blanks.
struct IdentifyCase {
    const char* name;
    std::optional<uint8_t> wrongId;
    bool silent;
    int expected;
    const char* message;
    const char* languageFile = nullptr;  // US.ini, when given
};

class IdentifyTest : public UploadWireTest, public ::testing::WithParamInterface<IdentifyCase> {};

TEST_P(IdentifyTest, IdentifiesOrNamesTheByte)
{
    const IdentifyCase& c = GetParam();
    targetsim::Options options;
    options.silent = c.silent;
    options.wrongId = c.wrongId;
    StartSim(options);
    UseHexFile(":00000001FF\n");
    if (c.languageFile) {
        const std::string text = c.languageFile;
        ASSERT_TRUE(Write(QStringLiteral("US.ini"), Bytes(text.begin(), text.end())));
    }
    // The 50 s limit runs on the fake clock. A device that answers runs on the real one: the fake
    // clock jumps a second per dispatch, so a reply slowed by a busy machine would meet a second
    // zero byte.
    host.fakeClock = c.expected != 1;
    ASSERT_EQ(upload.PrepareUpload(), 1);
    EXPECT_EQ(host.statuses.value(0), QStringLiteral("Please bring the device into bootstrap mode."));
    EXPECT_FALSE(host.buttonsEnabled);

    EXPECT_EQ(upload.IdentifyDevice(), c.expected);
    const Bytes sent = sim->Received();
    ASSERT_FALSE(sent.empty());
    EXPECT_TRUE(std::all_of(sent.begin(), sent.end(), [](uint8_t b) { return b == 0; }));
    if (c.expected == 1) {
        EXPECT_TRUE(host.messages.isEmpty());
        EXPECT_EQ(sent.size(), 1u) << "one zero byte is answered at once";
    } else {
        EXPECT_EQ(host.messages, QStringList{QString::fromLatin1(c.message)});
        EXPECT_GE(host.fakeNow, 50000);
        EXPECT_TRUE(EndedCleanly());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, IdentifyTest,
    ::testing::Values(
        IdentifyCase{"c5_identifies", std::nullopt, false, 1, ""},
        IdentifyCase{"x31_refused", uint8_t{0x31}, false, 0,
                     "Received wrong answer, aborting download   49"},
        IdentifyCase{"silent_device", std::nullopt, true, 0,
                     "Received wrong answer, aborting download   0"},
        IdentifyCase{"percent_in_text_kept", uint8_t{0x31}, false, 0, "Antwort %1 falsch   49",
                     "[Errors]\nwronganswer=Antwort %1 falsch\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Second stage: zero bytes fill LEVEL2.BIN up to 1024 bytes; whatever comes back meanwhile is
// shown.
struct PaddingCase {
    const char* name;
    int level2Length;
    int answerAfter;  // -1: the simulator answers "2" after 1024 bytes
    QStringList messages;
};

class PaddingTest : public UploadWireTest, public ::testing::WithParamInterface<PaddingCase> {};

TEST_P(PaddingTest, PadsUpTo1024Bytes)
{
    const PaddingCase& c = GetParam();
    WriteLoaders(c.level2Length);
    targetsim::Options options;
    options.level2Length = std::max(c.level2Length, 1024);
    options.answerLevel2AfterBytes = c.answerAfter;
    StartSim(options);
    UseHexFile(":00000001FF\n");
    ASSERT_EQ(upload.PrepareUpload(), 1);
    ASSERT_EQ(upload.IdentifyDevice(), 1);
    ASSERT_EQ(upload.SendLevel1(), 1);
    sim->ClearReceived();
    if (c.answerAfter >= 0) {
        // A slow line: each turn of the padding gives the device's answer time to arrive.
        host.onNow = [] { WaitForPortData(TestHost::kRealSliceMs); };
    }

    EXPECT_EQ(upload.SendLevel2(), 1);
    const Bytes sent = sim->Received();
    ASSERT_GE(sent.size(), static_cast<size_t>(c.level2Length));
    const size_t padding = sent.size() - c.level2Length;
    EXPECT_LE(padding, static_cast<size_t>(std::max(0, 1024 - c.level2Length)));
    EXPECT_TRUE(std::all_of(sent.begin() + c.level2Length, sent.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(host.messages, c.messages);
    EXPECT_EQ(host.statuses.last(), QStringLiteral("Writing Level 2"));
}

INSTANTIATE_TEST_SUITE_P(
    Loaders, PaddingTest,
    ::testing::Values(PaddingCase{"size_1000_padded", 1000, -1, {}},
                      PaddingCase{"size_1024_not_padded", 1024, -1, {}},
                      PaddingCase{"size_1100_not_padded", 1100, -1, {}},
                      PaddingCase{"answer_during_padding_shown", 1000, 1001, {QStringLiteral("2")}}),
    [](const auto& info) { return std::string(info.param.name); });

// Records go out as their bytes without colon or line end; the last answer picks the message.
struct TransferCase {
    const char* name;
    std::string hex;
    std::optional<targetsim::FaultReply> fault;
    QString message;
    Bytes tail;  // the last bytes on the line
};

Bytes Record21()
{
    return {0x10, 0x01, 0x00, 0x00, 0x21, 0x46, 0x01, 0x36, 0x01, 0x21, 0x47,
            0x01, 0x36, 0x00, 0x7E, 0xFE, 0x09, 0xD2, 0x19, 0x01, 0x40};
}
Bytes EndRecord() { return {0x00, 0x00, 0x00, 0x01, 0xFF}; }
Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class TransferTest : public UploadWireTest, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(TransferTest, SendsRecordsAndShowsFinalResult)
{
    const TransferCase& c = GetParam();
    targetsim::Options options;
    if (c.fault)
        options.faultReply = c.fault;
    StartSim(options);
    UseHexFile(c.hex);
    ASSERT_TRUE(UpToLevel2());
    ASSERT_EQ(upload.WaitForErase(), 1);
    sim->ClearReceived();
    upload.SendHexFile();

    EXPECT_EQ(host.messages, QStringList{c.message});
    const Bytes sent = sim->Received();
    ASSERT_GE(sent.size(), c.tail.size());
    EXPECT_EQ(Bytes(sent.end() - c.tail.size(), sent.end()), c.tail);
    EXPECT_TRUE(EndedCleanly());
    EXPECT_EQ(host.statuses.last(), upload.hexFilePath);
}

const std::string kRecordLine = ":10010000214601360121470136007EFE09D2190140\r\n";
const std::string kEndLine = ":00000001FF\r\n";

INSTANTIATE_TEST_SUITE_P(
    Files, TransferTest,
    ::testing::Values(
        TransferCase{"record_as_21_bytes_then_end", kRecordLine + kEndLine, std::nullopt,
                     QStringLiteral("The hexfile was sent"), Concat(Record21(), EndRecord())},
        TransferCase{"lower_case_digits", ":10010000214601360121470136007efe09d2190140\n" + kEndLine,
                     std::nullopt, QStringLiteral("The hexfile was sent"),
                     Concat(Record21(), EndRecord())},
        TransferCase{"record_of_200_bytes_as_205", DataRecord(0x0200, Bytes(200, 0xA5)) + kEndLine,
                     std::nullopt, QStringLiteral("The hexfile was sent"),
                     Concat(Concat(Bytes{0xC8, 0x02, 0x00, 0x00}, Bytes(200, 0xA5)),
                            Concat(Bytes{ChecksumOf(DataRecord(0x0200, Bytes(200, 0xA5)))},
                                   EndRecord()))},
        TransferCase{"without_end_record_unknown", kRecordLine, std::nullopt,
                     QStringLiteral("!! Unknown download acknowledge character"), Record21()},
        TransferCase{"empty_file_unknown", "", std::nullopt,
                     QStringLiteral("!! Unknown download acknowledge character"), {}},
        TransferCase{"blank_line_ends_transfer", kRecordLine + "\r\n" + kEndLine, std::nullopt,
                     QStringLiteral("!! Unknown download acknowledge character"), Record21()},
        TransferCase{"checksum_answer_stops", kRecordLine + DataRecord(0x0300, Bytes(4, 0x77)) + kEndLine,
                     targetsim::FaultReply{1, 'C'}, QStringLiteral("Error: Invalid checksum"),
                     Record21()},
        TransferCase{"write_answer", kRecordLine + kEndLine, targetsim::FaultReply{1, 'W'},
                     QStringLiteral("Error: Flash not written"), Record21()},
        TransferCase{"other_answer_wrong", kRecordLine + kEndLine, targetsim::FaultReply{1, 'X'},
                     QStringLiteral("Received wrong answer, aborting download"), Record21()},
        TransferCase{"line_without_colon", kRecordLine + " :00000001FF\n", std::nullopt,
                     QStringLiteral("Error: Invalid Intel hex file"), Record21()},
        TransferCase{"bad_digit_refused_before_sending", kRecordLine + ":00000001FG\n",
                     std::nullopt, QStringLiteral("Error: Invalid Intel hex file"), Record21()},
        TransferCase{"odd_digits_refused", kRecordLine + ":00000001F\n", std::nullopt,
                     QStringLiteral("Error: Invalid Intel hex file"), Record21()},
        TransferCase{"overlong_line_refused", kRecordLine + ":" + std::string(1100, '0') + "\n",
                     std::nullopt, QStringLiteral("Error: Invalid Intel hex file"), Record21()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UploadWireTest, EraseNotReportedInTimeEndsWithFlashError)
{
    targetsim::Options options;
    options.eraseMs = 60000;
    StartSim(options);
    UseHexFile(kEndLine);
    ASSERT_TRUE(UpToLevel2());
    host.fakeClock = true;
    host.fakeNow = 1000000;
    EXPECT_EQ(upload.WaitForErase(), 0);
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("Error erasing Flash, aborting download")});
    EXPECT_EQ(host.statuses.last(), upload.hexFilePath);
    EXPECT_TRUE(EndedCleanly());
}

TEST_F(UploadWireTest, RecordUnansweredForTenSecondsIsWrongAnswer)
{
    targetsim::Options options;
    options.faultReply = targetsim::FaultReply{1, 0x00};  // a zero byte counts as no answer
    StartSim(options);
    UseHexFile(kRecordLine + kEndLine);
    ASSERT_TRUE(UpToLevel2());
    ASSERT_EQ(upload.WaitForErase(), 1);
    sim->ClearReceived();
    host.fakeClock = true;
    host.fakeNow = 1000000;
    EXPECT_EQ(upload.SendHexFile(), 0);
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("Received wrong answer, aborting download")});
    EXPECT_GE(host.fakeNow, 1000000 + 10000);
    EXPECT_EQ(sim->Received(), Record21());  // the end record never goes out
    EXPECT_TRUE(EndedCleanly());
}

// Cancel, noticed at the next dispatch of the step under way, ends the upload without a message.
struct CancelCase {
    const char* name;
    const char* status;  // Cancel is pressed while this status is shown
    bool silent;
    int eraseMs;
    int recordsTaken;  // records the device has taken when the upload ends
};

class CancelTest : public UploadWireTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(CancelTest, EndsWithoutMessage)
{
    const CancelCase& c = GetParam();
    targetsim::Options options;
    options.silent = c.silent;
    options.eraseMs = c.eraseMs;
    StartSim(options);
    UseHexFile(kRecordLine + kEndLine);
    host.onDispatch = [this, &c] {
        if (host.statuses.last() == QString::fromLatin1(c.status) && !upload.cancelRequested)
            upload.OnCancel();
    };
    upload.RunUpload();
    EXPECT_TRUE(host.messages.isEmpty()) << host.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(EndedCleanly());
    EXPECT_EQ(host.statuses.last(), upload.hexFilePath);
    EXPECT_EQ(sim->GetStats().packets, c.recordsTaken);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CancelTest,
    ::testing::Values(
        CancelCase{"while_identifying", "Please bring the device into bootstrap mode.", true, 0, 0},
        CancelCase{"while_erasing", "Erasing Flash...", false, 60000, 0},
        CancelCase{"before_first_record", "Writing hexfile...", false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UploadWireTest, WholeUploadLeavesFlashEqualToHexData)
{
    const targetsim::MemoryLayout flash = targetsim::UploaderFlashLayout();
    Bytes image(6000);
    uint32_t x = 12345;
    for (auto& b : image) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    const uint32_t address = flash.base + 0xF000;  // crosses a 64 KiB boundary
    ASSERT_LE(address + image.size(), flash.base + flash.size);
    StartSim({});
    UseHexFile(IntelHex(address, image, 16));
    upload.RunUpload();

    EXPECT_EQ(host.messages, QStringList{QStringLiteral("The hexfile was sent")});
    EXPECT_EQ(sim->ReadUploader(address, static_cast<uint32_t>(image.size())), image);
    const QStringList expectedStatuses = {
        QStringLiteral("Please bring the device into bootstrap mode."), QStringLiteral("Writing Level 1"),
        QStringLiteral("Writing Level 2"), QStringLiteral("Erasing Flash..."),
        QStringLiteral("Writing hexfile..."), upload.hexFilePath};
    EXPECT_EQ(host.statuses, expectedStatuses);
    EXPECT_EQ(host.progressSteps, static_cast<int>(QFile(upload.hexFilePath).size()));
    EXPECT_TRUE(EndedCleanly());
}

}  // namespace
