// The Profile Manager: first opening, change marking, Apply / OK / Cancel, the profile list,
// the key filters, the file dialog and what the window makes of stored values it does not offer.
#include "window_fixture.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

QStringList ListNames(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

int RowOf(const QListWidget* list, const QString& name)
{
    return static_cast<int>(ListNames(list).indexOf(name));
}

void Choose(QComboBox* list, const QString& entry)
{
    const int index = list->findText(entry);
    ASSERT_GE(index, 0) << entry.toStdString();
    list->setCurrentIndex(index);
}

}  // namespace

using ProfileManager = ProfileWindowFixture;

TEST_F(ProfileManager, FirstOpeningShowsTheDefaultProfileWithApplyDisabled)
{
    frmProfileProperties& w = Open();

    EXPECT_EQ(w.windowTitle(), "Profile Manager");
    EXPECT_EQ(w.windowIcon().cacheKey(), main.icon.cacheKey());
    EXPECT_EQ(w.cboCPU->currentText(), "C167");
    EXPECT_EQ(w.cboCOMPort->currentText(), "1");
    EXPECT_EQ(w.cboCOMBaudRate->currentText(), "38400");
    EXPECT_EQ(w.cboCOMDataBits->currentText(), "8");
    EXPECT_EQ(w.cboCOMParity->currentText(), "None");
    EXPECT_EQ(w.cboCOMStopBits->currentText(), "1");
    EXPECT_FALSE(w.cmdApply->isEnabled());
    EXPECT_TRUE(warnings.isEmpty());

    // One tab; only its page is shown; the rest of the form is there but hidden.
    ASSERT_EQ(w.Tab1->count(), 1);
    EXPECT_EQ(w.Tab1->tabText(0), "&General");
    EXPECT_EQ(w.CurrentPage(), 1);
    EXPECT_TRUE(w.fraTab1[1]->isVisible());
    for (int i = 2; i <= frmProfileProperties::PageCount; ++i)
        EXPECT_FALSE(w.fraTab1[i]->isVisible()) << i;
    EXPECT_TRUE(w.fraOverview->isHidden());
    EXPECT_TRUE(w.txtPreLoaderFile->isHidden());
    EXPECT_TRUE(w.txtCOMInBuffersize->isHidden());
    EXPECT_FALSE(w.txtCOMInBuffersize->isEnabled());
    EXPECT_TRUE(w.cmdOK->isDefault());
    EXPECT_EQ(w.cboCOMParity->itemText(0), "Even");
    EXPECT_EQ(w.cboCOMBaudRate->count(), 8);
    EXPECT_EQ(w.txtIndBusyMask->maxLength(), 4);
    EXPECT_EQ(w.txtIndFailActLev->maxLength(), 1);
    EXPECT_EQ(w.txtDS1994ApplFileOffset->maxLength(), 8);
    // Every control is found by its form name.
    for (const char* name : {"lstProfiles", "cmdNew", "cmdDelete", "cmdCancel", "dlg", "fraIndBusy",
                             "txtAT45D0x1ApplFile", "cmdDS1994LoaderFileBrowse", "cmdPreLoaderFileBrowse"})
        EXPECT_NE(w.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;

    // Clicking the only tab again keeps its page.
    emit w.Tab1->tabBarClicked(0);
    EXPECT_TRUE(w.fraTab1[1]->isVisible());
}

TEST_F(ProfileManager, BaudChangeEnablesApplyWhichWritesMakesCurrentAndReopensThePort)
{
    OpenCommPort(main.comm, main.host);
    ASSERT_TRUE(main.comm.PortOpen());
    ASSERT_EQ(pty_.LineSpeed(), static_cast<speed_t>(B38400));

    frmProfileProperties& w = Open();
    // The operator moves down the list with the keyboard: 38400 -> 57600.
    w.cboCOMBaudRate->setFocus();
    QTest::keyClick(w.cboCOMBaudRate, Qt::Key_Down);
    ASSERT_EQ(w.cboCOMBaudRate->currentText(), "57600");
    EXPECT_TRUE(w.cmdApply->isEnabled());

    QTest::mouseClick(w.cmdApply, Qt::LeftButton);

    EXPECT_EQ(StoredDefault("COMSettings"), "57600,N,8,1");
    EXPECT_EQ(CurrentProfile.COMSettings, "57600,N,8,1");
    EXPECT_EQ(main.captions, QStringList{"Default"});
    EXPECT_TRUE(main.comm.PortOpen());
    EXPECT_EQ(main.comm.Settings, "57600,N,8,1");
    EXPECT_EQ(pty_.LineSpeed(), static_cast<speed_t>(B57600));
    EXPECT_TRUE(main.host.messages.isEmpty()) << main.host.messages.join('|').toStdString();
    // Apply leaves the window open and the button as it was.
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.cmdApply->isEnabled());
}

TEST_F(ProfileManager, CPUOnlyChangeLeavesApplyDisabledButOKWritesIt)
{
    frmProfileProperties& w = Open();
    Choose(w.cboCPU, "ST10F168");
    EXPECT_FALSE(w.cmdApply->isEnabled());

    QTest::mouseClick(w.cmdOK, Qt::LeftButton);

    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(StoredDefault("ProcessorCode"), "ST10F168");
    EXPECT_EQ(CurrentProfile.ProcessorCode, "ST10F168");
    EXPECT_EQ(main.captions.size(), 1);
}

// Apply carries every value of the profile through, the hidden ones included; the three port
// flags come from the current profile and the C168 loader is always the fixed one.
TEST_F(ProfileManager, ApplyCarriesEveryStoredValueThrough)
{
    const QList<QPair<QString, QString>> stored = {
        {"COMPort", "2"},
        {"COMInBufferSize", "4096"},
        {"COMOutBufferSize", "1024"},
        {"COMSettings", "9600,O,7,2"},
        {"IndBusyDataAddr", "FFC0"},
        {"IndBusyDirAddr", "FFC2"},
        {"IndBusyOpenDrainAddr", "F1C0"},
        {"IndBusyMask", "0001"},
        {"IndBusyActLev", "1"},
        {"IndFailDataAddr", "ffd0"},
        {"IndFailDirAddr", "FFD2"},
        {"IndFailOpenDrainAddr", "F1D0"},
        {"IndFailMask", "0002"},
        {"IndFailActLev", "0"},
        {"PreLoaderFile", "/opt/line 1/pre.bin"},
        {"AMD29F0x0LoaderFile", "la.sre"},
        {"AMD29F0x0ApplFile", "ext appl.sre"},
        {"AMD29F0x0ApplFileOffset", "00010000"},
        {"AT45D0x1LoaderFile", "ld.sre"},
        {"AT45D0x1ApplFile", "data.bin"},
        {"AT45D0x1ApplFileOffset", ""},
        {"C167LoaderFile", "lc.sre"},
        {"C167ApplFile", "appl.sre"},
        {"C167ApplFileOffset", "7FFF00001"},  // longer than the field's typing limit
        {"DS1994LoaderFile", "l94.sre"},
        {"DS1994ApplFile", "a94.sre"},
        {"DS1994ApplFileOffset", "1"},
        {"ProcessorCode", "ST10F168"},
    };
    ASSERT_TRUE(SettingsStore::WriteMany("Default", stored));
    ASSERT_TRUE(SettingsStore::Write("Default", "C168LoaderFile", "Mine.sre"));
    ASSERT_TRUE(SettingsStore::Write("Default", "COMDTREnable", "False"));
    ReadProfile("Default", CurrentProfile);
    CurrentProfile.COMDTREnable = true;
    CurrentProfile.COMNullDiscard = true;

    frmProfileProperties& w = Open();
    QTest::mouseClick(w.cmdOK, Qt::LeftButton);

    for (const auto& [key, value] : stored)
        EXPECT_EQ(StoredDefault(key), value) << key.toStdString();
    EXPECT_EQ(StoredDefault("C168LoaderFile"), "LoaderC168.sre");
    EXPECT_EQ(StoredDefault("COMDTREnable"), "True");
    EXPECT_EQ(StoredDefault("COMNullDiscard"), "True");
    EXPECT_EQ(StoredDefault("COMHandshaking"), "False");
}

TEST_F(ProfileManager, CancelHidesAndKeepsTheEditsForTheNextOpening)
{
    frmProfileProperties& w = Open();
    Choose(w.cboCOMBaudRate, "9600");
    w.txtC167ApplFile->setText("edited.sre");
    QTest::mouseClick(w.cmdCancel, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(StoredDefault("COMSettings"), "38400,N,8,1");
    EXPECT_TRUE(main.captions.isEmpty());

    Open();
    EXPECT_EQ(w.cboCOMBaudRate->currentText(), "9600");
    EXPECT_EQ(w.txtC167ApplFile->text(), "edited.sre");
    EXPECT_TRUE(w.cmdApply->isEnabled());
    // Esc cancels too.
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());

    Open();
    QTest::mouseClick(w.cmdOK, Qt::LeftButton);
    EXPECT_EQ(StoredDefault("COMSettings"), "9600,N,8,1");
    EXPECT_EQ(StoredDefault("C167ApplFile"), "edited.sre");
}

// ---- Stored values: parity letters, values no list offers, short line settings ------------------

struct StoredValueCase {
    const char* name;
    const char* key;         // key of the "Default" profile written before the first opening
    const char* stored;
    const char* list;        // the drop-down list that shows it
    const char* shown;       // its text ("" = nothing selected)
    const char* writtenBack; // the key's value after Apply without an edit
    friend void PrintTo(const StoredValueCase& c, std::ostream* os) { *os << c.name; }
};

class StoredValues : public ProfileWindowFixture, public ::testing::WithParamInterface<StoredValueCase> {};

TEST_P(StoredValues, AreShownAndWrittenBack)
{
    const StoredValueCase& c = GetParam();
    ASSERT_TRUE(SettingsStore::Write("Default", c.key, c.stored));
    ReadProfile("Default", CurrentProfile);

    frmProfileProperties& w = Open();
    auto* list = w.findChild<QComboBox*>(QString::fromLatin1(c.list));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentText(), QString::fromLatin1(c.shown));
    EXPECT_FALSE(w.cmdApply->isEnabled());

    ASSERT_TRUE(w.Apply());
    EXPECT_EQ(StoredDefault(c.key), QString::fromLatin1(c.writtenBack));
}

INSTANTIATE_TEST_SUITE_P(
    ProfileManager, StoredValues,
    ::testing::Values(
        StoredValueCase{"parity_lower_e", "COMSettings", "38400,e,8,1", "cboCOMParity", "Even", "38400,E,8,1"},
        StoredValueCase{"parity_upper_E", "COMSettings", "38400,E,8,1", "cboCOMParity", "Even", "38400,E,8,1"},
        StoredValueCase{"parity_lower_o", "COMSettings", "38400,o,8,1", "cboCOMParity", "Odd", "38400,O,8,1"},
        StoredValueCase{"parity_upper_O", "COMSettings", "38400,O,8,1", "cboCOMParity", "Odd", "38400,O,8,1"},
        StoredValueCase{"parity_lower_n", "COMSettings", "38400,n,8,1", "cboCOMParity", "None", "38400,N,8,1"},
        // An unknown letter leaves the list as it was: nothing at the first load, no letter written.
        StoredValueCase{"parity_unknown_M", "COMSettings", "38400,M,8,1", "cboCOMParity", "", "38400,,8,1"},
        StoredValueCase{"baud_not_offered", "COMSettings", "115200,N,8,1", "cboCOMBaudRate", "115200",
                        "115200,N,8,1"},
        StoredValueCase{"data_bits_not_offered", "COMSettings", "38400,N,6,1", "cboCOMDataBits", "6",
                        "38400,N,6,1"},
        StoredValueCase{"settings_rate_only", "COMSettings", "19200", "cboCOMStopBits", "1", "19200,N,8,1"},
        StoredValueCase{"settings_two_parts", "COMSettings", "9600,E", "cboCOMDataBits", "8", "9600,E,8,1"},
        StoredValueCase{"settings_empty", "COMSettings", "", "cboCOMBaudRate", "38400", "38400,N,8,1"},
        StoredValueCase{"port_above_4", "COMPort", "7", "cboCOMPort", "7", "7"},
        StoredValueCase{"cpu_unknown", "ProcessorCode", "C166", "cboCPU", "C166", "C166"},
        StoredValueCase{"cpu_other_case", "ProcessorCode", "st10f168", "cboCPU", "st10f168", "st10f168"},
        StoredValueCase{"cpu_empty", "ProcessorCode", "", "cboCPU", "", ""}),
    [](const ::testing::TestParamInfo<StoredValueCase>& info) { return std::string(info.param.name); });

// A number field whose text does not convert keeps the value the profile was loaded with.
struct NumberFieldCase {
    const char* name;
    const char* field;
    const char* key;
    const char* stored;
    const char* typed;
    friend void PrintTo(const NumberFieldCase& c, std::ostream* os) { *os << c.name; }
};

class UnconvertibleNumbers : public ProfileWindowFixture,
                             public ::testing::WithParamInterface<NumberFieldCase> {};

TEST_P(UnconvertibleNumbers, KeepTheStoredValue)
{
    const NumberFieldCase& c = GetParam();
    ASSERT_TRUE(SettingsStore::Write("Default", c.key, c.stored));
    frmProfileProperties& w = Open();
    auto* field = w.findChild<QLineEdit*>(QString::fromLatin1(c.field));
    ASSERT_NE(field, nullptr);
    field->setText(QString::fromLatin1(c.typed));

    ASSERT_TRUE(w.Apply());
    EXPECT_EQ(StoredDefault(c.key), QString::fromLatin1(c.stored));
    EXPECT_EQ(field->text(), QString::fromLatin1(c.stored));
}

INSTANTIATE_TEST_SUITE_P(
    ProfileManager, UnconvertibleNumbers,
    ::testing::Values(NumberFieldCase{"emptied_active_level", "txtIndBusyActLev", "IndBusyActLev", "1", ""},
                      NumberFieldCase{"pasted_letter_level", "txtIndFailActLev", "IndFailActLev", "1", "x"},
                      NumberFieldCase{"buffer_size_text", "txtCOMInBuffersize", "COMInBufferSize", "4096", "abc"},
                      NumberFieldCase{"buffer_size_overflow", "txtCOMOutBuffersize", "COMOutBufferSize", "1024",
                                      "99999999999"}),
    [](const ::testing::TestParamInfo<NumberFieldCase>& info) { return std::string(info.param.name); });

// ---- The profile list -----------------------------------------------------------------------------------

TEST_F(ProfileManager, ProfileListSelectionAndDelete)
{
    CreateProfile("Shop");
    CreateProfile("aardvark");
    ASSERT_TRUE(SettingsStore::Write("Shop", "COMSettings", "9600,E,7,2"));
    ASSERT_TRUE(SettingsStore::Write("Shop", "COMPort", "2"));
    ASSERT_TRUE(SettingsStore::Write("Default", "COMPort", "7"));
    ReadProfile("Default", CurrentProfile);

    frmProfileProperties& w = Open();
    QListWidget* list = w.lstProfiles;
    EXPECT_EQ(ListNames(list), (QStringList{"aardvark", "Default", "Shop"}));
    EXPECT_EQ(list->currentItem()->text(), "Default");
    EXPECT_FALSE(w.cmdDelete->isEnabled());
    EXPECT_EQ(w.cboCOMPort->count(), 5);  // "7" added for the default profile

    // Another, non-current profile: its values are loaded and Apply is enabled.
    list->setCurrentRow(RowOf(list, "Shop"));
    EXPECT_TRUE(w.cmdDelete->isEnabled());
    EXPECT_TRUE(w.cmdApply->isEnabled());
    EXPECT_EQ(w.cboCOMBaudRate->currentText(), "9600");
    EXPECT_EQ(w.cboCOMParity->currentText(), "Even");
    EXPECT_EQ(w.cboCOMDataBits->currentText(), "7");
    EXPECT_EQ(w.cboCOMStopBits->currentText(), "2");
    EXPECT_EQ(w.cboCOMPort->currentText(), "2");
    EXPECT_EQ(w.cboCOMPort->count(), 4);  // the entry added for the other profile is gone

    QTest::mouseClick(w.cmdDelete, Qt::LeftButton);

    EXPECT_EQ(Stored("Profiles", "Shop"), "<missing>");
    EXPECT_TRUE(SettingsStore::ListSection("Shop").isEmpty());
    EXPECT_EQ(Stored("Profiles", "aardvark"), "aardvark");
    EXPECT_EQ(ListNames(list), (QStringList{"aardvark", "Default"}));
    EXPECT_EQ(list->currentItem()->text(), "Default");
    EXPECT_FALSE(w.cmdApply->isEnabled());
}

TEST_F(ProfileManager, UnregisteredCurrentProfileSelectsDefault)
{
    CreateProfile("Shop");
    CurrentProfile.Name = "Gone";
    frmProfileProperties& w = Open();
    ASSERT_NE(w.lstProfiles->currentItem(), nullptr);
    EXPECT_EQ(w.lstProfiles->currentItem()->text(), "Default");
    // Applying makes the selected profile current.
    EXPECT_TRUE(w.cmdApply->isEnabled());
    QTest::mouseClick(w.cmdApply, Qt::LeftButton);
    EXPECT_EQ(CurrentProfile.Name, "Default");
    EXPECT_EQ(main.captions, QStringList{"Default"});
}

TEST_F(ProfileManager, ApplyWithNoProfileListedWritesNothing)
{
    ASSERT_TRUE(SettingsStore::DeleteSection("Profiles"));
    frmProfileProperties& w = Open();
    EXPECT_EQ(w.lstProfiles->count(), 0);
    EXPECT_FALSE(w.cmdDelete->isEnabled());
    EXPECT_FALSE(w.Apply());
    EXPECT_EQ(main.host.messages, QStringList{"No profile is selected."});
    EXPECT_TRUE(main.captions.isEmpty());
    EXPECT_TRUE(SettingsStore::ListSection("").isEmpty());
}

// ---- Key filters and select-all ---------------------------------------------------------------------

struct KeyCase {
    const char* name;
    const char* field;
    const char* before;
    int key;   // Qt::Key
    char text; // the character typed, 0 for none
    const char* after;
    friend void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }
};

class KeyFilters : public ProfileWindowFixture, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(KeyFilters, KeepOnlyTheAllowedKeys)
{
    const KeyCase& c = GetParam();
    frmProfileProperties& w = Open();
    auto* field = w.findChild<QLineEdit*>(QString::fromLatin1(c.field));
    ASSERT_NE(field, nullptr);
    field->setText(QString::fromLatin1(c.before));
    if (c.text)
        QTest::keyClick(field, c.text);
    else
        QTest::keyClick(field, static_cast<Qt::Key>(c.key));
    EXPECT_EQ(field->text(), QString::fromLatin1(c.after));
}

INSTANTIATE_TEST_SUITE_P(
    ProfileManager, KeyFilters,
    ::testing::Values(KeyCase{"address_g_dropped", "txtIndBusyDataAddr", "", 0, 'g', ""},
                      KeyCase{"address_a_kept_lower", "txtIndBusyDataAddr", "", 0, 'a', "a"},
                      KeyCase{"address_C_kept", "txtIndFailDirAddr", "F", 0, 'C', "FC"},
                      KeyCase{"address_7_kept", "txtIndFailOpenDrainAddr", "", 0, '7', "7"},
                      KeyCase{"address_blank_dropped", "txtIndBusyMask", "1", 0, ' ', "1"},
                      KeyCase{"address_minus_dropped", "txtIndFailMask", "1", 0, '-', "1"},
                      KeyCase{"address_backspace", "txtIndBusyDirAddr", "12", Qt::Key_Backspace, 0, "1"},
                      KeyCase{"address_fifth_digit_dropped", "txtIndBusyOpenDrainAddr", "1234", 0, '5', "1234"},
                      KeyCase{"offset_f_kept", "txtC167ApplFileOffset", "0000", 0, 'f', "0000f"},
                      KeyCase{"offset_x_dropped", "txtAT45D0x1ApplFileOffset", "00", 0, 'x', "00"},
                      KeyCase{"offset_backspace", "txtDS1994ApplFileOffset", "00", Qt::Key_Backspace, 0, "0"},
                      KeyCase{"level_2_dropped", "txtIndBusyActLev", "", 0, '2', ""},
                      KeyCase{"level_a_dropped", "txtIndBusyActLev", "", 0, 'a', ""},
                      KeyCase{"level_1_kept", "txtIndBusyActLev", "", 0, '1', "1"},
                      KeyCase{"level_0_kept", "txtIndFailActLev", "", 0, '0', "0"},
                      KeyCase{"level_backspace", "txtIndFailActLev", "1", Qt::Key_Backspace, 0, ""},
                      KeyCase{"file_field_unfiltered", "txtC167ApplFile", "a", 0, 'g', "ag"}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST_F(ProfileManager, TextFieldsSelectTheirWholeTextOnFocus)
{
    frmProfileProperties& w = Open();
    for (QLineEdit* field : {w.txtC167ApplFileOffset, w.txtIndFailActLev, w.txtDS1994ApplFile}) {
        field->setText("00000000");
        field->setCursorPosition(2);
        QFocusEvent focusIn(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(field, &focusIn);
        QTRY_COMPARE(field->selectedText(), field->text());
    }
}

// ---- The file dialog --------------------------------------------------------------------------------

TEST_F(ProfileManager, BrowseButtonsPutTheChosenFileIntoTheirFieldAndCancelKeepsIt)
{
    const QString file = dir_.filePath("appl.bin");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    frmProfileProperties& w = Open();

    QString title;
    QStringList filters;
    AnswerModal<QFileDialog>([&](QFileDialog* d) {
        title = d->windowTitle();
        filters = d->nameFilters();
        // The operator puts the path into the dialog's file name field and confirms it. (Typed
        // key by key, the name would open the field's completer, which may take the Enter.)
        auto* name = d->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(file);
        static_cast<QDialog*>(d)->accept();
    });
    w.findChild<QPushButton*>("cmdC167ApplFileBrowse")->click();
    EXPECT_EQ(title, "Select a File");
    EXPECT_EQ(filters, (QStringList{"S-Record File (*.sre)", "Binary File (*.bin)"}));
    EXPECT_EQ(w.txtC167ApplFile->text(), file);
    EXPECT_TRUE(w.cmdApply->isEnabled());

    AnswerModal<QFileDialog>([&](QFileDialog* d) {
        filters = d->nameFilters();
        d->reject();
    });
    w.findChild<QPushButton*>("cmdPreLoaderFileBrowse")->click();
    EXPECT_EQ(filters, QStringList{"Binary File (*.bin)"});
    EXPECT_EQ(w.txtPreLoaderFile->text(), "PreLoad.bin");
}

TEST(ProfileManagerFilters, NameFiltersFromDescriptionPatternPairs)
{
    EXPECT_EQ(frmProfileProperties::NameFilters(frmProfileProperties::LoaderFilter),
              QStringList{"S-Record File (*.sre)"});
    EXPECT_EQ(frmProfileProperties::NameFilters("Images|*.bin;*.img|All|*.*"),
              (QStringList{"Images (*.bin *.img)", "All (*.*)"}));
    EXPECT_TRUE(frmProfileProperties::NameFilters("").isEmpty());
}
