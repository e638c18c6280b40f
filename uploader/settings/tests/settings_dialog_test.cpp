// The Settings window, offscreen, over a temporary working folder.
#include "port.h"
#include "settings.h"
#include "settings_dialog.h"
#include "settings_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

const QByteArray kProgramFile =
    "; bench 3\n"
    "[INIFiles]\n"
    "language=US.ini\n"
    "languagenr=0\n"
    "[ComSettings]\n"
    "comport=3\n"
    "baudrate=38400\n"
    "[LANGUAGEFILES]\n"
    "language0=English\n"
    "language0file=US.ini\n"
    "language1=Deutsch\n"
    "language1file=DE.ini\n";

class SettingsWindow : public WorkingFolder {
protected:
    void start(const QByteArray& programFile)
    {
        put(QStringLiteral("Quorra.ini"), programFile);
        put(QStringLiteral("US.ini"), "[Messages]\nbootmode=Bootstrap please.\n");
        put(QStringLiteral("DE.ini"),
            "[Buttons]\ncancel=Abbrechen\nport=Schnittstelle\nbaudrate=Baudrate\n"
            "languagestring=Sprache\n[Messages]\nbootmode=Bitte in den Bootstrap-Modus bringen.\n");
        LoadStartUpSettings();
    }
    static void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    static QString bootmode()
    {
        return LookupText(QStringLiteral("Messages"), QStringLiteral("bootmode"),
                          QStringLiteral("Please bring the device into bootstrap mode."));
    }
};

TEST_F(SettingsWindow, ShowsStoredValues)
{
    start(kProgramFile);
    SettingsDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(dialog.portList->currentText(), QStringLiteral("COM3"));
    EXPECT_EQ(dialog.baudList->currentText(), QStringLiteral("38400"));
    ASSERT_EQ(dialog.languageList->count(), 2);
    EXPECT_EQ(dialog.languageList->itemText(1), QStringLiteral("Deutsch"));
    EXPECT_EQ(dialog.languageList->currentIndex(), 0);
    // The English file has no button texts: the built-in ones show.
    EXPECT_EQ(dialog.cancelButton->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dialog.portLabel->text(), QStringLiteral("Port"));
    EXPECT_EQ(dialog.baudLabel->text(), QStringLiteral("Baudrate"));
    EXPECT_EQ(dialog.languageLabel->text(), QStringLiteral("Language"));
    EXPECT_EQ(dialog.okButton->text(), QStringLiteral("OK"));
}

TEST_F(SettingsWindow, ValuesOutsideTheListsShowNoSelectionAndStayUnwritten)
{
    QByteArray file = kProgramFile;
    file.replace("comport=3", "comport=6").replace("baudrate=38400", "baudrate=4800")
        .replace("languagenr=0", "languagenr=7");
    start(file);
    SettingsDialog dialog;
    EXPECT_EQ(dialog.portList->currentIndex(), -1);
    EXPECT_EQ(dialog.baudList->currentIndex(), -1);
    EXPECT_EQ(dialog.languageList->currentIndex(), -1);

    dialog.show();
    click(dialog.okButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(get(QStringLiteral("Quorra.ini")), file);
    EXPECT_EQ(portState.portNumber, 6);
    EXPECT_EQ(portState.baudRate, 4800u);
}

TEST_F(SettingsWindow, OkStoresPortAndBaudKeepingTheRestOfTheFile)
{
    start(kProgramFile);
    SettingsDialog dialog;
    dialog.show();
    dialog.portList->setCurrentIndex(1);
    dialog.baudList->setCurrentIndex(4);
    click(dialog.okButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(portState.portNumber, 2);
    EXPECT_EQ(portState.baudRate, 57600u);
    // The language did not change, so its two keys are written with the values they had.
    EXPECT_EQ(get(QStringLiteral("Quorra.ini")),
              QByteArray(kProgramFile).replace("comport=3", "comport=2")
                  .replace("baudrate=38400", "baudrate=57600"));
}

TEST_F(SettingsWindow, ChoosingALanguageSwitchesTheTextsAtOnce)
{
    start(kProgramFile);
    EXPECT_EQ(bootmode(), QStringLiteral("Bootstrap please."));
    {
        SettingsDialog dialog;
        dialog.show();
        dialog.languageList->setCurrentIndex(1);
        click(dialog.okButton);
    }
    EXPECT_EQ(ReadProgram(QStringLiteral("INIFiles"), QStringLiteral("language"), QString()),
              QStringLiteral("DE.ini"));
    EXPECT_EQ(ReadProgram(QStringLiteral("INIFiles"), QStringLiteral("languagenr"), QString()),
              QStringLiteral("1"));
    EXPECT_EQ(languageIniPath, base() + QStringLiteral("DE.ini"));
    EXPECT_EQ(bootmode(), QStringLiteral("Bitte in den Bootstrap-Modus bringen."));

    // Opened again, the window is in the new language but keeps its caption and OK.
    SettingsDialog again;
    EXPECT_EQ(again.languageList->currentIndex(), 1);
    EXPECT_EQ(again.cancelButton->text(), QStringLiteral("Abbrechen"));
    EXPECT_EQ(again.portLabel->text(), QStringLiteral("Schnittstelle"));
    EXPECT_EQ(again.languageLabel->text(), QStringLiteral("Sprache"));
    EXPECT_EQ(again.windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(again.okButton->text(), QStringLiteral("OK"));
}

TEST_F(SettingsWindow, LanguageListStopsAtFirstNone)
{
    QByteArray file = kProgramFile;
    file.replace("language1=Deutsch", "language1=none");
    file += "language2=Dansk\nlanguage2file=DK.ini\n";
    start(file);
    SettingsDialog dialog;
    EXPECT_EQ(dialog.languageList->count(), 1);
}

TEST_F(SettingsWindow, LanguageWithoutFileChangesNothing)
{
    QByteArray file = kProgramFile;
    file.replace("language1file=DE.ini\n", "");
    start(file);
    SettingsDialog dialog;
    dialog.show();
    dialog.languageList->setCurrentIndex(1);
    click(dialog.okButton);
    EXPECT_EQ(languageIniPath, base() + QStringLiteral("US.ini"));
    EXPECT_EQ(get(QStringLiteral("Quorra.ini")), file);
}

TEST_F(SettingsWindow, CancelWritesNothing)
{
    start(kProgramFile);
    SettingsDialog dialog;
    dialog.show();
    dialog.portList->setCurrentIndex(0);
    dialog.baudList->setCurrentIndex(0);
    dialog.languageList->setCurrentIndex(1);
    click(dialog.cancelButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(get(QStringLiteral("Quorra.ini")), kProgramFile);
    EXPECT_EQ(portState.portNumber, 3);
    EXPECT_EQ(portState.baudRate, 38400u);
    EXPECT_EQ(languageIniPath, base() + QStringLiteral("US.ini"));
}

TEST_F(SettingsWindow, WithoutAnyFileShowsDefaults)
{
    LoadStartUpSettings();
    SettingsDialog dialog;
    EXPECT_EQ(dialog.portList->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(dialog.baudList->currentText(), QStringLiteral("19200"));
    EXPECT_EQ(dialog.languageList->count(), 0);
    dialog.show();
    click(dialog.okButton);
    EXPECT_EQ(get(QStringLiteral("Quorra.ini")), "[ComSettings]\ncomport=1\nbaudrate=19200\n");
}

}  // namespace
