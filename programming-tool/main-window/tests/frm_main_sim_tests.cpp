// The main window against the simulated controller over a pseudo-terminal: exact bytes on the
// wire, the texts shown, and the simulator's flash after Erase & Program.
#include "main_window_fixture.h"
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
    void Start()
    {
        window_ = std::make_unique<RecordingMain>();
        window_->Load(QString());
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
    if (*c.option)
        Click(c.option);
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
