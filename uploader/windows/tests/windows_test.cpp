// The uploader's windows offscreen: texts from the files, the model buttons, the About box,
// Choose HexFile with "lastdir", COM Settings, and START with a missing loader file.
#include "about_dialog.h"
#include "device_chooser_dialog.h"
#include "modal.h"
#include "port.h"
#include "settings.h"
#include "settings_dialog.h"
#include "temporary_base.h"
#include "upload_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(base.isValid());
        InitPort();
        portState.portNumber = 2;
        portState.baudRate = 57600;
    }

    QString Base(const QString& name) const { return base.path(name); }

    TemporaryBase base;
};

TEST_F(WindowsTest, ChooserTakesCaptionsFromFilesAndEmptyCaptionDisables)
{
    ASSERT_TRUE(WriteFile(customerIniPath, "[Buttons]\nButton1=Alpha 1\nButton3=\n"));
    ASSERT_TRUE(WriteFile(languageIniPath, "[Buttons]\nexit=Ende\n"));
    DeviceChooserDialog chooser;
    chooser.show();

    const char* expected[4] = {"Alpha 1", "VR-20", "", "TX37"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(chooser.modelButtons[i]->text(), QString::fromLatin1(expected[i])) << i;
        EXPECT_EQ(chooser.modelButtons[i]->isEnabled(), i != 2) << i;
    }
    EXPECT_EQ(chooser.exitButton->text(), QStringLiteral("Ende"));
    EXPECT_EQ(chooser.windowTitle(), QStringLiteral("Quorra"));
}

TEST_F(WindowsTest, ModelButtonOpensUploadWindowForItsModel)
{
    DeviceChooserDialog chooser;
    chooser.show();
    int model = 0;
    QString title;
    AnswerNextModal<UploadDialog>([&](UploadDialog* upload) {
        model = upload->upload.model;
        title = upload->windowTitle();
        upload->cancelButton->click();
    });
    chooser.modelButtons[1]->click();  // Button2
    EXPECT_EQ(model, 2);
    EXPECT_EQ(title, QStringLiteral("Quorra"));
    EXPECT_TRUE(chooser.isVisible());
}

TEST_F(WindowsTest, AboutEntryShowsTheAboutBox)
{
    DeviceChooserDialog chooser;
    chooser.show();
    EXPECT_TRUE(chooser.actions().contains(chooser.aboutAction));
    EXPECT_EQ(chooser.aboutAction->text(), QStringLiteral("&About Quorra..."));
    QString title, version;
    AnswerNextModal<AboutDialog>([&](AboutDialog* about) {
        title = about->windowTitle();
        version = about->versionText->text();
        about->okButton->click();
    });
    chooser.aboutButton->click();
    EXPECT_EQ(title, QStringLiteral("About Quorra"));
    EXPECT_EQ(version, QStringLiteral("Quorra Version 1.0"));
}

TEST_F(WindowsTest, UploadWindowTextsFromLanguageFile)
{
    ASSERT_TRUE(WriteFile(languageIniPath,
                          "[Buttons]\nchoosehexfile=Hexdatei\nstart=LOS\ncancel=Abbruch\n"
                          "pushforupload=Bitte START\n"));
    UploadDialog upload;
    EXPECT_EQ(upload.windowTitle(), QStringLiteral("Quorra"));
    EXPECT_EQ(upload.chooseHexFileButton->text(), QStringLiteral("Hexdatei"));
    EXPECT_EQ(upload.startButton->text(), QStringLiteral("LOS"));
    EXPECT_EQ(upload.cancelButton->text(), QStringLiteral("Abbruch"));
    EXPECT_EQ(upload.statusText->text(), QStringLiteral("Bitte START"));
    EXPECT_EQ(upload.comSettingsButton->text(), QStringLiteral("COM Settings COM2 Baud: 57600"));
    EXPECT_FALSE(upload.startButton->isEnabled());

    // A percent sign in the text takes nothing of what follows it.
    ASSERT_TRUE(WriteFile(languageIniPath, "[Buttons]\ncomsettings=Anschluss %1\n"));
    upload.ApplyTexts();
    EXPECT_EQ(upload.comSettingsButton->text(), QStringLiteral("Anschluss %1 COM2 Baud: 57600"));
}

// The status line shows a deep path with its start and its file name; a short text as it is.
TEST_F(WindowsTest, StatusTextFitsItsLine)
{
    UploadDialog upload;
    const QString shortText = upload.statusText->text();
    EXPECT_EQ(upload.statusText->shownText(), shortText);

    const QString path = Base(QStringLiteral(
        "firmware/releases/2026-12-11/production-line-3/station-b/controller-application-v2.hex"));
    upload.statusText->setText(path);
    const QString shown = upload.statusText->shownText();
    EXPECT_EQ(upload.statusText->text(), path);
    EXPECT_NE(shown, path) << "the path is longer than the line";
    EXPECT_LE(upload.statusText->fontMetrics().horizontalAdvance(shown),
              upload.statusText->contentsRect().width());
    EXPECT_TRUE(shown.startsWith(path.left(4))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/controller-application-v2.hex")))
        << shown.toStdString();
}

// Choose HexFile: where the dialog opens and what "lastdir" holds afterwards.
struct LastDirCase {
    const char* name;
    bool lastDirSet;
};

class ChooseHexFileTest : public WindowsTest, public ::testing::WithParamInterface<LastDirCase> {};

TEST_P(ChooseHexFileTest, OpensInRightFolderAndRemembersOnlyWhenSet)
{
    ASSERT_TRUE(QDir(baseDirectory).mkpath(QStringLiteral("VR20")));
    ASSERT_TRUE(QDir(baseDirectory).mkpath(QStringLiteral("old")));
    ASSERT_TRUE(QDir(baseDirectory).mkpath(QStringLiteral("new")));
    const QString hexPath = Base(QStringLiteral("new/app.hex"));
    ASSERT_TRUE(WriteFile(hexPath, ":00000001FF\n"));
    if (GetParam().lastDirSet) {
        ASSERT_TRUE(WriteProgram(QStringLiteral("HISTORY"), QStringLiteral("lastdir"),
                                 Base(QStringLiteral("old/"))));
    }

    UploadDialog upload;
    upload.upload.model = 2;
    QString openedIn;
    AnswerNextModal<QFileDialog>([&](QFileDialog* dialog) {
        openedIn = dialog->directory().absolutePath();
        TypeFileNameAndAccept(dialog, hexPath);
    });
    upload.chooseHexFileButton->click();

    const QString expectedDir = Base(GetParam().lastDirSet ? QStringLiteral("old") : QStringLiteral("VR20"));
    EXPECT_EQ(openedIn, expectedDir);
    EXPECT_EQ(upload.statusText->text(), hexPath);
    EXPECT_EQ(upload.upload.hexFilePath, hexPath);
    EXPECT_TRUE(upload.startButton->isEnabled());
    const QString lastDir = ReadProgram(QStringLiteral("HISTORY"), QStringLiteral("lastdir"),
                                        QStringLiteral("none"));
    EXPECT_EQ(lastDir, GetParam().lastDirSet ? Base(QStringLiteral("new/")) : QStringLiteral("none"));
}

INSTANTIATE_TEST_SUITE_P(LastDir, ChooseHexFileTest,
                         ::testing::Values(LastDirCase{"no_lastdir", false},
                                           LastDirCase{"lastdir_set", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowsTest, ChooseHexFileCancelledChangesNothing)
{
    UploadDialog upload;
    const QString before = upload.statusText->text();
    AnswerNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    upload.chooseHexFileButton->click();
    EXPECT_EQ(upload.statusText->text(), before);
    EXPECT_FALSE(upload.startButton->isEnabled());
    EXPECT_TRUE(upload.upload.hexFilePath.isEmpty());
}

TEST_F(WindowsTest, ComSettingsOkUpdatesCaptionAndResetsStatus)
{
    UploadDialog upload;
    upload.statusText->setText(QStringLiteral("/some/file.hex"));
    upload.startButton->setEnabled(true);
    AnswerNextModal<SettingsDialog>([](SettingsDialog* settings) {
        settings->portList->setCurrentIndex(2);  // COM3
        settings->baudList->setCurrentIndex(3);  // 38400
        settings->okButton->click();
    });
    upload.comSettingsButton->click();
    EXPECT_EQ(upload.comSettingsButton->text(), QStringLiteral("COM Settings COM3 Baud: 38400"));
    EXPECT_EQ(upload.statusText->text(), QStringLiteral("Push START for upload:"));
    EXPECT_TRUE(upload.startButton->isEnabled());
}

TEST_F(WindowsTest, MissingLevel2NamesFullPathAndLeavesButtonsDisabled)
{
    ASSERT_TRUE(QDir(baseDirectory).mkpath(QStringLiteral("VR10")));
    ASSERT_TRUE(WriteFile(Base(QStringLiteral("VR10/LEVEL1.BIN")), QByteArray(32, '\x11')));
    ASSERT_TRUE(WriteFile(Base(QStringLiteral("app.hex")), ":00000001FF\n"));
    UploadDialog upload;
    upload.upload.model = 1;
    upload.upload.hexFilePath = Base(QStringLiteral("app.hex"));
    upload.startButton->setEnabled(true);
    upload.show();

    QString message, boxTitle;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::TextFormat format = Qt::AutoText;
    AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
        message = box->text();
        boxTitle = box->windowTitle();
        icon = box->icon();
        format = box->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    upload.startButton->click();

    EXPECT_EQ(message, QStringLiteral("Could not find file:  ") + baseDirectory
                           + QStringLiteral("/VR10/LEVEL2.BIN"));
    EXPECT_EQ(boxTitle, QStringLiteral("Quorra"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(format, Qt::PlainText) << "a reply or path is never taken for markup";
    EXPECT_FALSE(upload.startButton->isEnabled());
    EXPECT_FALSE(upload.chooseHexFileButton->isEnabled());
    EXPECT_FALSE(upload.comSettingsButton->isEnabled());
    EXPECT_TRUE(upload.cancelButton->isEnabled());
    EXPECT_EQ(upload.statusText->text(), QStringLiteral("Please bring the device into bootstrap mode."));
    EXPECT_FALSE(portState.handle) << "the port is not opened";
}

}  // namespace
