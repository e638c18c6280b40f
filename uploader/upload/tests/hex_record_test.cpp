// ReadHexLine and DecodeHexRecord over tables of lines.
#include "hex_record.h"

#include <QBuffer>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct DecodeCase {
    const char* name;
    std::string line;
    int expectedCount;  // kInvalidRecord for a refused line
    Bytes expected;
};

Bytes RecordOf(const std::string& line)
{
    unsigned char record[kRecordBufferSize];
    const int n = DecodeHexRecord(record, line.data(), static_cast<int>(line.size()));
    return n < 0 ? Bytes{} : Bytes(record, record + n);
}

std::string LongRecord(int dataBytes)
{
    std::string line = ":";
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", dataBytes & 0xFF);
    line += pair;
    line += "000000";
    for (int i = 0; i < dataBytes; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", i & 0xFF);
        line += pair;
    }
    return line + "00";
}

class DecodeHexRecordTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeHexRecordTest, DecodesOrRefuses)
{
    const DecodeCase& c = GetParam();
    unsigned char record[kRecordBufferSize];
    std::fill(std::begin(record), std::end(record), 0xEE);
    const int n = DecodeHexRecord(record, c.line.data(), static_cast<int>(c.line.size()));
    ASSERT_EQ(n, c.expectedCount);
    if (n == kInvalidRecord) {
        EXPECT_EQ(record[0], 0xEE) << "a refused line leaves the record buffer alone";
        return;
    }
    EXPECT_EQ(Bytes(record, record + n), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DecodeHexRecordTest,
    ::testing::Values(
        DecodeCase{"data-record", ":10010000214601360121470136007EFE09D2190140", 21,
                   {0x10, 0x01, 0x00, 0x00, 0x21, 0x46, 0x01, 0x36, 0x01, 0x21, 0x47,
                    0x01, 0x36, 0x00, 0x7E, 0xFE, 0x09, 0xD2, 0x19, 0x01, 0x40}},
        DecodeCase{"lower-case-digits", ":10010000214601360121470136007efe09d2190140", 21,
                   {0x10, 0x01, 0x00, 0x00, 0x21, 0x46, 0x01, 0x36, 0x01, 0x21, 0x47,
                    0x01, 0x36, 0x00, 0x7E, 0xFE, 0x09, 0xD2, 0x19, 0x01, 0x40}},
        DecodeCase{"end-record", ":00000001FF", 5, {0x00, 0x00, 0x00, 0x01, 0xFF}},
        DecodeCase{"fields-not-checked", ":0300000099FF", 6, {0x03, 0x00, 0x00, 0x00, 0x99, 0xFF}},
        DecodeCase{"colon-only", ":", 0, {}},
        DecodeCase{"letter-beyond-f", ":0G000001FF", kInvalidRecord, {}},
        DecodeCase{"blank-inside", ":00 000001FF", kInvalidRecord, {}},
        DecodeCase{"trailing-blank", ":00000001FF ", kInvalidRecord, {}},
        DecodeCase{"punctuation-after-9", ":00000001F:", kInvalidRecord, {}},
        DecodeCase{"embedded-nul", std::string(":0000\0" "001FF", 11), kInvalidRecord, {}},
        DecodeCase{"odd-digit-count", ":00000001F", kInvalidRecord, {}},
        DecodeCase{"single-digit", ":0", kInvalidRecord, {}}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(DecodeHexRecordTest, RecordOf200DataBytesGoesOutIn205Bytes)
{
    const Bytes record = RecordOf(LongRecord(200));
    ASSERT_EQ(record.size(), 205u);
    EXPECT_EQ(record[0], 0xC8);
    EXPECT_EQ(record[4], 0x00);
    EXPECT_EQ(record[203], 199);
    EXPECT_EQ(record[204], 0x00);
}

struct LinesCase {
    const char* name;
    std::string file;
    std::vector<std::string> lines;  // lines read in order until ReadHexLine returns 0
};

class ReadHexLineTest : public ::testing::TestWithParam<LinesCase> {};

TEST_P(ReadHexLineTest, ReadsLinesAndStepsOncePerByte)
{
    const LinesCase& c = GetParam();
    QByteArray data = QByteArray::fromStdString(c.file);
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    int steps = 0;
    const auto step = [&steps] { ++steps; };

    std::vector<std::string> lines;
    char line[kLineBufferSize];
    for (int n = ReadHexLine(line, buffer, step); n != 0; n = ReadHexLine(line, buffer, step)) {
        ASSERT_EQ(static_cast<size_t>(n), std::strlen(line));
        lines.emplace_back(line, n);
    }
    EXPECT_EQ(lines, c.lines);
    // Lines after an empty one stay unread, so count the bytes consumed.
    EXPECT_EQ(steps, buffer.pos());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReadHexLineTest,
    ::testing::Values(
        LinesCase{"lf-ends", ":00000001FF\n:0000\n", {":00000001FF", ":0000"}},
        LinesCase{"crlf-ends", ":00000001FF\r\n:0000\r\n", {":00000001FF", ":0000"}},
        LinesCase{"no-final-line-end", ":01\n:02", {":01", ":02"}},
        LinesCase{"empty-file", "", {}},
        LinesCase{"blank-line-ends-the-file", ":01\n\n:02\n", {":01"}},
        LinesCase{"cr-only-line-ends-the-file", ":01\r\n\r\n:02\n", {":01"}},
        LinesCase{"cr-inside-dropped", ":0\r1\n", {":01"}}),
    [](const auto& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(ReadHexLineTest, LongLineIsCutWithoutOverrunAndReportedInFull)
{
    const std::string longLine = ":" + std::string(1500, 'A');
    QByteArray data = QByteArray::fromStdString(longLine + "\n:00000001FF\n");
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    int steps = 0;
    char line[kLineBufferSize + 1];
    line[kLineBufferSize] = 'Z';  // guard just past the buffer

    EXPECT_EQ(ReadHexLine(line, buffer, [&] { ++steps; }), 1501);
    EXPECT_EQ(std::strlen(line), static_cast<size_t>(kLineBufferSize - 1));
    EXPECT_EQ(line[kLineBufferSize], 'Z');
    EXPECT_EQ(steps, 1502);
    // The next line starts cleanly after the long one.
    EXPECT_EQ(ReadHexLine(line, buffer, [&] { ++steps; }), 11);
    EXPECT_STREQ(line, ":00000001FF");
}

}  // namespace
