#include "main_window_fixture.h"

#include "frm_profile_properties.h"

#include <QAction>
#include <QListWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>

// ---- Command line -----------------------------------------------------------------------------

struct CommandLineCase {
    const char* name;
    const char* commandLine;
    const char* profile;  // CurrentProfile.Name afterwards
};

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, NamesTheStartProfile)
{
    CurrentProfile = ProfileRecord{};
    ParseCommandLine(QString::fromUtf8(GetParam().commandLine));
    EXPECT_EQ(CurrentProfile.Name, QString::fromUtf8(GetParam().profile));
    CurrentProfile = ProfileRecord{};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLine,
    ::testing::Values(CommandLineCase{"empty", "", ""},
                      CommandLineCase{"profile", "/PWorkshop", "Workshop"},
                      CommandLineCase{"inner_blank_kept", "/P Bench 2 ", "Bench 2"},
                      CommandLineCase{"lower_case_after_other_item", "/x /pTest", "Test"},
                      CommandLineCase{"last_one_counts", "/PFirst /PSecond", "Second"},
                      CommandLineCase{"letter_alone", "/P", ""},
                      CommandLineCase{"only_first_letter_is_option", "/Profile=X", "rofile=X"},
                      CommandLineCase{"no_slash_is_one_item", "PShop", "Shop"},
                      CommandLineCase{"leading_blanks", "  /   P  Line 1", "Line 1"},
                      CommandLineCase{"apostrophe", "/PO'Brien", "O'Brien"},
                      CommandLineCase{"other_items_only", "/x /y", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VersionTextTest, ReadsMajorMinorAndBuild)
{
    EXPECT_EQ(VersionText(), "V1.3, Build 3");
}

// ---- Start-up and shutdown ----------------------------------------------------------------------

class MainWindowStartup : public MainWindowFixture {};

TEST_F(MainWindowStartup, BadPortShowsCommErrorThenNotRespondingAndEndsReady)
{
    qputenv("COM1", QByteArray("/nonexistent/ttyBramlet"));
    ModalAnswerer answerer;
    bool eraseEnabledDuringReset = true;
    bool windowEnabledDuringReset = true;
    QImage panelsDuringReset;
    RecordingMain window(kFastTickMs);
    auto panels = [&window] { return Child<QWidget>(window, "sta")->grab().toImage(); };
    answerer.onBox = [&](const SeenBox& box) {
        if (box.text == NotResponding()) {
            eraseEnabledDuringReset = Child<QPushButton>(window, "cmdC167EraseProgram")->isEnabled();
            windowEnabledDuringReset = window.isEnabled();
            panelsDuringReset = panels();
        }
    };
    EXPECT_FALSE(Child<QPushButton>(window, "cmdC167EraseProgram")->isEnabled());
    window.Load(QString());

    ASSERT_EQ(answerer.Boxes().size(), 2u);
    EXPECT_EQ(answerer.Boxes()[0].text,
              "Comm port error.\nPlease choose another COMM Port\nin the Profile..., Properties menu");
    EXPECT_EQ(answerer.Boxes()[0].title, QCoreApplication::applicationName());
    EXPECT_EQ(answerer.Boxes()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(answerer.Boxes()[1].text, NotResponding());
    EXPECT_EQ(answerer.Boxes()[1].title, Caption("Default"));
    EXPECT_FALSE(eraseEnabledDuringReset);
    EXPECT_FALSE(windowEnabledDuringReset);

    EXPECT_EQ(window.windowTitle(), Caption("Default"));
    EXPECT_EQ(window.StatusText(2), "V1.3, Build 3");
    EXPECT_EQ(window.StatusText(1), "Ready");
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isEnabled());
    // The status texts read the same while the window is locked as after.
    EXPECT_EQ(panelsDuringReset, panels());
    EXPECT_TRUE(Child<QPushButton>(window, "cmdC167EraseProgram")->isEnabled());
    EXPECT_TRUE(Child<QRadioButton>(window, "CpuFlash")->isChecked());
    EXPECT_EQ(Child<QLineEdit>(window, "txtC167ApplFile")->text(), "Appl.sre");
    EXPECT_TRUE(Child<QWidget>(window, "fraTab1")->isVisible());
    EXPECT_FALSE(Child<QWidget>(window, "fraMonitor")->isVisible());
    EXPECT_EQ(SettingsStore::ListSection("Profiles").size(), 1);

    EXPECT_TRUE(window.close());
    EXPECT_TRUE(window.IsShutDown());
    EXPECT_EQ(SettingsStore::Read("General", "ProfileLastUsed", "none"), "Default");
}

struct StartProfileCase {
    const char* name;
    const char* commandLine;
    const char* lastUsed;  // nullptr: not stored
    const char* expected;  // profile read and shown
    bool warns;
};

class MainWindowStartProfile : public MainWindowFixture,
                               public ::testing::WithParamInterface<StartProfileCase> {};

TEST_P(MainWindowStartProfile, ChoosesReadsAndSavesIt)
{
    SilentTarget target;
    qputenv("COM1", target.Path());
    CreateDefaultProfile();
    for (const char* name : {"Workshop", "Line 2"}) {
        CreateProfile(name);
        SettingsStore::Write(name, "COMSettings", QStringLiteral("%1,N,8,1").arg(name == QString("Workshop") ? 19200 : 9600));
    }
    if (GetParam().lastUsed)
        SettingsStore::Write("General", "ProfileLastUsed", GetParam().lastUsed);

    ModalAnswerer answerer;
    {
        RecordingMain window(kFastTickMs);
        window.Load(QString::fromUtf8(GetParam().commandLine));
        const QString expected = QString::fromUtf8(GetParam().expected);
        EXPECT_EQ(window.windowTitle(), Caption(expected));
        EXPECT_EQ(CurrentProfile.Name, expected);
        const QString warning = "The Profile '" + expected + "' is not a valid Profile!";
        const bool warned = !answerer.Boxes().empty() && answerer.Boxes()[0].text == warning;
        EXPECT_EQ(warned, GetParam().warns) << answerer.Texts().join(" | ").toStdString();
        if (warned) {
            EXPECT_EQ(answerer.Boxes()[0].title, "Altamar Controller Programming Tool");
        }
        if (expected == "Workshop") {
            EXPECT_EQ(CurrentProfile.COMSettings, "19200,N,8,1");
        }
        if (expected == "Line 2") {
            EXPECT_EQ(CurrentProfile.COMSettings, "9600,N,8,1");
        }
        window.close();
    }
    EXPECT_EQ(SettingsStore::Read("General", "ProfileLastUsed", "none"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MainWindowStartProfile,
    ::testing::Values(StartProfileCase{"command_line", "/PWorkshop", "Line 2", "Workshop", false},
                      StartProfileCase{"last_used", "", "Line 2", "Line 2", false},
                      StartProfileCase{"first_start", "", nullptr, "Default", false},
                      StartProfileCase{"command_line_case", "/pworkshop", nullptr, "workshop", false},
                      StartProfileCase{"unregistered", "/PGhost", nullptr, "Ghost", true},
                      StartProfileCase{"deleted_last_used", "", "Gone", "Gone", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowStartup, SilentTargetGetsTheZeroByteAndTheNotRespondingBox)
{
    SilentTarget target;
    qputenv("COM1", target.Path());
    ModalAnswerer answerer;
    RecordingMain window(kFastTickMs);
    window.Load(QString());
    EXPECT_EQ(answerer.Texts(), QStringList{NotResponding()});
    EXPECT_EQ(answerer.Boxes()[0].title, Caption("Default"));
    EXPECT_EQ(target.Drain(1000), QByteArray(1, '\0'));

    // Reset does the same again, and the window ends enabled.
    answerer.Clear();
    QTest::mouseClick(Child<QPushButton>(window, "cmdReset"), Qt::LeftButton);
    EXPECT_EQ(answerer.Texts(), QStringList{NotResponding()});
    EXPECT_EQ(target.Drain(1000), QByteArray(1, '\0'));
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(Child<QPushButton>(window, "cmdReset")->isEnabled());
    EXPECT_TRUE(Child<QMenu>(window, "mnuProfile")->menuAction()->isEnabled());
}

TEST_F(MainWindowStartup, CloseDuringAnOperationHappensWhenItEnds)
{
    SilentTarget target;
    qputenv("COM1", target.Path());
    ModalAnswerer answerer;
    RecordingMain window(kFastTickMs);
    bool closedDuringReset = true;
    answerer.onBox = [&](const SeenBox&) {
        window.close();
        closedDuringReset = window.IsShutDown();
    };
    window.Load(QString());
    EXPECT_FALSE(closedDuringReset);
    QTRY_VERIFY(window.IsShutDown());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(SettingsStore::Read("General", "ProfileLastUsed", "none"), "Default");
}

// ---- Erase & Program page without a target -----------------------------------------------------

class MainWindowPage : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        qputenv("COM1", target_.Path());
        window_ = std::make_unique<RecordingMain>(kFastTickMs);
        window_->Load(QString());
        answerer_.Clear();
        target_.Drain(1000);
    }
    void TearDown() override
    {
        window_.reset();
        MainWindowFixture::TearDown();
    }
    SilentTarget target_;
    ModalAnswerer answerer_;
    std::unique_ptr<RecordingMain> window_;
};

TEST_F(MainWindowPage, MissingApplicationFileSendsNothingAndSavesNothing)
{
    const auto before = SettingsStore::ListSection("Default");
    auto* field = Child<QLineEdit>(*window_, "txtC167ApplFile");
    field->clear();
    QTest::keyClicks(field, "missing.sre");
    EXPECT_EQ(CurrentProfile.C167ApplFile, "missing.sre");
    QTest::mouseClick(Child<QPushButton>(*window_, "cmdC167EraseProgram"), Qt::LeftButton);

    ASSERT_EQ(answerer_.Boxes().size(), 1u);
    EXPECT_EQ(answerer_.Boxes()[0].text, "Error loading file. Please check the Appl. File name");
    EXPECT_EQ(answerer_.Boxes()[0].title, QCoreApplication::applicationName());
    EXPECT_EQ(answerer_.Boxes()[0].icon, QMessageBox::Warning);
    EXPECT_EQ(target_.Drain(50), QByteArray());
    EXPECT_EQ(SettingsStore::ListSection("Default"), before);
    EXPECT_TRUE(Child<QPushButton>(*window_, "cmdC167EraseProgram")->isEnabled());
}

TEST_F(MainWindowPage, BrowseSetsTheChosenFileAndCancelKeepsItWithTheFolderRestored)
{
    QFile file(work_.filePath("chosen.sre"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString folder = QDir::currentPath();
    auto* field = Child<QLineEdit>(*window_, "txtC167ApplFile");

    QString title;
    QStringList filters;
    answerer_.onFileDialog = [&](QFileDialog* dialog) {
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        // As an operator types the name into the dialog's file name field and presses Open.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(work_.filePath("chosen.sre"));
        static_cast<QDialog*>(dialog)->accept();
    };
    QTest::mouseClick(Child<QPushButton>(*window_, "cmdC167ApplFileBrowse"), Qt::LeftButton);
    EXPECT_EQ(title, "Select a File");
    EXPECT_EQ(filters, QStringList({"S-Record File (*.sre)", "Binary File (*.bin)"}));
    EXPECT_EQ(field->text(), work_.filePath("chosen.sre"));
    EXPECT_EQ(CurrentProfile.C167ApplFile, work_.filePath("chosen.sre"));
    EXPECT_EQ(QDir::currentPath(), folder);

    answerer_.onFileDialog = [](QFileDialog* dialog) {
        QDir::setCurrent(QDir::tempPath());  // as a dialog may do
        dialog->reject();
    };
    QTest::mouseClick(Child<QPushButton>(*window_, "cmdC167ApplFileBrowse"), Qt::LeftButton);
    EXPECT_EQ(field->text(), work_.filePath("chosen.sre"));
    EXPECT_EQ(QDir::currentPath(), folder);
}

TEST_F(MainWindowPage, MonitorAddressFieldsTakeHexDigitsOnly)
{
    auto* from = Child<QLineEdit>(*window_, "txtMonitorAddressFrom");
    ASSERT_NE(from, nullptr);
    QTest::keyClicks(from, "1g2-aFz345678");
    EXPECT_EQ(from->text(), "12aF34");
}

TEST_F(MainWindowPage, ControlsCarryTheirNames)
{
    for (const char* name : {"Tab1", "fraTab1", "cmdReset", "sta", "staPanel1", "staPanel2",
                             "staPanel3", "fraC167Program", "CpuFlash", "ExternalFlash",
                             "DataFlash", "lblC167ApplFile", "txtC167ApplFile",
                             "cmdC167ApplFileBrowse", "cmdC167EraseProgram", "Timer1", "dlg",
                             "fraMonitor", "mnuProfile", "mnuProperties", "mnuExit"})
        EXPECT_NE(window_->findChild<QObject*>(name), nullptr) << name;
    EXPECT_EQ(Child<QMenu>(*window_, "mnuProfile")->title(), "&File");
    EXPECT_EQ(Child<QPushButton>(*window_, "cmdC167EraseProgram")->text(), "Er&ase && Program");
    EXPECT_EQ(Child<QTabBar>(*window_, "Tab1")->tabText(0), "&C167");
}

TEST_F(MainWindowPage, ProfileManagerOpensModallyIsKeptAndExitStillEnds)
{
    auto* properties = window_->findChild<QAction*>("mnuProperties");
    properties->trigger();
    properties->trigger();
    EXPECT_EQ(answerer_.Dialogs().size(), 2);
    EXPECT_EQ(window_->findChildren<QDialog*>(QString(), Qt::FindDirectChildrenOnly).size(), 2)
        << "the file dialog and one Profile Manager";
    window_->findChild<QAction*>("mnuExit")->trigger();
    EXPECT_TRUE(window_->IsShutDown());
    EXPECT_FALSE(window_->isVisible());
}

// After the Profile Manager applies another profile, the field keeps the name it showed, while
// Erase & Program checks the file the applied profile names, and the not-responding box names it.
TEST_F(MainWindowPage, AppliedProfileIsWhatErasePrograms)
{
    QFile shown(work_.filePath("Appl.sre"));
    ASSERT_TRUE(shown.open(QIODevice::WriteOnly));
    shown.close();
    CreateProfile("Line 2");
    SettingsStore::Write("Line 2", "C167ApplFile", "line2.sre");  // no such file
    answerer_.onDialog = [](QDialog* dialog) {
        auto* manager = qobject_cast<frmProfileProperties*>(dialog);
        ASSERT_NE(manager, nullptr);
        const auto found = manager->lstProfiles->findItems("Line 2", Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        manager->lstProfiles->setCurrentItem(found.first());
        manager->cmdOK->click();
    };
    window_->findChild<QAction*>("mnuProperties")->trigger();
    EXPECT_EQ(window_->windowTitle(), Caption("Line 2"));
    EXPECT_EQ(Child<QLineEdit>(*window_, "txtC167ApplFile")->text(), "Appl.sre");
    target_.Drain(200);  // the port was reopened

    QTest::mouseClick(Child<QPushButton>(*window_, "cmdC167EraseProgram"), Qt::LeftButton);
    EXPECT_EQ(answerer_.Texts(), QStringList{"Error loading file. Please check the Appl. File name"});
    EXPECT_EQ(target_.Drain(50), QByteArray());

    answerer_.Clear();
    QTest::mouseClick(Child<QPushButton>(*window_, "cmdReset"), Qt::LeftButton);
    ASSERT_EQ(answerer_.Texts(), QStringList{NotResponding()});
    EXPECT_EQ(answerer_.Boxes()[0].title, Caption("Line 2"));
}

// A long status text (a file chosen with its full path) neither widens the fixed window nor
// loses its end: the panel leaves out the middle, and the text itself stays whole.
TEST_F(MainWindowPage, LongStatusTextShowsItsStartAndEnd)
{
    const QSize size = window_->size();
    const QString text = "C167: Sending Loader /home/operator/projects/line-2/loaders/current/"
                         "LoaderC167.sre Part 2 ..., Done";
    window_->SetStatusText(1, text);
    QCoreApplication::processEvents();
    EXPECT_EQ(window_->size(), size);
    EXPECT_EQ(window_->StatusText(1), text);
    auto* panel = Child<StatusPanel>(*window_, "staPanel1");
    const QString shown = panel->ShownText();
    EXPECT_TRUE(shown.startsWith("C167: Sending")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("..., Done")) << shown.toStdString();
    EXPECT_LT(panel->fontMetrics().horizontalAdvance(shown), panel->width());

    window_->SetStatusText(1, "Ready");
    EXPECT_EQ(panel->ShownText(), "Ready");
}
