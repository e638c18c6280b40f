#include "store_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

using Pairs = QList<QPair<QString, QString>>;

class SettingsStoreTest : public StoreFixture {};

TEST_F(SettingsStoreTest, FileLivesUnderConfigHomeNamedAfterTheExecutable)
{
    EXPECT_EQ(SettingsStore::FilePath(), dir_.path() + "/profiles_tests/settings.ini");
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsStore::FilePath(), QDir::homePath() + "/.config/profiles_tests/settings.ini");
}

TEST_F(SettingsStoreTest, ReadsFallbackFromMissingStoreAndWritesKeysInOrder)
{
    EXPECT_EQ(SettingsStore::Read("General", "ProfileLastUsed", "none"), "none");
    EXPECT_TRUE(SettingsStore::Write("General", "B", "2"));
    EXPECT_TRUE(SettingsStore::Write("General", "A", "1"));
    EXPECT_TRUE(SettingsStore::Write("General", "B", "3"));
    EXPECT_EQ(SettingsStore::ListSection("General"), (Pairs{{"B", "3"}, {"A", "1"}}));
    EXPECT_EQ(SettingsStore::Read("General", "A", "x"), "1");
    EXPECT_EQ(SettingsStore::Read("General", "Missing", "x"), "x");
    EXPECT_TRUE(SettingsStore::ListSection("NoSuchSection").isEmpty());
}

TEST_F(SettingsStoreTest, NamesCompareWithoutCaseAndKeepTheirFirstWrittenCase)
{
    ASSERT_TRUE(SettingsStore::Write("Profiles", "Workshop", "Workshop"));
    ASSERT_TRUE(SettingsStore::Write("PROFILES", "WORKSHOP", "Line 2"));
    EXPECT_EQ(SettingsStore::Read("profiles", "workshop", "none"), "Line 2");
    EXPECT_EQ(SettingsStore::ListSection("pRoFiLeS"), (Pairs{{"Workshop", "Line 2"}}));
    const QByteArray text = StoreText();
    EXPECT_TRUE(text.contains("[Profiles]")) << text.constData();
    EXPECT_TRUE(text.contains("Workshop=Line 2")) << text.constData();

    EXPECT_TRUE(SettingsStore::DeleteKey("profiles", "WORKshop"));
    EXPECT_EQ(SettingsStore::Read("Profiles", "Workshop", "gone"), "gone");
    ASSERT_TRUE(SettingsStore::Write("Line", "K", "V"));
    EXPECT_TRUE(SettingsStore::DeleteSection("LINE"));
    EXPECT_TRUE(SettingsStore::ListSection("Line").isEmpty());
}

TEST_F(SettingsStoreTest, DeletesOnlyWhatItIsAskedTo)
{
    ASSERT_TRUE(SettingsStore::Write("Profiles", "Default", "Default"));
    ASSERT_TRUE(SettingsStore::Write("Profiles", "Bench", "Bench"));
    ASSERT_TRUE(SettingsStore::Write("Bench", "COMPort", "2"));
    ASSERT_TRUE(SettingsStore::Write("Default", "COMPort", "1"));
    EXPECT_TRUE(SettingsStore::DeleteKey("Profiles", "Bench"));
    EXPECT_TRUE(SettingsStore::DeleteSection("Bench"));
    EXPECT_TRUE(SettingsStore::DeleteKey("Profiles", "NotThere"));
    EXPECT_TRUE(SettingsStore::DeleteSection("NotThere"));
    EXPECT_EQ(SettingsStore::ListSection("Profiles"), (Pairs{{"Default", "Default"}}));
    EXPECT_EQ(SettingsStore::ListSection("Default"), (Pairs{{"COMPort", "1"}}));
    EXPECT_TRUE(SettingsStore::ListSection("Bench").isEmpty());
}

struct OddName {
    const char* name;
    QString text;
};

class SettingsStoreOddNames : public StoreFixture, public ::testing::WithParamInterface<OddName> {};

// A name or value the INI format cannot hold as it is must come back unchanged and must not
// spill into other sections or keys.
TEST_P(SettingsStoreOddNames, RoundTripsWithoutCorruptingOthers)
{
    const QString odd = GetParam().text;
    ASSERT_TRUE(SettingsStore::Write("Before", "Key", "before"));
    ASSERT_TRUE(SettingsStore::Write("Profiles", odd, odd));
    ASSERT_TRUE(SettingsStore::Write(odd, odd, odd));
    ASSERT_TRUE(SettingsStore::Write(odd, "Plain", "plain"));
    ASSERT_TRUE(SettingsStore::Write("After", "Key", "after"));

    EXPECT_EQ(SettingsStore::Read("Profiles", odd, "missing"), odd);
    EXPECT_EQ(SettingsStore::ListSection(odd), (Pairs{{odd, odd}, {"Plain", "plain"}}));
    EXPECT_EQ(SettingsStore::ListSection("Before"), (Pairs{{"Key", "before"}}));
    EXPECT_EQ(SettingsStore::ListSection("After"), (Pairs{{"Key", "after"}}));
    EXPECT_EQ(SettingsStore::ListSection("Profiles"), (Pairs{{odd, odd}}));

    ASSERT_TRUE(SettingsStore::DeleteSection(odd));
    EXPECT_TRUE(SettingsStore::ListSection(odd).isEmpty());
    EXPECT_EQ(SettingsStore::ListSection("After"), (Pairs{{"Key", "after"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Names, SettingsStoreOddNames,
    ::testing::Values(OddName{"brackets", "[Default]"}, OddName{"closing_bracket", "a]b"},
                      OddName{"equals", "a=b"}, OddName{"semicolon", ";comment"},
                      OddName{"hash", "#comment"}, OddName{"percent", "100%41"},
                      OddName{"line_breaks", "one\r\n[Default]\nCOMPort=9"},
                      OddName{"one_blank", " "}, OddName{"blanks_at_ends", "  Line 1\t"},
                      OddName{"empty", ""}, OddName{"non_ascii", QStringLiteral("Prüfplatz ü")},
                      OddName{"quotes_and_heredoc", "\"<<<END"}),
    [](const ::testing::TestParamInfo<OddName>& info) { return std::string(info.param.name); });

struct BadStore {
    const char* name;
    QByteArray content;  // written into the store file; "<dir>" puts a folder in its place
};

class SettingsStoreBadFile : public StoreFixture, public ::testing::WithParamInterface<BadStore> {};

TEST_P(SettingsStoreBadFile, ReadsAsEmptyAndNeverCrashes)
{
    QDir().mkpath(QFileInfo(SettingsStore::FilePath()).absolutePath());
    if (GetParam().content == "<dir>")
        ASSERT_TRUE(QDir().mkpath(SettingsStore::FilePath()));
    else
        SetStoreText(GetParam().content);
    EXPECT_EQ(SettingsStore::Read("Profiles", "Default", "NoDefault"), "NoDefault");
    EXPECT_TRUE(SettingsStore::ListSection("Profiles").isEmpty());
    // A write either works (garbled file replaced) or reports failure (a folder in the way).
    if (SettingsStore::Write("Profiles", "Default", "Default"))
        EXPECT_EQ(SettingsStore::Read("Profiles", "Default", "NoDefault"), "Default");
    else
        EXPECT_EQ(GetParam().content, "<dir>");
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsStoreBadFile,
    ::testing::Values(BadStore{"binary", QByteArray("\x00\xff\xfe[\x01\x02=\x00\n\x80\x81", 11)},
                      BadStore{"unterminated_section", "[Profiles\nDefault"},
                      BadStore{"bom_only", "\xEF\xBB\xBF"}, BadStore{"folder", "<dir>"}),
    [](const ::testing::TestParamInfo<BadStore>& info) { return std::string(info.param.name); });

// Two running instances writing at the same time never lose each other's keys.
TEST_F(SettingsStoreTest, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kKeys = 40;
    QProcess a, b;
    const QStringList argsA{"write", "Shared", "a", QString::number(kKeys)};
    const QStringList argsB{"write", "Shared", "b", QString::number(kKeys)};
    a.start(SETTINGS_STORE_WRITER, argsA);
    b.start(SETTINGS_STORE_WRITER, argsB);
    ASSERT_TRUE(a.waitForFinished(60000));
    ASSERT_TRUE(b.waitForFinished(60000));
    EXPECT_EQ(a.exitCode(), 0);
    EXPECT_EQ(b.exitCode(), 0);

    QProcess list;
    list.start(SETTINGS_STORE_WRITER, {"list", "Shared"});
    ASSERT_TRUE(list.waitForFinished(60000));
    QStringList lines = QString::fromUtf8(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QStringList expected;
    for (int i = 0; i < kKeys; ++i)
        expected << QString("a%1=a%1").arg(i) << QString("b%1=b%1").arg(i);
    lines.sort();
    expected.sort();
    EXPECT_EQ(lines, expected);
}
