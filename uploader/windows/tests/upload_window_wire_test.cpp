// The upload window against the simulated controller: START runs the whole upload with the
// window's own clock and waits, and Cancel while erasing closes window and port without a message.
#include "modal.h"
#include "port.h"
#include "settings.h"
#include "upload_dialog.h"

#include "target_sim.h"
#include "temporary_base.h"

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

const char kHexText[] =
    ":020000040001F9\r\n"
    ":10010000214601360121470136007EFE09D2190140\r\n"
    ":0400100001020304E2\r\n"
    ":00000001FF\r\n";

class UploadWindowWireTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(base.isValid());
        InitPort();
        portState.portNumber = 1;
        ASSERT_TRUE(QDir(baseDirectory).mkpath(QStringLiteral("TX31")));
        ASSERT_TRUE(WriteFile(base.path(QStringLiteral("TX31/LEVEL1.BIN")), QByteArray(32, '\x31')));
        ASSERT_TRUE(WriteFile(base.path(QStringLiteral("TX31/LEVEL2.BIN")), QByteArray(1000, '\x32')));
        ASSERT_TRUE(WriteFile(base.path(QStringLiteral("app.hex")), kHexText));
        window = std::make_unique<UploadDialog>();
        window->upload.model = 3;
        window->upload.hexFilePath = base.path(QStringLiteral("app.hex"));
        window->startButton->setEnabled(true);
        window->show();
    }

    void TearDown() override { ClosePort(); }

    void StartSim(int eraseMs)
    {
        targetsim::Options options;
        options.protocol = targetsim::Protocol::Uploader;
        options.level1Length = 32;
        options.eraseMs = eraseMs;
        sim.emplace(options);
        ASSERT_TRUE(sim->Start());
        qputenv("COM1", QByteArray::fromStdString(sim->DevicePath()));
    }

    TemporaryBase base;
    std::optional<targetsim::Controller> sim;
    std::unique_ptr<UploadDialog> window;  // made once the INI paths are set
};

TEST_F(UploadWindowWireTest, StartUploadsTheHexFile)
{
    StartSim(300);
    QString message;
    AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
        message = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    window->startButton->click();

    EXPECT_EQ(message, QStringLiteral("The hexfile was sent"));
    const std::vector<uint8_t> expected = {0x21, 0x46, 0x01, 0x36, 0x01, 0x21, 0x47, 0x01,
                                           0x36, 0x00, 0x7E, 0xFE, 0x09, 0xD2, 0x19, 0x01};
    EXPECT_EQ(sim->ReadUploader(0x10100, 16), expected);
    EXPECT_EQ(sim->ReadUploader(0x10010, 4), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(window->statusText->text(), window->upload.hexFilePath);
    EXPECT_EQ(window->progressBar->value(), 0);
    EXPECT_TRUE(window->startButton->isEnabled());
    EXPECT_TRUE(window->chooseHexFileButton->isEnabled());
    EXPECT_TRUE(window->comSettingsButton->isEnabled());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(portState.handle);
}

TEST_F(UploadWindowWireTest, CancelWhileErasingClosesWindowAndPortWithoutMessage)
{
    StartSim(60000);
    QStringList boxes;
    bool portOpenWhileErasing = false;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->button(QMessageBox::Ok)->click();
            return;
        }
        if (window->statusText->text() == QStringLiteral("Erasing Flash...")) {
            watcher.stop();
            portOpenWhileErasing = portState.handle != nullptr;
            window->cancelButton->click();
        }
    });
    watcher.start();
    window->startButton->click();

    EXPECT_TRUE(portOpenWhileErasing);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_FALSE(portState.handle);
    EXPECT_EQ(window->statusText->text(), window->upload.hexFilePath);
    EXPECT_LT(sim->GetStats().packets, 1) << "no record was sent";
}

}  // namespace
