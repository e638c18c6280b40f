#pragma once
// frmMain: the programming tool's main window. It owns the port component Comm, the timer Timer1,
// the status bar sta and the file dialog dlg, runs the start-up and the shutdown, and carries the
// Erase & Program page and the Reset button. The link routines reach it through LinkHost, the
// profile windows through MainWindowLink.

#include "comm.h"
#include "link_host.h"
#include "main_window_link.h"

#include <QLabel>
#include <QMainWindow>
#include <QString>
#include <QVector>

class QAction;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTimer;
class frmProfileProperties;

// A status bar panel. A text too long for the panel (a file chosen with its full path) is shown
// with its middle left out, so that its start and its ", Done" or ", Error" stay in sight; text()
// stays whole, for the link routines and for screen readers.
class StatusPanel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // The text as the panel shows it at its present width.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect TextRect() const;
};

// Takes the profile name from the command-line text: items separated by "/", the last item whose
// first character is "P" or "p" names it. Sets CurrentProfile.Name; leaves it alone otherwise.
void ParseCommandLine(const QString& commandLine);

// "V<major>.<minor>, Build <revision>" of this build.
QString VersionText();

class frmMain : public QMainWindow, public LinkHost, public MainWindowLink {
    Q_OBJECT
public:
    // tickIntervalMs: interval of Timer1 (100 ms; tests pass a shorter one to run long waits fast).
    explicit frmMain(int tickIntervalMs = kTimer1IntervalMs, QWidget* parent = nullptr);
    ~frmMain() override;

    static constexpr int kTimer1IntervalMs = 100;
    static constexpr char kDesignCaption[] = "Altamar Controller Programming Tool";

    // The start-up sequence: command line, layout, show, profile, caption, version, port, first
    // reset, application file. commandLine is the program's arguments joined with blanks.
    void Load(const QString& commandLine);
    // True once the shutdown steps have run.
    bool IsShutDown() const { return shutDown_; }

    void FormCaptionUpdate() override;
    bool ResetTarget(int16_t mode);
    void EnableControls(int16_t page, bool enable);
    void ShowSelectedPage();
    void ShowSelectedApplFile();
    void BrowseForFile(const QString& filter, QLineEdit* field);

    // LinkHost
    void SetStatusText(int panel, const QString& text) override;
    QString StatusText(int panel) const override;
    void ShowMessage(const QString& text, MessageIcon icon) override;
    void NotRespondingBox() override;
    int SelectedMemory() const override;
    void DoEvents() override;

    // MainWindowLink
    Comm& CommPort() override { return comm_; }
    QIcon WindowIcon() const override { return windowIcon(); }
    LinkHost& Host() override { return *this; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void LayOut();
    void Shutdown();
    void ChooseMemory(int memory);
    void Tab1Click(int index);
    void ApplFileChanged(const QString& text);
    void BrowseClick();
    void EraseProgramClick();
    void PropertiesClick();
    // Runs a target operation between EnableControls(page, false) and (page, true), whatever
    // happens inside it.
    template <typename Operation>
    void Locked(int16_t page, Operation operation);

    Comm comm_;
    QTimer* Timer1 = nullptr;
    QTabBar* Tab1 = nullptr;
    QFrame* tabClient_ = nullptr;
    QVector<QFrame*> fraTab1;  // element n is the page of tab n; element 0 unused
    QPushButton* cmdReset = nullptr;
    StatusPanel* staPanel_[3] = {nullptr, nullptr, nullptr};
    QGroupBox* fraC167Program = nullptr;
    QRadioButton* CpuFlash = nullptr;
    QRadioButton* ExternalFlash = nullptr;
    QRadioButton* DataFlash = nullptr;
    QLabel* lblC167ApplFile = nullptr;
    QLineEdit* txtC167ApplFile = nullptr;
    QPushButton* cmdC167ApplFileBrowse = nullptr;
    QPushButton* cmdC167EraseProgram = nullptr;
    QGroupBox* fraMonitor = nullptr;
    QLineEdit* txtMonitorAddressFrom = nullptr;
    QLineEdit* txtMonitorAddressTo = nullptr;
    QMenu* mnuProfile = nullptr;
    QAction* mnuProperties = nullptr;
    QAction* mnuExit = nullptr;
    QFileDialog* dlg = nullptr;
    frmProfileProperties* profileProperties_ = nullptr;

    int16_t CurrentPage = 0;
    int busy_ = 0;               // target operations under way (they never nest in practice)
    bool closePending_ = false;  // a close request arrived while an operation ran
    bool shutDown_ = false;
};
