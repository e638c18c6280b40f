#include "upload.h"

#include "hex_record.h"
#include "port.h"
#include "settings.h"
#include "upload_host.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstring>

unsigned char rxBuffer[kRxBufferSize] = {};
int rxCount = 0;

namespace {

// Reads of the waits: up to this many bytes at a time (the record answers take one at a time).
constexpr unsigned kReadChunk = 80;
constexpr unsigned kAnswerReadChunk = 1;

// Identification: a zero byte every tick until the bootstrap loader answers with a byte that has
// bits 0 and 2 set (C5h and the like).
constexpr unsigned char kBootstrapByte = 0x00;
constexpr unsigned char kIdentifyMask = 0x05;
constexpr qint64 kIdentifyLimitMs = 50000;
constexpr qint64 kTickMs = 100;

// First stage: LEVEL1.BIN, answered with "1".
constexpr unsigned char kLevel1Done = '1';
constexpr qint64 kLevel1AnswerMs = 1000;

// Second stage: LEVEL2.BIN padded with zero bytes up to this length, answered with "2".
constexpr unsigned char kLevel2Done = '2';
constexpr int kLevel2PaddedLength = 1024;
constexpr unsigned char kPaddingByte = 0x00;
constexpr qint64 kLevel2PaddingMs = 1500;
constexpr qint64 kLevel2AnswerMs = 1000;

// The second stage erases the flash by itself and reports it done with "A".
constexpr unsigned char kEraseDone = 'A';
constexpr qint64 kEraseLimitMs = 20000;

// Answers to a record.
constexpr unsigned char kRecordTaken = 'A';
constexpr unsigned char kRecordTakenFinal = 'G';
constexpr unsigned char kChecksumError = 'C';
constexpr unsigned char kRecordTypeError = 'E';
constexpr unsigned char kMemoryError = 'M';
constexpr unsigned char kVerifyError = 'V';
constexpr unsigned char kWriteError = 'W';
constexpr qint64 kRecordAnswerMs = 10000;

constexpr char kRecordMark = ':';
const char* const kInvalidHexFileText = "Error: Invalid Intel hex file";

struct ModelInfo {
    const char* dirKey;
    const char* defaultDir;
};
constexpr ModelInfo kModels[] = {
    {"Dir1", "VR10"}, {"Dir2", "VR20"}, {"Dir3", "TX31"}, {"Dir4", "TX37"}};

struct TextKey {
    const char* section;
    const char* key;
    const char* defaultText;
};
QString Text(const TextKey& t)
{
    return LookupText(QString::fromLatin1(t.section), QString::fromLatin1(t.key),
                      QString::fromLatin1(t.defaultText));
}

constexpr TextKey kBootModeText{"Messages", "bootmode", "Please bring the device into bootstrap mode."};
constexpr TextKey kWriteLevel1Text{"Buttons", "writelevel1", "Writing Level 1"};
constexpr TextKey kWriteLevel2Text{"Buttons", "writelevel2", "Writing Level 2"};
constexpr TextKey kEraseFlashText{"Buttons", "eraseflash", "Erasing Flash..."};
constexpr TextKey kWriteHexText{"Buttons", "writehex", "Writing hexfile..."};
constexpr TextKey kFileNotFoundText{"Errors", "filenotfound", "Could not find file: "};
constexpr TextKey kWrongAnswerText{"Errors", "wronganswer", "Received wrong answer, aborting download"};
constexpr TextKey kFlashText{"Errors", "flash", "Error erasing Flash, aborting download"};
constexpr TextKey kHexFileSentOkText{"Messages", "hexfilesentok", "The hexfile was sent"};
constexpr TextKey kUnknownText{"Errors", "unknown", "!! Unknown download acknowledge character"};

struct FinalResult {
    unsigned char answer;
    TextKey text;
};
constexpr FinalResult kFinalResults[] = {
    {kRecordTakenFinal, kHexFileSentOkText},
    {kChecksumError, {"Errors", "checksum", "Error: Invalid checksum"}},
    {kRecordTypeError, {"Errors", "record", "Error: Invalid record type"}},
    {kMemoryError, {"Errors", "memory", "Error: Invalid memmory"}},
    {kVerifyError, {"Errors", "verified", "Error: FLASH not verified"}},
    {kWriteError, {"Errors", "write", "Error: Flash not written"}},
};

// The final message chosen by the last answer byte; any other byte, "A" in particular, is unknown.
QString FinalResultText(unsigned char answer)
{
    for (const FinalResult& r : kFinalResults) {
        if (r.answer == answer)
            return Text(r.text);
    }
    return Text(kUnknownText);
}

bool IsDeviceError(unsigned char answer)
{
    return answer == kChecksumError || answer == kRecordTypeError || answer == kMemoryError
           || answer == kVerifyError || answer == kWriteError;
}

bool Identified()
{
    return (rxBuffer[0] & kIdentifyMask) == kIdentifyMask;
}

void ReadChunk(unsigned maxCount = kReadChunk)
{
    rxCount = static_cast<int>(ReadPort(rxBuffer, maxCount));
}

}  // namespace

UploadProcedure::UploadProcedure(UploadHost& host) : host_(host) {}

UploadProcedure::~UploadProcedure()
{
    if (portOpen_)
        ClosePort();
}

QString UploadProcedure::ModelDirectory(int model)
{
    const ModelInfo& m = kModels[(model >= 1 && model <= 4) ? model - 1 : 0];
    return ReadCustomer(QStringLiteral("Dirs"), QString::fromLatin1(m.dirKey),
                        QString::fromLatin1(m.defaultDir));
}

// The base directory ends with a separator, so two stand together after it; the missing-file
// message shows the path as built.
QString UploadProcedure::Level1Path() const
{
    return QStringLiteral("%1/%2/LEVEL1.BIN").arg(baseDirectory, ModelDirectory(model));
}

QString UploadProcedure::Level2Path() const
{
    return QStringLiteral("%1/%2/LEVEL2.BIN").arg(baseDirectory, ModelDirectory(model));
}

void UploadProcedure::RunUpload()
{
    if (PrepareUpload() && IdentifyDevice() && SendLevel1() && SendLevel2() && WaitForErase())
        SendHexFile();
}

bool UploadProcedure::OpenInput(std::unique_ptr<QFile>& file, const QString& path)
{
    file = std::make_unique<QFile>(path);
    if (file->open(QIODevice::ReadOnly))
        return true;
    file.reset();
    host_.ShowMessage(QStringLiteral("%1 %2").arg(Text(kFileNotFoundText), path));
    return false;
}

int UploadProcedure::PrepareUpload()
{
    cancelRequested = false;
    host_.EnableUploadButtons(false);
    const QString level1Path = Level1Path();
    const QString level2Path = Level2Path();
    host_.SetStatusText(Text(kBootModeText));

    // On a missing file the buttons stay disabled: the operator closes the window and starts over.
    if (!OpenInput(level1File, level1Path))
        return 0;
    if (!OpenInput(level2File, level2Path)) {
        level1File.reset();
        return 0;
    }
    if (!OpenInput(hexFile, hexFilePath)) {
        level1File.reset();
        level2File.reset();
        return 0;
    }

    OpenPort();  // a port that did not open shows up as a silent device
    portOpen_ = true;
    do
        ReadChunk();
    while (rxCount != 0);
    return 1;
}

int UploadProcedure::IdentifyDevice()
{
    rxBuffer[0] = 0;
    const qint64 start = host_.Now();
    const qint64 deadline = start + kIdentifyLimitMs;
    qint64 nextTick = start;
    host_.SetProgressRange(0, static_cast<int>(kIdentifyLimitMs));
    host_.SetProgressStepSize(1);

    while (!Identified()) {
        const qint64 now = host_.Now();
        if (now >= deadline)
            break;
        if (now > nextTick) {
            host_.SetProgressPosition(static_cast<int>(now - start));
            WritePort(&kBootstrapByte, 1);
            nextTick = now + kTickMs;
        }
        ReadChunk();
        // Sleep until the next tick unless bytes came in; port data and window messages wake it.
        host_.DispatchMessages(rxCount == 0 ? std::min(nextTick + 1, deadline)
                                            : UploadHost::kNoWait);
        if (cancelRequested) {
            EndUpload();
            return 0;
        }
    }

    if (Identified()) {
        host_.SetProgressPosition(0);
        return 1;
    }
    host_.ShowMessage(
        QStringLiteral("%1   %2").arg(Text(kWrongAnswerText), QString::number(rxBuffer[0])));
    EndUpload();
    return 0;
}

int UploadProcedure::SendFile(QFile& file)
{
    int sent = 0;
    char c = 0;
    while (file.getChar(&c)) {
        const auto byte = static_cast<unsigned char>(c);
        WritePort(&byte, 1);
        ++sent;
    }
    return sent;
}

void UploadProcedure::WaitForAnswer(unsigned char answer, qint64 deadline)
{
    while (rxBuffer[0] != answer && host_.Now() < deadline) {
        ReadChunk();
        if (rxCount == 0 && rxBuffer[0] != answer)
            host_.WaitForData(deadline);
    }
}

int UploadProcedure::SendLevel1()
{
    host_.SetStatusText(Text(kWriteLevel1Text));
    SendFile(*level1File);
    // rxBuffer still holds the identification byte, which is never "1" (its bit 2 is set).
    WaitForAnswer(kLevel1Done, host_.Now() + kLevel1AnswerMs);
    if (rxBuffer[0] == kLevel1Done)
        return 1;
    host_.ShowMessage(Text(kWrongAnswerText));
    EndUpload();
    return 0;
}

QString UploadProcedure::ReceivedText() const
{
    const auto length = ::strnlen(reinterpret_cast<const char*>(rxBuffer), kRxBufferSize);
    return QString::fromLatin1(reinterpret_cast<const char*>(rxBuffer),
                               static_cast<qsizetype>(length));
}

int UploadProcedure::SendLevel2()
{
    host_.SetStatusText(Text(kWriteLevel2Text));
    int sent = SendFile(*level2File);
    rxBuffer[0] = 0;
    ReadChunk();

    // Zero bytes until the loader has its full length or answers; whatever it says meanwhile is
    // shown as it came.
    const qint64 paddingDeadline = host_.Now() + kLevel2PaddingMs;
    while (sent < kLevel2PaddedLength && rxBuffer[0] != kLevel2Done
           && host_.Now() < paddingDeadline) {
        ReadChunk();
        if (rxBuffer[0] != kLevel2Done) {
            WritePort(&kPaddingByte, 1);
            ++sent;
        }
        if (rxCount >= 1)
            host_.ShowMessage(ReceivedText());
    }

    WaitForAnswer(kLevel2Done, host_.Now() + kLevel2AnswerMs);
    if (rxBuffer[0] == kLevel2Done)
        return 1;
    host_.ShowMessage(Text(kWrongAnswerText));
    EndUpload();
    return 0;
}

int UploadProcedure::WaitForErase()
{
    host_.SetStatusText(Text(kEraseFlashText));
    rxBuffer[0] = 0;
    ReadChunk();
    const qint64 start = host_.Now();
    const qint64 deadline = start + kEraseLimitMs;
    qint64 nextTick = start;
    host_.SetProgressRange(0, static_cast<int>(kEraseLimitMs));
    host_.SetProgressStepSize(1);

    while (rxBuffer[0] != kEraseDone) {
        const qint64 now = host_.Now();
        if (now >= deadline)
            break;
        ReadChunk();
        if (now > nextTick) {
            host_.SetProgressPosition(static_cast<int>(now - start));
            nextTick = now + kTickMs;
        }
        host_.DispatchMessages(rxCount == 0 ? std::min(nextTick + 1, deadline)
                                            : UploadHost::kNoWait);
        if (cancelRequested) {
            EndUpload();
            return 0;
        }
    }

    if (rxBuffer[0] == kEraseDone) {
        host_.SetProgressPosition(0);
        return 1;
    }
    host_.ShowMessage(Text(kFlashText));
    EndUpload();
    return 0;
}

int UploadProcedure::SendHexFile()
{
    host_.SetProgressRange(0, static_cast<int>(std::min<qint64>(hexFile->size(), INT_MAX)));
    host_.SetProgressStepSize(1);
    host_.SetStatusText(Text(kWriteHexText));

    const auto step = [this] { host_.StepProgress(); };
    char line[kLineBufferSize];
    unsigned char record[kRecordBufferSize];

    int length = ReadHexLine(line, *hexFile, step);
    while (length != 0) {
        host_.DispatchMessages(UploadHost::kNoWait);
        if (cancelRequested) {
            EndUpload();
            return 0;
        }

        // A line is refused as a whole, before any of its bytes go out.
        const int count = (line[0] == kRecordMark && length < kLineBufferSize)
                              ? DecodeHexRecord(record, line, length)
                              : kInvalidRecord;
        if (count == kInvalidRecord) {
            host_.ShowMessage(QString::fromLatin1(kInvalidHexFileText));
            EndUpload();
            return 0;
        }
        for (int i = 0; i < count; ++i)
            WritePort(&record[i], 1);

        // One byte at a time, so that anything after the answer stays queued.
        rxBuffer[0] = 0;
        const qint64 deadline = host_.Now() + kRecordAnswerMs;
        while (rxBuffer[0] == 0 && host_.Now() < deadline) {
            rxCount = static_cast<int>(ReadPort(rxBuffer, kAnswerReadChunk));
            if (rxCount == 0)
                host_.WaitForData(deadline);
        }

        const unsigned char answer = rxBuffer[0];
        if (answer == kRecordTaken || answer == kRecordTakenFinal) {
            length = ReadHexLine(line, *hexFile, step);
            continue;
        }
        if (IsDeviceError(answer))
            break;
        host_.ShowMessage(Text(kWrongAnswerText));
        EndUpload();
        return 0;
    }

    // The last answer decides: "G" after the end record is success, a bare "A" is not.
    host_.ShowMessage(FinalResultText(rxBuffer[0]));
    EndUpload();
    return 1;
}

void UploadProcedure::EndUpload()
{
    ClosePort();
    portOpen_ = false;
    level1File.reset();
    level2File.reset();
    hexFile.reset();
    host_.SetStatusText(hexFilePath);
    host_.EnableUploadButtons(true);
    host_.SetProgressPosition(0);
}

void UploadProcedure::OnCancel()
{
    cancelRequested = true;
}
