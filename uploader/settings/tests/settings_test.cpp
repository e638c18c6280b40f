// Start-up settings and the text lookup, in a temporary working folder.
#include "port.h"
#include "settings.h"
#include "settings_fixture.h"

#include <string>

namespace {

using StartUp = WorkingFolder;

TEST_F(StartUp, WithoutFilesUsesDefaults)
{
    LoadStartUpSettings();
    EXPECT_EQ(baseDirectory, base());
    EXPECT_EQ(programIniPath, base() + QStringLiteral("Quorra.ini"));
    EXPECT_EQ(languageIniPath, base() + QStringLiteral("US.ini"));
    EXPECT_EQ(customerIniPath, base() + QStringLiteral("QX.ini"));
    EXPECT_EQ(portState.portNumber, 1);
    EXPECT_EQ(portState.baudRate, 19200u);
    EXPECT_EQ(portState.handle, nullptr);
    EXPECT_EQ(LookupText(QStringLiteral("Buttons"), QStringLiteral("comsettings"),
                         QStringLiteral("COM Settings")),
              QStringLiteral("COM Settings"));
    EXPECT_EQ(ReadCustomer(QStringLiteral("Buttons"), QStringLiteral("Button1"),
                           QStringLiteral("VR-10"), 266),
              QStringLiteral("VR-10"));
    EXPECT_EQ(get(QStringLiteral("Quorra.ini")), QByteArray("<no file>"));  // nothing written
}

TEST_F(StartUp, FileNamesComeFromProgramFile)
{
    put(QStringLiteral("Quorra.ini"), "[INIFiles]\nlanguage=DE.ini\ncustomer=QY.ini\n");
    put(QStringLiteral("DE.ini"), "[Buttons]\nstart=LOS\n");
    put(QStringLiteral("QY.ini"), "[Dirs]\nDir2=Model20\n");
    LoadStartUpSettings();
    EXPECT_EQ(languageIniPath, base() + QStringLiteral("DE.ini"));
    EXPECT_EQ(customerIniPath, base() + QStringLiteral("QY.ini"));
    EXPECT_EQ(LookupText(QStringLiteral("Buttons"), QStringLiteral("start"), QStringLiteral("START")),
              QStringLiteral("LOS"));
    EXPECT_EQ(ReadCustomer(QStringLiteral("Dirs"), QStringLiteral("Dir2"), QStringLiteral("VR20")),
              QStringLiteral("Model20"));
}

TEST_F(StartUp, LookupReadsTheFileAfreshEachTime)
{
    LoadStartUpSettings();
    const auto lookup = [] {
        return LookupText(QStringLiteral("Errors"), QStringLiteral("wronganswer"),
                          QStringLiteral("Received wrong answer, aborting download"));
    };
    EXPECT_EQ(lookup(), QStringLiteral("Received wrong answer, aborting download"));
    put(QStringLiteral("US.ini"), "[Errors]\nwronganswer=Wrong answer\n");
    EXPECT_EQ(lookup(), QStringLiteral("Wrong answer"));
}

struct PortCase {
    std::string name;
    QByteArray comport;   // empty: key absent
    QByteArray baudrate;  // empty: key absent
    int portNumber;
    uint32_t baudRate;
};

class StartUpPort : public WorkingFolder, public ::testing::WithParamInterface<PortCase> {};

TEST_P(StartUpPort, ParsesLikeTheStoredNumbers)
{
    const PortCase& c = GetParam();
    QByteArray file = "[ComSettings]\n";
    if (!c.comport.isNull())
        file += "comport=" + c.comport + "\n";
    if (!c.baudrate.isNull())
        file += "baudrate=" + c.baudrate + "\n";
    put(QStringLiteral("Quorra.ini"), file);
    LoadStartUpSettings();
    EXPECT_EQ(portState.portNumber, c.portNumber);
    EXPECT_EQ(portState.baudRate, c.baudRate);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartUpPort,
    ::testing::Values(PortCase{"stored_values", "3", "38400", 3, 38400},
                      PortCase{"absent_keys", QByteArray(), QByteArray(), 1, 19200},
                      PortCase{"port_257_is_com1", "257", "57600", 1, 57600},
                      PortCase{"leading_blanks_and_trailing_text", "\t 4abc", " 9600 baud", 4, 9600},
                      PortCase{"not_numbers_keep_initial_state", "abc", "fast", 1, 9600},
                      PortCase{"empty_values_keep_initial_state", "", "", 1, 9600},
                      PortCase{"baud_4800_kept", "2", "4800", 2, 4800},
                      PortCase{"sign_like_atoi", "+2", "+14400", 2, 14400}),
    [](const auto& info) { return info.param.name; });

TEST(ParseLeadingNumber, HugeNumberWrapsWithoutFault)
{
    EXPECT_EQ(ParseLeadingNumber(QStringLiteral("4294967297")), std::optional<uint32_t>(1u));
    EXPECT_EQ(ParseLeadingNumber(QStringLiteral("-")), std::nullopt);
}

}  // namespace
