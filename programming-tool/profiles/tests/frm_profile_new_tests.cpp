// The New Profile window, opened from the Profile Manager's New... button.
#include "frm_profile_new.h"
#include "window_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

// Opens New Profile from the Profile Manager and answers it with a name, OK or Cancel.
void NewProfile(frmProfileProperties& w, const QString& name, bool ok = true)
{
    AnswerModal<frmProfileNew>([name, ok](frmProfileNew* d) {
        d->txtName->setText(name);
        (ok ? d->cmdOK : d->cmdCancel)->click();
    });
    w.cmdNew->click();
}

QStringList ListNames(const QListWidget* list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

}  // namespace

using NewProfileWindow = ProfileWindowFixture;

TEST_F(NewProfileWindow, CreatesACopyOfDefaultListedButNotSelected)
{
    ASSERT_TRUE(SettingsStore::Write("Default", "COMSettings", "9600,E,8,1"));
    frmProfileProperties& w = Open();

    NewProfile(w, "Line 2");

    frmProfileNew* n = w.NewProfileWindow();
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->windowTitle(), "New Profile");
    EXPECT_EQ(n->lblName->text(), "Name for the New Profile:");
    EXPECT_EQ(n->windowIcon().cacheKey(), main.icon.cacheKey());
    EXPECT_FALSE(n->isVisible());
    EXPECT_EQ(Stored("Profiles", "Line 2"), "Line 2");
    EXPECT_EQ(SettingsStore::ListSection("Line 2"), SettingsStore::ListSection("Default"));
    EXPECT_EQ(ListNames(w.lstProfiles), (QStringList{"Default", "Line 2"}));
    EXPECT_EQ(w.lstProfiles->currentItem()->text(), "Default");
}

TEST_F(NewProfileWindow, ExistingNameIsResetToTheDefaultProfilesValues)
{
    CreateProfile("Shop");
    ASSERT_TRUE(SettingsStore::Write("Shop", "COMSettings", "1200,O,7,2"));
    ASSERT_TRUE(SettingsStore::Write("Shop", "C167ApplFile", "shop.sre"));
    frmProfileProperties& w = Open();

    NewProfile(w, "Shop");

    EXPECT_EQ(Stored("Shop", "COMSettings"), "38400,N,8,1");
    EXPECT_EQ(Stored("Shop", "C167ApplFile"), "Appl.sre");
}

TEST_F(NewProfileWindow, EmptyNameAndCancelCreateNothing)
{
    frmProfileProperties& w = Open();
    const auto before = SettingsStore::ListSection("Profiles");
    NewProfile(w, "");
    NewProfile(w, "Never", /*ok=*/false);
    EXPECT_EQ(SettingsStore::ListSection("Profiles"), before);
    EXPECT_TRUE(SettingsStore::ListSection("Never").isEmpty());
}

// Names the store file cannot hold as they are stay separate profiles, and deleting one leaves
// every other profile whole.
TEST_F(NewProfileWindow, AwkwardNamesNeverTouchAnotherProfile)
{
    frmProfileProperties& w = Open();
    const QStringList names{" ", "Line/2", "[General]", "a=b;c"};
    for (const QString& name : names)
        NewProfile(w, name);
    QStringList expected = names;
    expected << "Default";
    expected.sort(Qt::CaseInsensitive);
    EXPECT_EQ(ListNames(w.lstProfiles), expected);

    w.lstProfiles->setCurrentRow(static_cast<int>(ListNames(w.lstProfiles).indexOf("[General]")));
    QTest::mouseClick(w.cmdDelete, Qt::LeftButton);
    EXPECT_FALSE(ListNames(w.lstProfiles).contains("[General]"));
    for (const QString& name : {QStringLiteral(" "), QStringLiteral("Line/2"), QStringLiteral("a=b;c")})
        EXPECT_EQ(SettingsStore::ListSection(name), SettingsStore::ListSection("Default")) << name.toStdString();
}

// The store's own sections cannot become profiles: the name is refused with a message and the
// window stays open for another one.
TEST_F(NewProfileWindow, StoreSectionNamesAreRefused)
{
    frmProfileProperties& w = Open();
    const auto registered = SettingsStore::ListSection("Profiles");
    for (const QString& name : {QStringLiteral("Profiles"), QStringLiteral("general")}) {
        QString message;
        bool stayedOpen = false;
        AnswerModal<QMessageBox>([&message](QMessageBox* box) {
            message = box->text();
            box->accept();
        });
        AnswerModal<frmProfileNew>([&](frmProfileNew* d) {
            d->txtName->setText(name);
            d->cmdOK->click();
            stayedOpen = d->isVisible();
            d->cmdCancel->click();
        });
        w.cmdNew->click();
        EXPECT_EQ(message, "A profile cannot be named '" + name
                               + "': the settings store uses that name itself.\nPlease choose another name.");
        EXPECT_TRUE(stayedOpen) << name.toStdString();
    }
    EXPECT_EQ(SettingsStore::ListSection("Profiles"), registered);
    EXPECT_EQ(Stored("General", "COMPort"), "<missing>");
}

TEST_F(NewProfileWindow, ReopenedShowsThePreviousNameSelected)
{
    frmProfileProperties& w = Open();
    NewProfile(w, "Bench 2");

    QString shown, selected;
    bool focused = false;
    AnswerModal<frmProfileNew>([&](frmProfileNew* d) {
        QTRY_VERIFY(d->txtName->hasFocus());
        QTRY_COMPARE(d->txtName->selectedText(), d->txtName->text());
        shown = d->txtName->text();
        selected = d->txtName->selectedText();
        focused = d->txtName->hasFocus();
        d->cmdCancel->click();
    });
    w.cmdNew->click();
    EXPECT_EQ(shown, "Bench 2");
    EXPECT_EQ(selected, "Bench 2");
    EXPECT_TRUE(focused);
}
