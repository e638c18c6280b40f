// The main window against the simulated controller over a pseudo-terminal: exact bytes on the
// wire, the texts shown, and the simulator's flash after Erase & Program.
#include "main_window_fixture.h"
#include "module1.h"
#include "target_sim.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>

#include <map>

namespace {

constexpr int kLoaderBytes = 3072;
const QByteArray kReload("\x53\x52\x01\xFE", 4);

QByteArray ToBytes(const std::vector<uint8_t>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

// The image an S-record file puts into a memory of the given size (erased bytes FFh).
std::vector<uint8_t> ImageOfSRecords(const QString& path, uint32_t size)
{
    std::vector<uint8_t> image(size, 0xFF);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.size() < 4 || line[0] != 'S')
            continue;
        const int addressBytes = line[1] == '1' ? 2 : line[1] == '2' ? 3 : line[1] == '3' ? 4 : 0;
        if (addressBytes == 0)
            continue;
        const QByteArray bytes = QByteArray::fromHex(line.mid(2));
        uint32_t address = 0;
        for (int i = 0; i < addressBytes; ++i)
            address = address << 8 | static_cast<uint8_t>(bytes[1 + i]);
        for (int i = 1 + addressBytes; i < bytes.size() - 1; ++i)
            image.at(address++) = static_cast<uint8_t>(bytes[i]);
    }
    return image;
}

}  // namespace

class MainWindowSim : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        // Bare file names of the profile open relative to the working folder.
        QDir samples(QStringLiteral(SAMPLES_DIR));
        for (const QString& name : samples.entryList({"*.sre", "*.bin"}, QDir::Files))
            ASSERT_TRUE(QFile::copy(samples.filePath(name), work_.filePath(name)));
        ASSERT_TRUE(sim_.Start());
        qputenv("COM1", QByteArray::fromStdString(sim_.DevicePath()));
    }
    void TearDown() override
    {
        window_.reset();
        sim_.Stop();
        MainWindowFixture::TearDown();
    }
    void Start(const QString& commandLine = QString())
    {
        window_ = std::make_unique<RecordingMain>();
        window_->Load(commandLine);
        ASSERT_TRUE(answerer_.Boxes().empty()) << answerer_.Texts().join(" | ").toStdString();
    }
    QByteArray Received() const { return ToBytes(sim_.Received()); }
    void Click(const char* name) { QTest::mouseClick(Child<QWidget>(*window_, name), Qt::LeftButton); }

    targetsim::Controller sim_;  // the programming tool's target, unthrottled
    ModalAnswerer answerer_;
    std::unique_ptr<RecordingMain> window_;
};

TEST_F(MainWindowSim, StartupIdentifiesTheTargetAndDownloadsTheCpuLoader)
{
    Start();
    EXPECT_EQ(window_->panel1,
              QStringList({"Sending PreLoader PreLoad.bin ...",
                           "C167: Sending Loader LoaderC167.sre Part 1 ...",
                           "C167: Sending Loader LoaderC167.sre Part 2 ...",
                           "C167: Sending Loader LoaderC167.sre Part 2 ..., Done"}));
    QFile preLoader(work_.filePath("PreLoad.bin"));
    ASSERT_TRUE(preLoader.open(QIODevice::ReadOnly));
    const QByteArray received = Received();
    ASSERT_EQ(received.size(), 1 + preLoader.size() + kLoaderBytes);
    EXPECT_EQ(received.left(1), QByteArray(1, '\0'));
    EXPECT_EQ(received.mid(1, preLoader.size()), preLoader.readAll());
    EXPECT_EQ(sim_.GetStats().lastLoader, "CPU");
    EXPECT_TRUE(Child<QPushButton>(*window_, "cmdC167EraseProgram")->isEnabled());
}

TEST_F(MainWindowSim, OptionClickSavesDefaultAndReloadsTheLoaderOfThatMemory)
{
    Start();
    auto* field = Child<QLineEdit>(*window_, "txtC167ApplFile");
    field->setText("typed.sre");
    EXPECT_EQ(SettingsStore::Read("Default", "C167ApplFile", ""), "Appl.sre");
    sim_.ClearReceived();
    window_->panel1.clear();

    Click("ExternalFlash");
    EXPECT_EQ(field->text(), "ApplAMD29F0x0.sre");
    EXPECT_EQ(SettingsStore::Read("Default", "C167ApplFile", ""), "typed.sre");
    const QByteArray received = Received();
    ASSERT_EQ(received.size(), kReload.size() + kLoaderBytes);
    EXPECT_EQ(received.left(4), kReload);
    EXPECT_EQ(sim_.GetStats().lastLoader, "AMD29F0x0");
    EXPECT_EQ(window_->panel1.last(), "AMD29F0x0: Sending Loader LoaderAMD29F0x0.sre Part 2 ..., Done");
    EXPECT_TRUE(answerer_.Boxes().empty());
    EXPECT_TRUE(window_->isEnabled());
}

TEST_F(MainWindowSim, TabClickWhileExternalFlashIsSelectedSendsTheCpuLoader)
{
    Start();
    Click("ExternalFlash");
    sim_.ClearReceived();
    auto* tab = Child<QTabBar>(*window_, "Tab1");
    // Only a click with the left button is a click on the tab.
    QTest::mouseClick(tab, Qt::RightButton, {}, tab->tabRect(0).center());
    QTest::mouseClick(tab, Qt::MiddleButton, {}, tab->tabRect(0).center());
    EXPECT_EQ(Received(), QByteArray());
    // A double click is one click.
    QTest::mouseClick(tab, Qt::LeftButton, {}, tab->tabRect(0).center());
    QTest::mouseDClick(tab, Qt::LeftButton, {}, tab->tabRect(0).center());
    const QByteArray received = Received();
    ASSERT_EQ(received.size(), kReload.size() + kLoaderBytes);
    EXPECT_EQ(received.left(4), kReload);
    EXPECT_EQ(sim_.GetStats().lastLoader, "CPU");
    EXPECT_TRUE(Child<QRadioButton>(*window_, "ExternalFlash")->isChecked());
    EXPECT_TRUE(Child<QWidget>(*window_, "fraTab1")->isVisible());
}

struct ProgramCase {
    const char* name;
    const char* option;             // option button clicked first ("" for CPU flash)
    targetsim::Memory memory;
    const char* file;               // application file, set in the field
    const char* fileKey;            // where the "Default" profile keeps it
    const char* binaryOffset;       // C167ApplFileOffset for a binary image, else nullptr
    std::vector<int> erasedBanks;
};

class MainWindowProgram : public MainWindowSim, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(MainWindowProgram, EraseAndProgramLeavesTheFileInTheFlash)
{
    const ProgramCase& c = GetParam();
    if (c.binaryOffset) {
        CreateDefaultProfile();
        SettingsStore::Write("Default", "C167ApplFileOffset", c.binaryOffset);
    }
    Start();
    if (*c.option) {
        Click(c.option);
        // The file check concerns the selected memory's file only.
        ASSERT_TRUE(QFile::remove(work_.filePath("Appl.sre")));
    }
    Child<QLineEdit>(*window_, "txtC167ApplFile")->setText(c.file);
    window_->panel1.clear();

    Click("cmdC167EraseProgram");
    EXPECT_TRUE(answerer_.Boxes().empty()) << answerer_.Texts().join(" | ").toStdString();
    ASSERT_FALSE(window_->panel1.isEmpty());
    EXPECT_TRUE(window_->panel1.last().endsWith(", Done")) << window_->panel1.last().toStdString();
    EXPECT_EQ(window_->StatusText(3), "100%");
    EXPECT_EQ(sim_.GetStats().erasedBanks, c.erasedBanks);
    EXPECT_TRUE(window_->isEnabled());
    // Erase & Program saved the current settings, typed file name included, under "Default".
    EXPECT_EQ(SettingsStore::Read("Default", c.fileKey, ""), c.file);

    const std::vector<uint8_t> flash = sim_.Flash(c.memory);
    std::vector<uint8_t> expected;
    if (c.binaryOffset) {
        expected.assign(flash.size(), 0xFF);
        QFile image(work_.filePath(c.file));
        ASSERT_TRUE(image.open(QIODevice::ReadOnly));
        const QByteArray bytes = image.readAll();
        const uint32_t offset = QByteArray(c.binaryOffset).toUInt(nullptr, 16);
        std::copy(bytes.begin(), bytes.end(), expected.begin() + offset);
    } else {
        expected = ImageOfSRecords(work_.filePath(c.file), static_cast<uint32_t>(flash.size()));
    }
    EXPECT_TRUE(flash == expected) << "flash differs from " << c.file;
}

INSTANTIATE_TEST_SUITE_P(
    Memories, MainWindowProgram,
    ::testing::Values(
        ProgramCase{"cpu_flash_srecord", "", targetsim::Memory::CpuFlash, "Appl.sre", "C167ApplFile", nullptr,
                    {0, 1, 2, 3}},
        ProgramCase{"cpu_flash_binary", "", targetsim::Memory::CpuFlash, "Appl.bin", "C167ApplFile", "10000",
                    {0, 1, 2, 3}},
        ProgramCase{"external_flash", "ExternalFlash", targetsim::Memory::AMD29F0x0, "ApplAMD29F0x0.sre",
                    "AMD29F0x0ApplFile", nullptr, {0, 1, 2, 3, 4, 5, 6, 7}},
        ProgramCase{"data_flash", "DataFlash", targetsim::Memory::AT45D0x1, "ApplAT45D0x1.sre",
                    "AT45D0x1ApplFile", nullptr, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// With another profile current, Erase & Program saves its settings as "Default" and leaves the
// profile's own section alone.
TEST_F(MainWindowSim, EraseAndProgramUnderAnotherProfileSavesItAsDefault)
{
    CreateDefaultProfile();
    CreateProfile("Workshop");
    SettingsStore::Write("Workshop", "COMSettings", "19200,N,8,1");
    const auto workshop = SettingsStore::ListSection("Workshop");
    Start("/PWorkshop");
    Click("cmdC167EraseProgram");
    EXPECT_TRUE(answerer_.Boxes().empty()) << answerer_.Texts().join(" | ").toStdString();
    EXPECT_TRUE(window_->StatusText(1).endsWith(", Done")) << window_->StatusText(1).toStdString();
    EXPECT_EQ(SettingsStore::Read("Default", "COMSettings", ""), "19200,N,8,1");
    EXPECT_EQ(SettingsStore::ListSection("Workshop"), workshop);
    EXPECT_EQ(window_->windowTitle(), Caption("Workshop"));
}

// A failure inside the erase (the port gone) is reported and the window is usable again.
TEST_F(MainWindowSim, FailureInsideEraseIsReportedAndTheWindowEnabledAgain)
{
    Start();
    window_->CommPort().SetPortOpen(false);
    window_->panel1.clear();
    Click("cmdC167EraseProgram");
    EXPECT_FALSE(answerer_.Boxes().empty());
    ASSERT_FALSE(window_->panel1.isEmpty());
    EXPECT_TRUE(window_->panel1.last().endsWith(", Error")) << window_->panel1.last().toStdString();
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(*window_, "cmdC167EraseProgram")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(*window_, "cmdReset")->isEnabled());
}

// ---- Reset -------------------------------------------------------------------------------------

struct ResetCase {
    const char* name;
    int reply;                  // first byte the target answers the zero byte with; -1: its id
    const char* option;         // option button clicked before ("" for CPU flash)
    bool preLoaderMissing;
    bool result;                // of ResetTarget
    QStringList boxPrefixes;    // boxes shown, in order, by the start of their text
    const char* lastStatus;     // status panel 1 at the end; nullptr: as it was
    const char* loader;         // chip loader the target runs afterwards ("" for none)
};

class MainWindowReset : public MainWindowSim, public ::testing::WithParamInterface<ResetCase> {};

// The operator resets the board (a fresh target on another port) and presses Reset.
TEST_P(MainWindowReset, RunsTheHandshakeAndLoadsTheSelectedMemorysLoader)
{
    const ResetCase& c = GetParam();
    Start();
    if (*c.option)
        Click(c.option);
    if (c.preLoaderMissing) {
        ASSERT_TRUE(QFile::remove(work_.filePath("PreLoad.bin")));
    }
    targetsim::Options options;
    if (c.reply >= 0)
        options.wrongId = static_cast<uint8_t>(c.reply);
    targetsim::Controller target(options);
    ASSERT_TRUE(target.Start());
    qputenv("COM1", QByteArray::fromStdString(target.DevicePath()));
    OpenCommPort(window_->CommPort(), *window_);
    answerer_.Clear();
    const QString statusBefore = window_->StatusText(1);

    EXPECT_EQ(window_->ResetTarget(0), c.result);

    const QStringList texts = answerer_.Texts();
    ASSERT_EQ(texts.size(), c.boxPrefixes.size()) << texts.join(" | ").toStdString();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        EXPECT_TRUE(texts[i].startsWith(c.boxPrefixes[i])) << texts[i].toStdString();
        if (texts[i] == NotResponding()) {
            EXPECT_EQ(answerer_.Boxes()[i].title, Caption("Default"));
        }
    }
    EXPECT_EQ(window_->StatusText(1), c.lastStatus ? QString::fromLatin1(c.lastStatus) : statusBefore);
    EXPECT_EQ(target.GetStats().lastLoader, c.loader);
    EXPECT_TRUE(window_->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(*window_, "cmdC167EraseProgram")->isEnabled());
    window_.reset();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MainWindowReset,
    ::testing::Values(
        ResetCase{"cpu_flash", -1, "", false, true, {},
                  "C167: Sending Loader LoaderC167.sre Part 2 ..., Done", "CPU"},
        ResetCase{"external_flash_selected", -1, "ExternalFlash", false, true, {},
                  "AMD29F0x0: Sending Loader LoaderAMD29F0x0.sre Part 2 ..., Done", "AMD29F0x0"},
        ResetCase{"acknowledge_instead_of_id", '*', "", false, false,
                  {"Acknowledge Received : (2A *)", "The target device is not responding"}, nullptr, ""},
        ResetCase{"pre_loader_missing", -1, "", true, true, {"The file 'PreLoad.bin' cannot be opened."},
                  "Sending PreLoader PreLoad.bin ..., Error", ""}),
    [](const auto& info) { return std::string(info.param.name); });
