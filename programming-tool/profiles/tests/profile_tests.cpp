#include "profile.h"
#include "store_fixture.h"

#include <QStringList>

using Pairs = QList<QPair<QString, QString>>;

namespace {

// The first-run "Default" section, exactly.
const Pairs kDefaultSection = {
    {"COMPort", "1"},
    {"COMDTREnable", "False"},
    {"COMHandshaking", "False"},
    {"COMInBufferSize", "2048"},
    {"COMOutBufferSize", "2048"},
    {"COMNullDiscard", "False"},
    {"COMSettings", "38400,N,8,1"},
    {"IndBusyDataAddr", ""},
    {"IndBusyDirAddr", ""},
    {"IndBusyOpenDrainAddr", ""},
    {"IndBusyMask", ""},
    {"IndBusyActLev", "0"},
    {"IndFailDataAddr", ""},
    {"IndFailDirAddr", ""},
    {"IndFailOpenDrainAddr", ""},
    {"IndFailMask", ""},
    {"IndFailActLev", "0"},
    {"PreLoaderFile", "PreLoad.bin"},
    {"AMD29F0x0LoaderFile", "LoaderAMD29F0x0.sre"},
    {"AMD29F0x0ApplFile", "ApplAMD29F0x0.sre"},
    {"AMD29F0x0ApplFileOffset", "00000000"},
    {"AT45D0x1LoaderFile", "LoaderAT45D0x1.sre"},
    {"AT45D0x1ApplFile", "ApplAT45D0x1.sre"},
    {"AT45D0x1ApplFileOffset", "00000000"},
    {"C167LoaderFile", "LoaderC167.sre"},
    {"C168LoaderFile", "LoaderC168.sre"},
    {"C167ApplFile", "Appl.sre"},
    {"C167ApplFileOffset", ""},
    {"DS1994LoaderFile", "LoaderDS1994.sre"},
    {"DS1994ApplFile", "ApplDS1994.sre"},
    {"DS1994ApplFileOffset", "00000000"},
    {"ProcessorCode", "C167"},
};

// Every field away from its default.
ProfileRecord EveryFieldChanged()
{
    ProfileRecord r;
    r.COMPort = 7;
    r.COMDTREnable = true;
    r.COMHandshaking = true;
    r.COMInBufferSize = 100000;
    r.COMOutBufferSize = -5;
    r.COMNullDiscard = true;
    r.COMSettings = "115200,E,7,2";
    r.IndBusyDataAddr = "FFC0";
    r.IndBusyDirAddr = "FFC2";
    r.IndBusyOpenDrainAddr = "F1C0";
    r.IndBusyMask = "0001";
    r.IndBusyActLev = 1;
    r.IndFailDataAddr = "FFD0";
    r.IndFailDirAddr = "FFD2";
    r.IndFailOpenDrainAddr = "F1D0";
    r.IndFailMask = "0002";
    r.IndFailActLev = 255;
    r.PreLoaderFile = "/opt/line 1/pre.bin";
    r.AMD29F0x0LoaderFile = "la.sre";
    r.AMD29F0x0ApplFile = " ext appl.sre ";
    r.AMD29F0x0ApplFileOffset = "00010000";
    r.AT45D0x1LoaderFile = "ld.sre";
    r.AT45D0x1ApplFile = "data%20.bin";
    r.AT45D0x1ApplFileOffset = "";
    r.C167LoaderFile = "lc.sre";
    r.C168LoaderFile = "l8.sre";
    r.C167ApplFile = "C:\\fw\\appl;1=2.sre";
    r.C167ApplFileOffset = "7FFF0000";
    r.DS1994LoaderFile = "l94.sre";
    r.DS1994ApplFile = "a94.sre";
    r.DS1994ApplFileOffset = "1";
    r.ProcessorCode = "ST10F168";
    return r;
}

QStringList FieldTexts(const ProfileRecord& r)
{
    return {r.Name, QString::number(r.COMPort), QString::number(r.COMDTREnable),
            QString::number(r.COMHandshaking), QString::number(r.COMInBufferSize),
            QString::number(r.COMOutBufferSize), QString::number(r.COMNullDiscard), r.COMSettings,
            r.IndBusyDataAddr, r.IndBusyDirAddr, r.IndBusyOpenDrainAddr, r.IndBusyMask,
            QString::number(r.IndBusyActLev), r.IndFailDataAddr, r.IndFailDirAddr,
            r.IndFailOpenDrainAddr, r.IndFailMask, QString::number(r.IndFailActLev),
            r.PreLoaderFile, r.AMD29F0x0LoaderFile, r.AMD29F0x0ApplFile, r.AMD29F0x0ApplFileOffset,
            r.AT45D0x1LoaderFile, r.AT45D0x1ApplFile, r.AT45D0x1ApplFileOffset, r.C167LoaderFile,
            r.C168LoaderFile, r.C167ApplFile, r.C167ApplFileOffset, r.DS1994LoaderFile,
            r.DS1994ApplFile, r.DS1994ApplFileOffset, r.ProcessorCode};
}

}  // namespace

class ProfileTest : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        SetProfileWarningHandler([this](const QString& text) { warnings_ << text; });
    }
    void TearDown() override
    {
        SetProfileWarningHandler(nullptr);
        StoreFixture::TearDown();
    }
    QStringList warnings_;
};

TEST_F(ProfileTest, FirstRunWritesTheDefaultProfileExactly)
{
    CreateDefaultProfile();
    EXPECT_EQ(SettingsStore::ListSection("Profiles"), (Pairs{{"Default", "Default"}}));
    EXPECT_EQ(SettingsStore::ListSection("Default"), kDefaultSection);
}

TEST_F(ProfileTest, LaterStartLeavesAnEditedDefaultUntouched)
{
    CreateDefaultProfile();
    ASSERT_TRUE(SettingsStore::Write("Default", "COMPort", "4"));
    ASSERT_TRUE(SettingsStore::DeleteKey("Default", "ProcessorCode"));
    CreateDefaultProfile();
    EXPECT_EQ(SettingsStore::Read("Default", "COMPort", ""), "4");
    EXPECT_EQ(SettingsStore::Read("Default", "ProcessorCode", "gone"), "gone");
}

TEST_F(ProfileTest, GarbledStoreIsRecreatedWithDefault)
{
    CreateDefaultProfile();
    SetStoreText(QByteArray("\x00\x01[\xff\xfe]=\n", 9));
    CreateDefaultProfile();
    EXPECT_EQ(SettingsStore::ListSection("Default"), kDefaultSection);
}

TEST_F(ProfileTest, WriteThenReadGivesEveryFieldBack)
{
    const ProfileRecord written = EveryFieldChanged();
    SettingsStore::Write("Profiles", "Line 1", "Line 1");
    WriteProfile("Line 1", written);
    EXPECT_EQ(SettingsStore::ListSection("Line 1").size(), kDefaultSection.size());
    EXPECT_EQ(SettingsStore::Read("Line 1", "Line 1", "no name key"), "no name key");

    ProfileRecord read;
    ReadProfile("line 1", read);
    EXPECT_EQ(read.Name, "line 1");
    ProfileRecord expected = written;
    expected.Name = "line 1";
    EXPECT_EQ(FieldTexts(read), FieldTexts(expected));
    EXPECT_TRUE(warnings_.isEmpty());
}

TEST_F(ProfileTest, UnregisteredOrNoProfileNameWarnsAndStillReads)
{
    CreateDefaultProfile();
    WriteProfile("Ghost", EveryFieldChanged());  // a section without registration
    ProfileRecord r;
    ReadProfile("Ghost", r);
    EXPECT_EQ(warnings_, QStringList{"The Profile 'Ghost' is not a valid Profile!"});
    EXPECT_EQ(r.COMPort, 7);

    SettingsStore::Write("Profiles", "NoProfile", "NoProfile");
    warnings_.clear();
    ReadProfile("noprofile", r);
    EXPECT_EQ(warnings_, QStringList{"The Profile 'noprofile' is not a valid Profile!"});
    // An empty section gives a complete record of defaults.
    EXPECT_EQ(r.Name, "noprofile");
    EXPECT_EQ(r.COMPort, 1);
    EXPECT_EQ(r.COMInBufferSize, 2048);
    EXPECT_FALSE(r.COMDTREnable);
    EXPECT_EQ(r.COMSettings, "");
}

struct StoredText {
    const char* name;
    const char* key;
    const char* text;  // nullptr: key missing
    QString expected;  // field read back, as FieldTexts shows it
};

class ProfileReadRules : public StoreFixture, public ::testing::WithParamInterface<StoredText> {};

TEST_P(ProfileReadRules, ConvertsOrFallsBackToTheDefault)
{
    CreateDefaultProfile();
    const StoredText& c = GetParam();
    if (c.text)
        ASSERT_TRUE(SettingsStore::Write("Default", c.key, c.text));
    else
        ASSERT_TRUE(SettingsStore::DeleteKey("Default", c.key));
    ProfileRecord r;
    r.COMPort = 99;
    r.COMDTREnable = true;
    r.COMInBufferSize = 1;
    r.IndFailActLev = 9;
    ReadProfile("Default", r);
    const QStringList fields = FieldTexts(r);
    const int index = [&] {
        for (int i = 0; i < kDefaultSection.size(); ++i)
            if (kDefaultSection[i].first == QLatin1String(c.key))
                return i + 1;
        return -1;
    }();
    ASSERT_GT(index, 0);
    EXPECT_EQ(fields[index], c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ProfileReadRules,
    ::testing::Values(StoredText{"truth_upper", "COMDTREnable", "TRUE", "1"},
                      StoredText{"truth_lower", "COMDTREnable", "true", "1"},
                      StoredText{"truth_false_mixed", "COMDTREnable", "fAlSe", "0"},
                      StoredText{"truth_minus_one", "COMDTREnable", "-1", "1"},
                      StoredText{"truth_zero", "COMDTREnable", "0", "0"},
                      StoredText{"truth_junk", "COMDTREnable", "yes", "0"},
                      StoredText{"truth_missing", "COMNullDiscard", nullptr, "0"},
                      StoredText{"port_number", "COMPort", "12", "12"},
                      StoredText{"port_not_a_number", "COMPort", "COM3", "1"},
                      StoredText{"port_too_big", "COMPort", "70000", "1"},
                      StoredText{"port_missing", "COMPort", nullptr, "1"},
                      StoredText{"buffer_negative", "COMInBufferSize", "-4096", "-4096"},
                      StoredText{"buffer_empty", "COMInBufferSize", "", "2048"},
                      StoredText{"level_255", "IndFailActLev", "255", "255"},
                      StoredText{"level_256", "IndFailActLev", "256", "0"},
                      StoredText{"text_missing", "COMSettings", nullptr, ""}),
    [](const ::testing::TestParamInfo<StoredText>& info) { return std::string(info.param.name); });

TEST_F(ProfileTest, CreateProfileCopiesDefaultOverExistingKeys)
{
    CreateDefaultProfile();
    ASSERT_TRUE(SettingsStore::Write("Default", "COMPort", "3"));
    WriteProfile("Bench", EveryFieldChanged());
    ASSERT_TRUE(SettingsStore::Write("Bench", "Extra", "kept"));
    CreateProfile("Bench");
    EXPECT_EQ(SettingsStore::Read("Profiles", "Bench", ""), "Bench");
    Pairs expected = kDefaultSection;
    expected[0].second = "3";
    expected.append(QPair<QString, QString>("Extra", "kept"));
    EXPECT_EQ(SettingsStore::ListSection("Bench"), expected);

    CreateProfile("Default");
    EXPECT_EQ(SettingsStore::ListSection("Profiles"), (Pairs{{"Default", "Default"}, {"Bench", "Bench"}}));
    EXPECT_EQ(SettingsStore::Read("Default", "COMPort", ""), "3");
}
