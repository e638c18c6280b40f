#pragma once
// The Profile Manager window. Created by the main window at its first opening, then only hidden.
//
// A tab strip selects page frames (one tab, "&General", in this edition); the other pages, the
// pre-loader and buffer-size fields and the Overview frame with the profile list are hidden but
// take part in loading and applying, so every value of a profile is carried through Apply.

#include "profile_record.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

class MainWindowLink;
class QComboBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class frmProfileNew;

class frmProfileProperties : public QDialog {
    Q_OBJECT
public:
    explicit frmProfileProperties(MainWindowLink& mainWindow, QWidget* parent = nullptr);
    ~frmProfileProperties() override;

    // Number of page frames; element 0 of fraTab1 is unused, as the pages count from 1.
    static constexpr int PageCount = 6;

    // Shows the page frame of the selected tab.
    void ShowSelectedPage();
    // Lists the registered profiles and selects the current one (see FillProfileList in the .cpp).
    void FillProfileList();
    // Reads the named profile and puts its values into the fields; leaves Apply disabled.
    void ShowProfile(const QString& name);
    // Lets the operator pick a file; filter alternates description and pattern, separated by "|".
    void BrowseForFile(const QString& filter, QLineEdit* target);

    // Writes the fields into the selected profile, makes it current, refreshes the main window's
    // caption and reopens the port. False (nothing written) only when no profile is selected.
    bool Apply();

    // Current page index; 0 until the first page has been shown.
    int CurrentPage() const { return currentPage_; }
    // The record the fields were last loaded from.
    const ProfileRecord& LoadedProfile() const { return loaded_; }
    // The New Profile window, once it has been opened (nullptr before).
    frmProfileNew* NewProfileWindow() const { return newProfile_; }

    // Dialog filters of the "..." buttons.
    static const QString LoaderFilter;
    static const QString ApplFilter;
    static const QString PreLoaderFilter;
    // Turns a "description|pattern|..." filter into the file dialog's name filters.
    static QStringList NameFilters(const QString& filter);
    // The open-file dialog of a window (this one's and the main window's): Qt's own dialog, so
    // that it behaves the same on every desktop and can be answered in tests.
    static QFileDialog* NewFileDialog(QWidget* parent);

private:
    void BuildControls();
    void BuildPage1();
    void BuildFilesPage(int page, const QString& chip, QLineEdit*& loaderFile, QLineEdit*& applFile,
                        QLineEdit*& applFileOffset);
    void BuildIndicatorPage();
    QGroupBox* BuildIndicatorFrame(const QString& name, const QString& caption, QLineEdit*& dataAddr,
                                   QLineEdit*& dirAddr, QLineEdit*& openDrainAddr, QLineEdit*& mask,
                                   QLineEdit*& actLev);
    QLineEdit* NewTextField(QWidget* parent, const QString& name, int limit);
    QPushButton* NewBrowseButton(QWidget* parent, const QString& name, const QString& filter,
                                 QLineEdit* target);
    void WireChangeMarking();

    void lstProfiles_Selected(int row);
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdApply_Click();
    void cmdNew_Click();
    void cmdDelete_Click();
    void MarkChanged();

    bool eventFilter(QObject* watched, QEvent* event) override;

    MainWindowLink& main_;
    int currentPage_ = 0;
    ProfileRecord loaded_;
    frmProfileNew* newProfile_ = nullptr;

public:
    // Controls, named as on the form.
    QTabWidget* Tab1 = nullptr;
    std::array<QFrame*, PageCount + 1> fraTab1{};
    QComboBox* cboCPU = nullptr;
    QComboBox* cboCOMPort = nullptr;
    QComboBox* cboCOMBaudRate = nullptr;
    QComboBox* cboCOMDataBits = nullptr;
    QComboBox* cboCOMParity = nullptr;
    QComboBox* cboCOMStopBits = nullptr;
    QLineEdit* txtCOMInBuffersize = nullptr;
    QLineEdit* txtCOMOutBuffersize = nullptr;
    QLineEdit* txtPreLoaderFile = nullptr;
    QLineEdit* txtC167LoaderFile = nullptr;
    QLineEdit* txtC167ApplFile = nullptr;
    QLineEdit* txtC167ApplFileOffset = nullptr;
    QLineEdit* txtAMD29F0x0LoaderFile = nullptr;
    QLineEdit* txtAMD29F0x0ApplFile = nullptr;
    QLineEdit* txtAMD29F0x0ApplFileOffset = nullptr;
    QLineEdit* txtAT45D0x1LoaderFile = nullptr;
    QLineEdit* txtAT45D0x1ApplFile = nullptr;
    QLineEdit* txtAT45D0x1ApplFileOffset = nullptr;
    QLineEdit* txtDS1994LoaderFile = nullptr;
    QLineEdit* txtDS1994ApplFile = nullptr;
    QLineEdit* txtDS1994ApplFileOffset = nullptr;
    QGroupBox* fraIndBusy = nullptr;
    QGroupBox* fraIndFail = nullptr;
    QLineEdit* txtIndBusyDataAddr = nullptr;
    QLineEdit* txtIndBusyDirAddr = nullptr;
    QLineEdit* txtIndBusyOpenDrainAddr = nullptr;
    QLineEdit* txtIndBusyMask = nullptr;
    QLineEdit* txtIndBusyActLev = nullptr;
    QLineEdit* txtIndFailDataAddr = nullptr;
    QLineEdit* txtIndFailDirAddr = nullptr;
    QLineEdit* txtIndFailOpenDrainAddr = nullptr;
    QLineEdit* txtIndFailMask = nullptr;
    QLineEdit* txtIndFailActLev = nullptr;
    QGroupBox* fraOverview = nullptr;
    QListWidget* lstProfiles = nullptr;
    QPushButton* cmdNew = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdApply = nullptr;
    QFileDialog* dlg = nullptr;

private:
    // Fields that take the hex key rule, the active-level rule, and select-all on focus.
    std::vector<QLineEdit*> hexFields_;
    std::vector<QLineEdit*> levelFields_;
    std::vector<QLineEdit*> focusFields_;
};
