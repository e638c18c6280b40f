// Hex text, checksums, file classification and the hex entry helpers.

#include "module1.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct HexCase {
    const char* name;
    const char* text;
    bool ok;
    int32_t value;
};

class HexToLongTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(HexToLongTest, ReadsOrRefuses)
{
    const HexCase& c = GetParam();
    int32_t value = -12345;
    EXPECT_EQ(HexToLong(QString::fromLatin1(c.text), &value), c.ok);
    EXPECT_EQ(value, c.ok ? c.value : -12345) << "a refused text leaves the value unchanged";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HexToLongTest,
    ::testing::Values(HexCase{"zeros", "00000000", true, 0},
                      HexCase{"lower_case_ff", "ff", true, 255},
                      HexCase{"mixed_case", "aBcD", true, 0xABCD},
                      HexCase{"largest", "7FFFFFFF", true, 2147483647},
                      HexCase{"leading_zeros_beyond_eight_digits", "0000000010", true, 16},
                      HexCase{"empty", "", true, 0},
                      HexCase{"above_largest", "80000000", false, 0},
                      HexCase{"nine_digits", "FFFFFFFFF", false, 0},
                      HexCase{"letter_g", "1g", false, 0},
                      HexCase{"blank", " 1", false, 0},
                      HexCase{"minus", "-1", false, 0},
                      HexCase{"prefix", "0x10", false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SRecChecksum, MatchesRecordsOfTheFile)
{
    EXPECT_EQ(SRecChecksum(QStringLiteral("05ABCDEF12")), QStringLiteral("81"));
    EXPECT_EQ(SRecChecksum(QStringLiteral("05abcdef12")), QStringLiteral("81"));
    EXPECT_EQ(SRecChecksum(QStringLiteral("03000000")), QStringLiteral("FC"));
    EXPECT_EQ(SRecChecksum(QStringLiteral("040000F1")), QStringLiteral("0A")) << "leading zero";
    EXPECT_EQ(SRecChecksum(QStringLiteral("04zz00F1")), QString()) << "not hex";
}

struct TypeCase {
    const char* name;
    QByteArray content;
    FileType type;
};

class GetFileTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(GetFileTypeTest, ClassifiesByFirstRecord)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("appl"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(GetParam().content);
    f.close();
    EXPECT_EQ(GetFileType(path), GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetFileTypeTest,
    ::testing::Values(
        TypeCase{"type1_with_leading_zero_checksum", "S1040000F10A\r\n", FileType::SRecord},
        TypeCase{"lower_case_digits", "S105abcdef1281\n", FileType::SRecord},
        TypeCase{"lower_case_checksum", "S1040000F10a\n", FileType::SRecord},
        TypeCase{"header_record", "S00600004844521B\n", FileType::SRecord},
        TypeCase{"broken_later_record", "S1040000F10A\nS1zz\n", FileType::SRecord},
        TypeCase{"blank_lines_before_first_record", "\r\n\nS1040000F10A\r\n", FileType::SRecord},
        TypeCase{"empty", "", FileType::Binary},
        TypeCase{"s_then_letter", "SX040000F10A\n", FileType::Binary},
        TypeCase{"wrong_checksum", "S1040000F10B\n", FileType::Binary},
        TypeCase{"truncated_record", "S1040000F1", FileType::Binary},
        TypeCase{"count_01", "S101FE\n", FileType::Binary},
        TypeCase{"count_not_hex", "S1zz0000F10A\n", FileType::Binary},
        TypeCase{"raw_bytes", QByteArray("\x02\x00\xFF\x53\x31", 5), FileType::Binary}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GetFileType, MissingFileIsBinary)
{
    EXPECT_EQ(GetFileType(QStringLiteral("/nonexistent/appl.sre")), FileType::Binary);
}

TEST(HexEntry, IsHexTextAndKeyRule)
{
    EXPECT_TRUE(IsHexText(QString()));
    EXPECT_TRUE(IsHexText(QStringLiteral("0123456789abcdefABCDEF")));
    EXPECT_FALSE(IsHexText(QStringLiteral("12G4")));
    for (QChar key : {QChar(u'7'), QChar(u'C'), QChar(u'c'), QChar(8)})
        EXPECT_TRUE(HexKeyAllowed(key)) << int(key.unicode());
    for (QChar key : {QChar(u'g'), QChar(u' '), QChar(u'-'), QChar(u'\r'), QChar(0), QChar(u'\u00e9')})
        EXPECT_FALSE(HexKeyAllowed(key)) << int(key.unicode());
}

TEST(HexEntry, SelectAllTextSelectsTheWholeText)
{
    QLineEdit field;
    field.setText(QStringLiteral("00000000"));
    field.setCursorPosition(3);
    SelectAllText(&field);
    EXPECT_EQ(field.selectionStart(), 0);
    EXPECT_EQ(field.selectedText(), QStringLiteral("00000000"));
    SelectAllText(nullptr);
}

}  // namespace
