#include "frm_main.h"

#include "frm_profile_properties.h"
#include "module1.h"
#include "profile.h"
#include "profile_record.h"
#include "settings_store.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace {

// Form measures are in twips; 15 twips make one pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int Px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

// Outer size of the window and the offsets the layout keeps from its edges.
constexpr int kFormWidthTw = 8000;
constexpr int kFormHeightTw = 4700;
constexpr int kTabLeftTw = 150;
constexpr int kTabWidthMarginTw = 325;
constexpr int kTabHeightMarginTw = 1550;
constexpr int kResetTopMarginTw = 1450;
// Height of the caption, menu bar and borders that the outer size includes.
constexpr int kFrameHeightTw = 750;
constexpr int kFrameWidthTw = 120;

const char kProfileTab[] = "&C167";
const char kReady[] = "Ready";
const char kDefaultProfileName[] = "Default";
const char kGeneralSection[] = "General";
const char kProfileLastUsedKey[] = "ProfileLastUsed";
const char kFileErrorText[] = "Error loading file. Please check the Appl. File name";
const char kApplFileFilter[] = "S-Record File (*.sre)|*.sre|Binary File (*.bin)|*.bin";
const char kSelectFileTitle[] = "Select a File";
const int kMonitorAddressLength = 6;

// The memory numbers of the option buttons, and the page of the tab strip's one tab.
constexpr int kCpuFlash = 1;
constexpr int kExternalFlash = 2;
constexpr int kDataFlash = 3;
constexpr int16_t kProgramPage = 1;

QString& ApplFileOf(ProfileRecord& profile, int memory)
{
    switch (memory) {
    case kCpuFlash: return profile.C167ApplFile;
    case kExternalFlash: return profile.AMD29F0x0ApplFile;
    default: return profile.AT45D0x1ApplFile;
    }
}

// Places a control as designed, widened where the font on this machine needs more room.
void Place(QWidget* w, int leftTw, int topTw, int widthTw, int heightTw)
{
    w->setGeometry(Px(leftTw), Px(topTw), std::max(Px(widthTw), w->sizeHint().width()), Px(heightTw));
}

// The window's own icon: a small chip.
QIcon MakeWindowIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QPen(QColor(60, 60, 60), 2));
    for (int i = 0; i < 4; ++i) {
        const int at = 8 + i * 5;
        p.drawLine(at, 2, at, 8);
        p.drawLine(at, 24, at, 30);
        p.drawLine(2, at, 8, at);
        p.drawLine(24, at, 30, at);
    }
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(7, 7, 18, 18);
    p.setPen(QColor(230, 200, 60));
    p.drawText(QRect(7, 7, 18, 18), Qt::AlignCenter, QStringLiteral("C"));
    return QIcon(pixmap);
}

}  // namespace

QRect StatusPanel::TextRect() const
{
    // The indent a framed label keeps from its frame: half an "x".
    const int indent = frameWidth() > 0 ? fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0;
    return contentsRect().adjusted(indent, 0, -indent, 0);
}

QString StatusPanel::ShownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, TextRect().width());
}

void StatusPanel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, TextRect(), Qt::AlignLeft | Qt::AlignVCenter, palette(),
                          isEnabled(), ShownText(), foregroundRole());
}

void ParseCommandLine(const QString& commandLine)
{
    const QStringList items = commandLine.split(QLatin1Char('/'));
    for (const QString& raw : items) {
        const QString item = raw.trimmed();
        if (!item.isEmpty() && item.at(0).toUpper() == QLatin1Char('P'))
            CurrentProfile.Name = item.mid(1).trimmed();
    }
}

QString VersionText()
{
    return QStringLiteral("V%1.%2, Build %3")
        .arg(BRAMLET_VERSION_MAJOR)
        .arg(BRAMLET_VERSION_MINOR)
        .arg(BRAMLET_VERSION_PATCH);
}

frmMain::frmMain(int tickIntervalMs, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(kDesignCaption));
    setWindowIcon(MakeWindowIcon());
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    setFont(font);
    BuildControls();

    // The tick that times every wait; it runs from the load to the unload.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(tickIntervalMs);
    connect(Timer1, &QTimer::timeout, this, [] { Timer1Tick(); });
    Timer1->start();

    SetProfileWarningHandler([this](const QString& text) {
        QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok);
        box.setWindowIcon(windowIcon());
        box.exec();
    });
}

frmMain::~frmMain()
{
    SetProfileWarningHandler(nullptr);
    Shutdown();
}

void frmMain::BuildControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("frmMainClient"));
    setCentralWidget(central);

    Tab1 = new QTabBar(central);
    Tab1->setObjectName(QStringLiteral("Tab1"));
    Tab1->addTab(QString::fromLatin1(kProfileTab));
    Tab1->setDrawBase(false);
    Tab1->setExpanding(false);
    connect(Tab1, &QTabBar::tabBarClicked, this, &frmMain::Tab1Click);
    Tab1->installEventFilter(this);  // only a left click is a click on the tab

    tabClient_ = new QFrame(central);
    tabClient_->setObjectName(QStringLiteral("Tab1Client"));
    tabClient_->setFrameShape(QFrame::StyledPanel);

    // The page frames, one per tab; element 0 is unused so that element n belongs to tab n.
    fraTab1 = {nullptr};
    auto* page = new QFrame(central);
    page->setObjectName(QStringLiteral("fraTab1"));
    page->setProperty("index", 1);
    page->setFrameShape(QFrame::NoFrame);
    page->setAccessibleName(QStringLiteral("C167"));
    page->hide();
    fraTab1.append(page);

    fraC167Program = new QGroupBox(QStringLiteral("Programming"), page);
    fraC167Program->setObjectName(QStringLiteral("fraC167Program"));
    fraC167Program->setGeometry(Px(120), Px(0), Px(7095), Px(2655));

    CpuFlash = new QRadioButton(QStringLiteral("CPU Flash"), fraC167Program);
    CpuFlash->setObjectName(QStringLiteral("CpuFlash"));
    Place(CpuFlash, 360, 480, 1095, 495);
    CpuFlash->setChecked(true);
    ExternalFlash = new QRadioButton(QStringLiteral("External Flash"), fraC167Program);
    ExternalFlash->setObjectName(QStringLiteral("ExternalFlash"));
    Place(ExternalFlash, 2880, 540, 1455, 375);
    DataFlash = new QRadioButton(QStringLiteral("Data Flash"), fraC167Program);
    DataFlash->setObjectName(QStringLiteral("DataFlash"));
    Place(DataFlash, 5160, 480, 1695, 495);
    connect(CpuFlash, &QRadioButton::clicked, this, [this] { ChooseMemory(kCpuFlash); });
    connect(ExternalFlash, &QRadioButton::clicked, this, [this] { ChooseMemory(kExternalFlash); });
    connect(DataFlash, &QRadioButton::clicked, this, [this] { ChooseMemory(kDataFlash); });

    lblC167ApplFile = new QLabel(QStringLiteral("&Application File:"), fraC167Program);
    lblC167ApplFile->setObjectName(QStringLiteral("lblC167ApplFile"));
    Place(lblC167ApplFile, 360, 1080, 1740, 240);
    txtC167ApplFile = new QLineEdit(fraC167Program);
    txtC167ApplFile->setObjectName(QStringLiteral("txtC167ApplFile"));
    txtC167ApplFile->setGeometry(Px(360), Px(1320), Px(6075), Px(285));
    txtC167ApplFile->setAccessibleName(QStringLiteral("Application File"));
    lblC167ApplFile->setBuddy(txtC167ApplFile);
    connect(txtC167ApplFile, &QLineEdit::textChanged, this, &frmMain::ApplFileChanged);

    cmdC167ApplFileBrowse = new QPushButton(QStringLiteral("..."), fraC167Program);
    cmdC167ApplFileBrowse->setObjectName(QStringLiteral("cmdC167ApplFileBrowse"));
    cmdC167ApplFileBrowse->setGeometry(Px(6600), Px(1320), Px(360), Px(285));
    cmdC167ApplFileBrowse->setAccessibleName(QStringLiteral("Browse for the application file"));
    connect(cmdC167ApplFileBrowse, &QPushButton::clicked, this, &frmMain::BrowseClick);

    cmdC167EraseProgram = new QPushButton(QStringLiteral("Er&ase && Program"), fraC167Program);
    cmdC167EraseProgram->setObjectName(QStringLiteral("cmdC167EraseProgram"));
    Place(cmdC167EraseProgram, 2520, 1800, 1515, 375);
    cmdC167EraseProgram->setEnabled(false);  // until the first reset has ended
    connect(cmdC167EraseProgram, &QPushButton::clicked, this, &frmMain::EraseProgramClick);

    cmdReset = new QPushButton(QStringLiteral("&Reset"), central);
    cmdReset->setObjectName(QStringLiteral("cmdReset"));
    cmdReset->resize(Px(855), Px(375));
    connect(cmdReset, &QPushButton::clicked, this, [this] { ResetTarget(0); });

    // The Monitor panel: carried hidden, never shown, with no action behind it.
    fraMonitor = new QGroupBox(QStringLiteral("Monitor"), central);
    fraMonitor->setObjectName(QStringLiteral("fraMonitor"));
    fraMonitor->hide();
    auto* read = new QPushButton(QStringLiteral("&Read"), fraMonitor);
    read->setObjectName(QStringLiteral("cmdMonitorRead"));
    read->setEnabled(false);
    auto* write = new QPushButton(QStringLiteral("&Write"), fraMonitor);
    write->setObjectName(QStringLiteral("cmdMonitorWrite"));
    write->setEnabled(false);
    auto* lblFrom = new QLabel(QStringLiteral("&From:"), fraMonitor);
    lblFrom->setObjectName(QStringLiteral("lblMonitorFrom"));
    auto* lblTo = new QLabel(QStringLiteral("&To:"), fraMonitor);
    lblTo->setObjectName(QStringLiteral("lblMonitorTo"));
    auto* lblData = new QLabel(QStringLiteral("&Data:"), fraMonitor);
    lblData->setObjectName(QStringLiteral("lblMonitorData"));
    auto* lblHint = new QLabel(QStringLiteral("All data must be entered in Hex format!"), fraMonitor);
    lblHint->setObjectName(QStringLiteral("lblMonitor1"));
    txtMonitorAddressFrom = new QLineEdit(fraMonitor);
    txtMonitorAddressFrom->setObjectName(QStringLiteral("txtMonitorAddressFrom"));
    txtMonitorAddressTo = new QLineEdit(fraMonitor);
    txtMonitorAddressTo->setObjectName(QStringLiteral("txtMonitorAddressTo"));
    auto* data = new QLineEdit(fraMonitor);
    data->setObjectName(QStringLiteral("txtMonitorData"));
    for (QLineEdit* field : {txtMonitorAddressFrom, txtMonitorAddressTo}) {
        field->setMaxLength(kMonitorAddressLength);
        field->installEventFilter(this);
    }
    lblFrom->setBuddy(txtMonitorAddressFrom);
    lblTo->setBuddy(txtMonitorAddressTo);
    lblData->setBuddy(data);

    // Status bar: three permanent panels, so that screen readers can read them.
    QStatusBar* sta = statusBar();
    sta->setObjectName(QStringLiteral("sta"));
    sta->setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        auto* panel = new StatusPanel(sta);
        panel->setObjectName(QStringLiteral("staPanel%1").arg(i + 1));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setAccessibleName(QStringLiteral("Status panel %1").arg(i + 1));
        // The operator follows each step here while the window is locked for it, so the panels
        // keep their normal look when the window is disabled.
        QPalette palette = panel->palette();
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Window, QPalette::Light,
                                         QPalette::Midlight, QPalette::Dark, QPalette::Mid,
                                         QPalette::Shadow})
            palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
        panel->setPalette(palette);
        sta->addPermanentWidget(panel, i == 0 ? 1 : 0);
        staPanel_[i] = panel;
    }
    staPanel_[1]->setMinimumWidth(Px(1500));
    staPanel_[2]->setMinimumWidth(Px(700));
    staPanel_[0]->setText(QString::fromLatin1(kReady));

    mnuProfile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuProfile->setObjectName(QStringLiteral("mnuProfile"));
    mnuProperties = mnuProfile->addAction(QStringLiteral("Prop&erties..."));
    mnuProperties->setObjectName(QStringLiteral("mnuProperties"));
    QAction* separator = mnuProfile->addSeparator();
    separator->setObjectName(QStringLiteral("mnuSeparator"));
    mnuExit = mnuProfile->addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuProperties, &QAction::triggered, this, &frmMain::PropertiesClick);
    connect(mnuExit, &QAction::triggered, this, &QWidget::close);

    dlg = frmProfileProperties::NewFileDialog(this);
}

// Sizes the window and lays the first rows out from its size, as the form was designed.
void frmMain::LayOut()
{
    const int width = Px(kFormWidthTw - kFrameWidthTw);
    const int height = Px(kFormHeightTw - kFrameHeightTw);
    const int tabLeft = Px(kTabLeftTw);
    const int tabWidth = Px(kFormWidthTw - kTabWidthMarginTw);
    const int tabHeight = Px(kFormHeightTw - kTabHeightMarginTw);
    const int tabBarHeight = Tab1->sizeHint().height();

    Tab1->setGeometry(tabLeft, 0, Tab1->sizeHint().width(), tabBarHeight);
    tabClient_->setGeometry(tabLeft, tabBarHeight - 1, tabWidth, tabHeight - tabBarHeight + 1);
    cmdReset->move(tabLeft, Px(kFormHeightTw - kResetTopMarginTw));
    const QRect client = tabClient_->geometry().adjusted(2, 4, -2, -2);
    for (QFrame* page : fraTab1) {
        if (page)
            page->setGeometry(client);
    }
    centralWidget()->setFixedSize(width, std::max(height, cmdReset->geometry().bottom() + 6));
    // A fixed single border: the operator cannot resize the window.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void frmMain::Load(const QString& commandLine)
{
    InitPacketHeads();
    ParseCommandLine(commandLine);
    LayOut();
    ShowSelectedPage();
    show();

    CreateDefaultProfile();
    QString name = CurrentProfile.Name;
    if (name.isEmpty()) {
        name = SettingsStore::Read(QString::fromLatin1(kGeneralSection),
                                   QString::fromLatin1(kProfileLastUsedKey), QString());
        if (name.isEmpty())
            name = QString::fromLatin1(kDefaultProfileName);
    }
    ReadProfile(name, CurrentProfile);
    FormCaptionUpdate();
    SetStatusText(2, VersionText());
    OpenCommPort(comm_, *this);
    ResetTarget(0);
    txtC167ApplFile->setText(CurrentProfile.C167ApplFile);
}

void frmMain::FormCaptionUpdate()
{
    setWindowTitle(QString::fromLatin1(kDesignCaption) + QStringLiteral(" using '")
                   + CurrentProfile.Name + QLatin1Char('\''));
}

void frmMain::ShowSelectedPage()
{
    const int n = Tab1->currentIndex() + 1;
    if (n == CurrentPage || n < 1 || n >= fraTab1.size())
        return;
    fraTab1[n]->show();
    if (CurrentPage > 0)
        fraTab1[CurrentPage]->hide();
    fraTab1[n]->raise();
    CurrentPage = static_cast<int16_t>(n);
    fraMonitor->raise();
}

void frmMain::EnableControls(int16_t page, bool enable)
{
    Tab1->setEnabled(enable);
    cmdReset->setEnabled(enable);
    mnuProfile->menuAction()->setEnabled(enable);
    setEnabled(enable);
    if (page == kProgramPage) {
        cmdC167EraseProgram->setEnabled(enable);
        CpuFlash->setEnabled(enable);
        ExternalFlash->setEnabled(enable);
        DataFlash->setEnabled(enable);
    }
}

template <typename Operation>
void frmMain::Locked(int16_t page, Operation operation)
{
    ++busy_;
    EnableControls(page, false);
    try {
        operation();
    } catch (const std::exception& e) {
        ShowMessage(QStringLiteral("Unexpected failure: ") + QString::fromLocal8Bit(e.what()),
                    MessageIcon::Exclamation);
    }
    EnableControls(page, true);
    --busy_;
    if (busy_ == 0 && closePending_) {
        closePending_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

bool frmMain::ResetTarget(int16_t /*mode*/)
{
    bool answered = false;
    Locked(kProgramPage, [&] {
        answered = BootstrapTarget(comm_, *this) != 0;
        if (!answered)
            NotRespondingBox();
    });
    return answered;
}

void frmMain::ChooseMemory(int memory)
{
    ShowSelectedApplFile();
    Locked(kProgramPage, [&] { SendLoader(comm_, *this, memory, 2); });
}

void frmMain::Tab1Click(int index)
{
    if (index < 0)
        return;
    ShowSelectedPage();
    const auto n = static_cast<int16_t>(index + 1);
    Locked(n, [&] { SendLoader(comm_, *this, n, 2); });
}

void frmMain::ShowSelectedApplFile()
{
    txtC167ApplFile->setText(ApplFileOf(CurrentProfile, SelectedMemory()));
    WriteProfile(QString::fromLatin1(kDefaultProfileName), CurrentProfile);
}

void frmMain::ApplFileChanged(const QString& text)
{
    ApplFileOf(CurrentProfile, SelectedMemory()) = text;
}

void frmMain::BrowseClick()
{
    const QString folder = QDir::currentPath();
    BrowseForFile(QString::fromLatin1(kApplFileFilter), txtC167ApplFile);
    QDir::setCurrent(folder);
}

void frmMain::BrowseForFile(const QString& filter, QLineEdit* field)
{
    dlg->setWindowTitle(QString::fromLatin1(kSelectFileTitle));
    dlg->setNameFilters(frmProfileProperties::NameFilters(filter));
    const QFileInfo current(field->text());
    if (!field->text().isEmpty() && current.absoluteDir().exists())
        dlg->setDirectory(current.absoluteDir());
    else
        dlg->setDirectory(QDir::current());
    if (dlg->exec() != QDialog::Accepted)
        return;
    const QStringList chosen = dlg->selectedFiles();
    if (!chosen.isEmpty())
        field->setText(QDir::toNativeSeparators(chosen.first()));
}

void frmMain::EraseProgramClick()
{
    const int memory = SelectedMemory();
    {
        const QString name = ApplFileOf(CurrentProfile, memory);
        QFile file(name);
        if (name.isEmpty() || QFileInfo(name).isDir() || !file.open(QIODevice::ReadOnly)) {
            ShowMessage(QString::fromLatin1(kFileErrorText), MessageIcon::Exclamation);
            return;
        }
    }
    WriteProfile(QString::fromLatin1(kDefaultProfileName), CurrentProfile);
    Locked(kProgramPage, [&] {
        if (EraseBanks(comm_, *this, memory))
            SendApplication(comm_, *this, memory);
    });
}

void frmMain::PropertiesClick()
{
    if (!profileProperties_)
        profileProperties_ = new frmProfileProperties(*this, this);
    profileProperties_->exec();
}

void frmMain::SetStatusText(int panel, const QString& text)
{
    if (panel >= 1 && panel <= 3)
        staPanel_[panel - 1]->setText(text);
}

QString frmMain::StatusText(int panel) const
{
    return panel >= 1 && panel <= 3 ? staPanel_[panel - 1]->text() : QString();
}

void frmMain::ShowMessage(const QString& text, MessageIcon icon)
{
    // No parent: the main window is disabled while an operation runs, and a box it owned would
    // be disabled with it.
    // Texts join their lines with a carriage return or a line feed; the box breaks lines only at
    // line feeds.
    QString lines = text;
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QCoreApplication::applicationName(), lines, QMessageBox::Ok);
    box.setWindowIcon(windowIcon());
    box.exec();
}

void frmMain::NotRespondingBox()
{
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    QStringLiteral("The target device is not responding\n"
                                   "Please Reset your target device\n"
                                   "and press the Reset button."),
                    QMessageBox::Ok);
    box.setWindowIcon(windowIcon());
    box.exec();
}

int frmMain::SelectedMemory() const
{
    if (CpuFlash->isChecked())
        return kCpuFlash;
    if (ExternalFlash->isChecked())
        return kExternalFlash;
    return kDataFlash;
}

void frmMain::DoEvents()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void frmMain::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    SettingsStore::Write(QString::fromLatin1(kGeneralSection),
                         QString::fromLatin1(kProfileLastUsedKey), CurrentProfile.Name);
    CloseCommPort(comm_);
    if (Timer1)
        Timer1->stop();
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // A close request during a target operation is carried out as soon as the operation ends.
    if (busy_ > 0) {
        closePending_ = true;
        event->ignore();
        return;
    }
    Shutdown();
    if (profileProperties_)
        profileProperties_->hide();
    event->accept();
}

// Mouse presses on the tab strip; the two Monitor address fields, which take hex digits only
// and select their text on focus.
bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    // The tab strip reports a press of any mouse button, and the second press of a double click
    // again, as a click; a tab click reloads the chip loader, so only a left press counts.
    if (watched == Tab1) {
        if (event->type() == QEvent::MouseButtonDblClick)
            return true;
        if (event->type() == QEvent::MouseButtonPress
            && static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return true;
        return QMainWindow::eventFilter(watched, event);
    }

    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && (field == txtMonitorAddressFrom || field == txtMonitorAddressTo)) {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent*>(event)->text();
            if (text.size() == 1 && text.at(0).isPrint() && !HexKeyAllowed(text.at(0)))
                return true;
        } else if (event->type() == QEvent::FocusIn) {
            // After the field's own focus handling, which may place the cursor.
            QTimer::singleShot(0, field, [field] { SelectAllText(field); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
