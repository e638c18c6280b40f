// INI semantics as tables of cases.
#include "ini.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <optional>
#include <string>

namespace {

struct IniFixture {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("test.ini"));

    void put(const QByteArray& content) const
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray get() const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }
};

// Test names take no "-": rows are named with it for reading, shown with "_".
struct {
    template <typename Info>
    std::string operator()(const Info& info) const
    {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    }
} RowName;

// ---- reading ----

struct ReadCase {
    std::string name;
    std::optional<QByteArray> file;  // nothing: no file at all
    QString section;
    QString key;
    QString defaultValue;
    int bufferSize;
    QString expected;
};

class IniRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, GivesValueOrDefault)
{
    const ReadCase& c = GetParam();
    IniFixture fx;
    if (c.file)
        fx.put(*c.file);
    EXPECT_EQ(ReadIniString(fx.path, c.section, c.key, c.defaultValue, c.bufferSize), c.expected);
}

const QString kLong300 = QString(300, QLatin1Char('x'));
const QString kLong2000 = QString(2000, QLatin1Char('y'));
const QByteArray kBinary = QByteArray::fromHex(
    "00ff5b0d0a3d3d5d00fe0a5b5b5d5d3d0a7f800d0d0a00003d414243") + QByteArray(5000, '\x01');

const ReadCase kReadCases[] = {
    {"exact-case", "[INIFiles]\nlanguage=DE.ini\n", "INIFiles", "language", "US.ini", 1024, "DE.ini"},
    {"names-ignore-case", "[inifiles]\nLANGUAGE=DE.ini\n", "INIFiles", "language", "US.ini", 1024,
     "DE.ini"},
    {"missing-file", std::nullopt, "INIFiles", "language", "US.ini", 1024, "US.ini"},
    {"missing-section", "[Other]\nlanguage=DE.ini\n", "INIFiles", "language", "US.ini", 1024,
     "US.ini"},
    {"missing-key", "[INIFiles]\ncustomer=QY.ini\n", "INIFiles", "language", "US.ini", 1024,
     "US.ini"},
    {"key-of-next-section", "[A]\n[B]\nkey=1\n", "A", "key", "none", 1024, "none"},
    {"text-after-first-equals", "[S]\nkey=a=b\n", "S", "key", "", 1024, "a=b"},
    {"blanks-around-equals", "[S]\n  key  =  some value  \n", "S", "key", "", 1024, "some value"},
    {"empty-value-is-not-default", "[S]\nkey=\n", "S", "key", "none", 1024, ""},
    {"key-without-equals", "[S]\nkey\nother=1\n", "S", "key", "none", 1024, "none"},
    {"line-after-key-without-equals", "[S]\nkey\nother=1\n", "S", "other", "none", 1024, "1"},
    {"comment-is-no-key", "[S]\n;key=1\n#key=2\n", "S", "key", "none", 1024, "none"},
    {"first-of-two", "[S]\nkey=1\nkey=2\n", "S", "key", "", 1024, "1"},
    {"crlf-lines", "[S]\r\nkey=v\r\n", "S", "key", "", 1024, "v"},
    {"no-final-line-end", "[S]\nkey=v", "S", "key", "", 1024, "v"},
    {"blanks-in-header", "[ S ]\nkey=v\n", "S", "key", "", 1024, "v"},
    {"quoted-value", "[S]\nkey=\"a b\"\n", "S", "key", "", 1024, "a b"},
    {"cut-at-265", "[Buttons]\nButton1=" + kLong300.toLatin1() + "\n", "Buttons", "Button1", "", 266,
     kLong300.left(265)},
    {"cut-at-1023", "[S]\nkey=" + kLong2000.toLatin1() + "\n", "S", "key", "", 1024,
     kLong2000.left(1023)},
    {"exact-fit-1023", "[S]\nkey=" + kLong2000.left(1023).toLatin1() + "\n", "S", "key", "", 1024,
     kLong2000.left(1023)},
    {"default-cut-too", std::nullopt, "S", "key", kLong300, 266, kLong300.left(265)},
    {"binary-file", kBinary, "S", "key", "dflt", 1024, "dflt"},
    {"binary-value", "[S]\nkey=a\xff\xfe" "b\x00tail\n", "S", "key", "", 1024,
     QString::fromLatin1("a\xff\xfe" "b")},
    {"latin1-text", "[S]\nname=Fran\xe7" "ais\n", "S", "name", "", 1024, QString::fromUtf8("Français")},
    {"utf8-text", QString::fromUtf8("[S]\nname=Français\n").toUtf8(), "S", "name", "", 1024,
     QString::fromUtf8("Français")},
    {"unclosed-header", "[S\nkey=v\n", "S", "key", "", 1024, "v"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniRead, ::testing::ValuesIn(kReadCases),
                         RowName);

// ---- writing ----

struct WriteCase {
    std::string name;
    std::optional<QByteArray> file;
    QString section;
    QString key;
    QString value;
    QByteArray expected;
};

class IniWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOneLineKeepsTheRest)
{
    const WriteCase& c = GetParam();
    IniFixture fx;
    if (c.file)
        fx.put(*c.file);
    ASSERT_TRUE(WriteIniString(fx.path, c.section, c.key, c.value));
    EXPECT_EQ(fx.get(), c.expected);
    EXPECT_EQ(ReadIniString(fx.path, c.section, c.key, QStringLiteral("<default>"), 1024), c.value);
}

const QByteArray kProgramFile =
    "; Quorra settings\n"
    "[ComSettings]\n"
    "; the port of the bench adapter\n"
    "comport = 3\n"
    "baudrate=19200\n"
    "\n"
    "[INIFiles]\n"
    "language=US.ini\n"
    "; end of file";

const WriteCase kWriteCases[] = {
    {"creates-file", std::nullopt, "ComSettings", "comport", "2", "[ComSettings]\ncomport=2\n"},
    {"replaces-keeping-comments-order-spelling", kProgramFile, "comsettings", "COMPORT", "4",
     QByteArray(kProgramFile).replace("comport = 3", "comport = 4")},
    {"adds-key-after-last-key-of-section", kProgramFile, "ComSettings", "parity", "none",
     QByteArray(kProgramFile).replace("baudrate=19200\n", "baudrate=19200\nparity=none\n")},
    {"adds-section-at-end", kProgramFile, "HISTORY", "lastdir", "/home/op/hex/",
     kProgramFile + "\n\n[HISTORY]\nlastdir=/home/op/hex/\n"},
    {"adds-key-to-last-section-without-line-end", "[S]\na=1", "S", "b", "2", "[S]\na=1\nb=2\n"},
    {"keeps-crlf", "[S]\r\na=1\r\n", "S", "a", "22", "[S]\r\na=22\r\n"},
    {"new-lines-follow-crlf", "[S]\r\na=1\r\n", "T", "b", "2", "[S]\r\na=1\r\n\r\n[T]\r\nb=2\r\n"},
    {"keeps-key-without-equals", "[S]\nodd line\n", "S", "k", "v", "[S]\nk=v\nodd line\n"},
    {"keeps-binary-bytes", kBinary, "S", "k", "v", kBinary + "\r\n\r\n[S]\r\nk=v\r\n"},
    {"empty-file", "", "S", "k", "v", "[S]\nk=v\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, IniWrite, ::testing::ValuesIn(kWriteCases),
                         RowName);

TEST(IniWriteRefused, LineBreakInValueLeavesFileAlone)
{
    IniFixture fx;
    fx.put(kProgramFile);
    EXPECT_FALSE(WriteIniString(fx.path, QStringLiteral("HISTORY"), QStringLiteral("lastdir"),
                                QStringLiteral("/tmp/a\n[ComSettings]\ncomport=9")));
    EXPECT_EQ(fx.get(), kProgramFile);
}

TEST(IniWriteRefused, MissingFolderFailsWithoutCreatingAnything)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("no-such-folder/Quorra.ini"));
    EXPECT_FALSE(WriteIniString(path, QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_FALSE(QFile::exists(path));
}

}  // namespace
