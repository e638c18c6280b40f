#include "frm_profile_properties.h"

#include "comm.h"
#include "frm_profile_new.h"
#include "link_host.h"
#include "main_window_link.h"
#include "module1.h"
#include "profile.h"
#include "settings_store.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

namespace {

// Form geometry in pixels (the form is drawn in twips, 15 to a pixel).
constexpr int kClientWidth = 297;              // 4550 twips outer, less the frame
constexpr int kClientHeight = 280;             // 4560 twips outer, less caption and frame
constexpr QRect kTab1Rect{8, 10, 204, 260};    // 120, 150, 3060 x 3900
constexpr int kButtonLeft = 220;               // 3300
constexpr int kButtonWidth = 65;               // 975
constexpr int kButtonHeight = 25;              // 375
constexpr int kOKTop = 30, kCancelTop = 60, kApplyTop = 90;  // 450, 900, 1350

// The file dialog opens at this size.
constexpr int kFileDialogWidth = 760;
constexpr int kFileDialogHeight = 460;
constexpr int kFileDialogPlacesWidth = 120;

// Typing limits of the fields.
constexpr int kIndicatorDigits = 4;
constexpr int kActiveLevelDigits = 1;
constexpr int kOffsetDigits = 8;
constexpr char kLimitProperty[] = "typingLimit";

constexpr QChar kBackspace{8};

const QString kProfilesSection = QStringLiteral("Profiles");
const QString kDefaultProfile = QStringLiteral("Default");
// The chip loader of the ST10F168 is not editable: Apply always writes this name.
const QString kC168LoaderFile = QStringLiteral("LoaderC168.sre");

const QStringList kCPUTypes{QStringLiteral("C167"), QStringLiteral("ST10F168")};
const QStringList kCOMPorts{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                            QStringLiteral("4")};
const QStringList kBaudRates{QStringLiteral("1200"),  QStringLiteral("2400"),
                             QStringLiteral("4800"),  QStringLiteral("9600"),
                             QStringLiteral("14400"), QStringLiteral("19200"),
                             QStringLiteral("38400"), QStringLiteral("57600")};
const QStringList kDataBits{QStringLiteral("7"), QStringLiteral("8")};
const QStringList kParities{QStringLiteral("Even"), QStringLiteral("Odd"), QStringLiteral("None")};
const QStringList kStopBits{QStringLiteral("1"), QStringLiteral("2")};

// Parts of a line-settings text that a stored value lacks are shown as these.
const QStringList kDefaultCOMSettings{QStringLiteral("38400"), QStringLiteral("N"),
                                      QStringLiteral("8"), QStringLiteral("1")};

// Shows value in a drop-down list. A value the list does not offer (a port above 4, a rate
// not listed, another CPU type) is added as an entry of its own, so that it is shown and an
// Apply without a change writes it back as it was; an entry added for an earlier profile is
// dropped first. An empty value selects nothing.
void ShowInList(QComboBox* list, const QStringList& entries, const QString& value)
{
    while (list->count() > entries.size())
        list->removeItem(list->count() - 1);
    if (value.isEmpty()) {
        list->setCurrentIndex(-1);
        return;
    }
    int index = list->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        list->addItem(value);
        index = list->count() - 1;
    }
    list->setCurrentIndex(index);
}

// Puts a stored text into a field. A text longer than the field's typing limit is kept whole
// (the limit only governs typing), so that loading never shortens a stored value.
void ShowInField(QLineEdit* field, const QString& text)
{
    const int limit = field->property(kLimitProperty).toInt();
    if (limit > 0)
        field->setMaxLength(std::max(limit, static_cast<int>(text.size())));
    field->setText(text);
}

// Converts a number field's decimal text. Text that does not convert to T keeps the value the
// profile was loaded with, and the field shows that value again: a garbage number is never
// written.
template <typename T>
T FieldNumber(const QString& text, T loaded, QLineEdit* field = nullptr)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok, 10);
    if (ok && value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max())
        return static_cast<T>(value);
    if (field) {
        const QSignalBlocker quiet(field);
        ShowInField(field, QString::number(loaded));
    }
    return loaded;
}

// The character a key press would type into a field, or nothing for keys that type nothing
// there (arrows, Tab, Enter, Esc, shortcuts with Ctrl or Alt). Backspace counts as typed.
bool TypedCharacter(const QKeyEvent& key, QChar* ch)
{
    if (key.key() == Qt::Key_Backspace) {
        *ch = kBackspace;
        return true;
    }
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = key.text();
    if (text.size() != 1 || !text.at(0).isPrint())
        return false;
    *ch = text.at(0);
    return true;
}

bool ActiveLevelKeyAllowed(QChar ch)
{
    return ch == QLatin1Char('0') || ch == QLatin1Char('1') || ch == kBackspace;
}

template <typename C>
bool Holds(const C& fields, const QObject* object)
{
    return std::find(fields.begin(), fields.end(), object) != fields.end();
}

QLabel* NewLabel(QWidget* parent, const QString& caption, QWidget* buddy = nullptr)
{
    auto* label = new QLabel(caption, parent);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QComboBox* NewList(QWidget* parent, const QString& name, const QStringList& entries)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->setEditable(false);
    list->addItems(entries);
    list->setCurrentIndex(-1);
    return list;
}

}  // namespace

const QString frmProfileProperties::LoaderFilter = QStringLiteral("S-Record File (*.sre)|*.sre");
const QString frmProfileProperties::ApplFilter =
    QStringLiteral("S-Record File (*.sre)|*.sre|Binary File (*.bin)|*.bin");
const QString frmProfileProperties::PreLoaderFilter = QStringLiteral("Binary File (*.bin)|*.bin");

frmProfileProperties::frmProfileProperties(MainWindowLink& mainWindow, QWidget* parent)
    : QDialog(parent), main_(mainWindow)
{
    setObjectName(QStringLiteral("frmProfileProperties"));
    setWindowTitle(QStringLiteral("Profile Manager"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setWindowIcon(main_.WindowIcon());

    BuildControls();
    WireChangeMarking();

    ShowSelectedPage();
    FillProfileList();
}

frmProfileProperties::~frmProfileProperties() = default;

// ---- Building the form ------------------------------------------------------------------------

QLineEdit* frmProfileProperties::NewTextField(QWidget* parent, const QString& name, int limit)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    if (limit > 0) {
        field->setProperty(kLimitProperty, limit);
        field->setMaxLength(limit);
    }
    return field;
}

QPushButton* frmProfileProperties::NewBrowseButton(QWidget* parent, const QString& name,
                                                   const QString& filter, QLineEdit* target)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(name);
    button->setFixedWidth(24);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, filter, target] { BrowseForFile(filter, target); });
    return button;
}

void frmProfileProperties::BuildControls()
{
    Tab1 = new QTabWidget(this);
    Tab1->setObjectName(QStringLiteral("Tab1"));
    Tab1->setGeometry(kTab1Rect);
    // The tab strip's client area holds the page frames, laid over each other; the selected
    // tab's frame is the one shown.
    auto* clientArea = new QWidget;
    clientArea->setObjectName(QStringLiteral("Tab1ClientArea"));
    auto* pages = new QGridLayout(clientArea);
    pages->setContentsMargins(0, 0, 0, 0);
    for (int i = 1; i <= PageCount; ++i) {
        fraTab1[i] = new QFrame(clientArea);
        fraTab1[i]->setObjectName(QStringLiteral("fraTab1_%1").arg(i));
        fraTab1[i]->setFrameShape(QFrame::NoFrame);
        fraTab1[i]->hide();
        pages->addWidget(fraTab1[i], 0, 0);
    }
    Tab1->addTab(clientArea, QStringLiteral("&General"));

    BuildPage1();
    BuildFilesPage(2, QStringLiteral("C167"), txtC167LoaderFile, txtC167ApplFile, txtC167ApplFileOffset);
    BuildIndicatorPage();
    BuildFilesPage(4, QStringLiteral("AMD29F0x0"), txtAMD29F0x0LoaderFile, txtAMD29F0x0ApplFile,
                   txtAMD29F0x0ApplFileOffset);
    BuildFilesPage(5, QStringLiteral("AT45D0x1"), txtAT45D0x1LoaderFile, txtAT45D0x1ApplFile,
                   txtAT45D0x1ApplFileOffset);
    BuildFilesPage(6, QStringLiteral("DS1994"), txtDS1994LoaderFile, txtDS1994ApplFile,
                   txtDS1994ApplFileOffset);

    // The Overview frame: the profile list with New... and Delete. Hidden in this edition.
    fraOverview = new QGroupBox(QStringLiteral("Overview"), this);
    fraOverview->setObjectName(QStringLiteral("fraOverview"));
    fraOverview->setGeometry(kButtonLeft, 130, kButtonWidth + 6, 140);
    auto* overview = new QVBoxLayout(fraOverview);
    overview->setContentsMargins(2, 2, 2, 2);
    lstProfiles = new QListWidget(fraOverview);
    lstProfiles->setObjectName(QStringLiteral("lstProfiles"));
    lstProfiles->setSelectionMode(QAbstractItemView::SingleSelection);
    cmdNew = new QPushButton(QStringLiteral("&New..."), fraOverview);
    cmdNew->setObjectName(QStringLiteral("cmdNew"));
    cmdNew->setAutoDefault(false);
    cmdDelete = new QPushButton(QStringLiteral("&Delete"), fraOverview);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    cmdDelete->setAutoDefault(false);
    overview->addWidget(lstProfiles);
    overview->addWidget(cmdNew);
    overview->addWidget(cmdDelete);
    fraOverview->hide();

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(kButtonLeft, kOKTop, kButtonWidth, kButtonHeight);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setGeometry(kButtonLeft, kCancelTop, kButtonWidth, kButtonHeight);
    cmdApply = new QPushButton(QStringLiteral("&Apply"), this);
    cmdApply->setObjectName(QStringLiteral("cmdApply"));
    cmdApply->setGeometry(kButtonLeft, kApplyTop, kButtonWidth, kButtonHeight);
    cmdApply->setEnabled(false);

    // One file dialog for every "..." button.
    dlg = NewFileDialog(this);

    connect(Tab1, &QTabWidget::currentChanged, this, [this] { ShowSelectedPage(); });
    connect(Tab1, &QTabWidget::tabBarClicked, this, [this] { ShowSelectedPage(); });
    connect(lstProfiles, &QListWidget::currentRowChanged, this, [this](int row) { lstProfiles_Selected(row); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdApply, &QPushButton::clicked, this, [this] { cmdApply_Click(); });
    connect(cmdNew, &QPushButton::clicked, this, [this] { cmdNew_Click(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });
}

void frmProfileProperties::BuildPage1()
{
    QFrame* page = fraTab1[1];
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(4);

    cboCPU = NewList(page, QStringLiteral("cboCPU"), kCPUTypes);
    cboCOMPort = NewList(page, QStringLiteral("cboCOMPort"), kCOMPorts);
    cboCOMBaudRate = NewList(page, QStringLiteral("cboCOMBaudRate"), kBaudRates);
    cboCOMDataBits = NewList(page, QStringLiteral("cboCOMDataBits"), kDataBits);
    cboCOMParity = NewList(page, QStringLiteral("cboCOMParity"), kParities);
    cboCOMStopBits = NewList(page, QStringLiteral("cboCOMStopBits"), kStopBits);
    txtCOMInBuffersize = NewTextField(page, QStringLiteral("txtCOMInBuffersize"), 0);
    txtCOMOutBuffersize = NewTextField(page, QStringLiteral("txtCOMOutBuffersize"), 0);
    txtPreLoaderFile = NewTextField(page, QStringLiteral("txtPreLoaderFile"), 0);
    auto* preLoaderBrowse =
        NewBrowseButton(page, QStringLiteral("cmdPreLoaderFileBrowse"), PreLoaderFilter, txtPreLoaderFile);

    int row = 0;
    auto addRow = [&](const QString& caption, QWidget* field, QWidget* extra = nullptr) {
        QLabel* label = NewLabel(page, caption, field);
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1, 1, extra ? 1 : 2);
        if (extra)
            grid->addWidget(extra, row, 2);
        ++row;
        return label;
    };
    addRow(QStringLiteral("&CPU Type"), cboCPU);
    addRow(QStringLiteral("&COM Port:"), cboCOMPort);
    addRow(QStringLiteral("&Baud Rate:"), cboCOMBaudRate);
    addRow(QStringLiteral("&Data Bits:"), cboCOMDataBits);
    addRow(QStringLiteral("&Parity:"), cboCOMParity);
    addRow(QStringLiteral("&Stop Bits:"), cboCOMStopBits);
    // Kept in the profile, not offered in this edition.
    for (QWidget* w : {static_cast<QWidget*>(addRow(QStringLiteral("&In Buffersize:"), txtCOMInBuffersize)),
                       static_cast<QWidget*>(txtCOMInBuffersize),
                       static_cast<QWidget*>(addRow(QStringLiteral("&Out Buffersize:"), txtCOMOutBuffersize)),
                       static_cast<QWidget*>(txtCOMOutBuffersize),
                       static_cast<QWidget*>(addRow(QStringLiteral("Pre&loader File:"), txtPreLoaderFile,
                                                    preLoaderBrowse)),
                       static_cast<QWidget*>(txtPreLoaderFile), static_cast<QWidget*>(preLoaderBrowse)})
        w->hide();
    txtCOMInBuffersize->setEnabled(false);
    txtCOMOutBuffersize->setEnabled(false);
    grid->setRowStretch(row, 1);

    focusFields_.push_back(txtPreLoaderFile);
}

void frmProfileProperties::BuildFilesPage(int page, const QString& chip, QLineEdit*& loaderFile,
                                          QLineEdit*& applFile, QLineEdit*& applFileOffset)
{
    QFrame* frame = fraTab1[page];
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setVerticalSpacing(2);

    loaderFile = NewTextField(frame, QStringLiteral("txt%1LoaderFile").arg(chip), 0);
    applFile = NewTextField(frame, QStringLiteral("txt%1ApplFile").arg(chip), 0);
    applFileOffset = NewTextField(frame, QStringLiteral("txt%1ApplFileOffset").arg(chip), kOffsetDigits);
    auto* loaderBrowse =
        NewBrowseButton(frame, QStringLiteral("cmd%1LoaderFileBrowse").arg(chip), LoaderFilter, loaderFile);
    auto* applBrowse =
        NewBrowseButton(frame, QStringLiteral("cmd%1ApplFileBrowse").arg(chip), ApplFilter, applFile);

    grid->addWidget(NewLabel(frame, QStringLiteral("&Loader File:"), loaderFile), 0, 0, 1, 3);
    grid->addWidget(loaderFile, 1, 0, 1, 2);
    grid->addWidget(loaderBrowse, 1, 2);
    grid->addWidget(NewLabel(frame, QStringLiteral("&Appl. File:"), applFile), 2, 0, 1, 3);
    grid->addWidget(applFile, 3, 0, 1, 2);
    grid->addWidget(applBrowse, 3, 2);
    grid->addWidget(NewLabel(frame, QStringLiteral("&Offset:"), applFileOffset), 4, 0, 1, 3);
    grid->addWidget(applFileOffset, 5, 0);
    grid->addWidget(NewLabel(frame, QStringLiteral("(Hex)")), 5, 1, 1, 2);
    auto* note = NewLabel(frame, QStringLiteral("(Only applicable for 'Binary' files)"));
    note->setWordWrap(true);
    grid->addWidget(note, 6, 0, 1, 3);
    grid->setRowStretch(7, 1);

    hexFields_.push_back(applFileOffset);
    focusFields_.insert(focusFields_.end(), {loaderFile, applFile, applFileOffset});
}

QGroupBox* frmProfileProperties::BuildIndicatorFrame(const QString& name, const QString& caption,
                                                     QLineEdit*& dataAddr, QLineEdit*& dirAddr,
                                                     QLineEdit*& openDrainAddr, QLineEdit*& mask,
                                                     QLineEdit*& actLev)
{
    auto* frame = new QGroupBox(caption, fraTab1[3]);
    frame->setObjectName(QStringLiteral("fraInd%1").arg(name));
    auto* grid = new QGridLayout(frame);
    grid->setContentsMargins(4, 2, 4, 2);
    grid->setVerticalSpacing(1);
    const QString prefix = QStringLiteral("txtInd") + name;
    dataAddr = NewTextField(frame, prefix + QStringLiteral("DataAddr"), kIndicatorDigits);
    dirAddr = NewTextField(frame, prefix + QStringLiteral("DirAddr"), kIndicatorDigits);
    openDrainAddr = NewTextField(frame, prefix + QStringLiteral("OpenDrainAddr"), kIndicatorDigits);
    mask = NewTextField(frame, prefix + QStringLiteral("Mask"), kIndicatorDigits);
    actLev = NewTextField(frame, prefix + QStringLiteral("ActLev"), kActiveLevelDigits);
    const std::pair<const char*, QLineEdit*> rows[] = {{"Data Addr.:", dataAddr},
                                                       {"Direction Addr.:", dirAddr},
                                                       {"Open Drain Addr.:", openDrainAddr},
                                                       {"Mask:", mask},
                                                       {"Active Level:", actLev}};
    int row = 0;
    for (const auto& [caption_, field] : rows) {
        grid->addWidget(NewLabel(frame, QString::fromLatin1(caption_), field), row, 0);
        grid->addWidget(field, row, 1);
        ++row;
    }
    auto* note = NewLabel(frame, QStringLiteral("All data must be entered in Hex format!"));
    note->setWordWrap(true);
    grid->addWidget(note, row, 0, 1, 2);

    hexFields_.insert(hexFields_.end(), {dataAddr, dirAddr, openDrainAddr, mask});
    levelFields_.push_back(actLev);
    focusFields_.insert(focusFields_.end(), {dataAddr, dirAddr, openDrainAddr, mask, actLev});
    return frame;
}

void frmProfileProperties::BuildIndicatorPage()
{
    auto* column = new QVBoxLayout(fraTab1[3]);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(2);
    fraIndBusy = BuildIndicatorFrame(QStringLiteral("Busy"), QStringLiteral("Busy"), txtIndBusyDataAddr,
                                     txtIndBusyDirAddr, txtIndBusyOpenDrainAddr, txtIndBusyMask,
                                     txtIndBusyActLev);
    fraIndFail = BuildIndicatorFrame(QStringLiteral("Fail"), QStringLiteral("Fail"), txtIndFailDataAddr,
                                     txtIndFailDirAddr, txtIndFailOpenDrainAddr, txtIndFailMask,
                                     txtIndFailActLev);
    column->addWidget(fraIndBusy);
    column->addWidget(fraIndFail);
}

void frmProfileProperties::WireChangeMarking()
{
    // A chosen line setting or port marks a change; a chosen CPU type does not (OK applies it).
    for (QComboBox* list : {cboCOMPort, cboCOMBaudRate, cboCOMDataBits, cboCOMParity, cboCOMStopBits})
        connect(list, &QComboBox::currentIndexChanged, this, [this] { MarkChanged(); });
    // Every text field but the two buffer sizes marks a change, and selects its text on focus.
    for (QLineEdit* field : focusFields_) {
        connect(field, &QLineEdit::textChanged, this, [this] { MarkChanged(); });
        field->installEventFilter(this);
    }
}

void frmProfileProperties::MarkChanged()
{
    cmdApply->setEnabled(true);
}

// ---- Pages and the profile list ------------------------------------------------------------------

void frmProfileProperties::ShowSelectedPage()
{
    const int selected = Tab1->currentIndex() + 1;
    if (selected < 1 || selected > PageCount || selected == currentPage_)
        return;
    fraTab1[selected]->show();
    if (currentPage_ > 0)
        fraTab1[currentPage_]->hide();
    fraTab1[selected]->raise();
    currentPage_ = selected;
}

// Lists every registered profile, sorted without regard to letter case, and selects the current
// profile. When the current profile is not registered (deleted, or started from an unknown
// name), "Default" is selected, else the first entry; Apply then writes to that profile and
// makes it current.
void frmProfileProperties::FillProfileList()
{
    lstProfiles->clear();
    QStringList names;
    for (const auto& [key, value] : SettingsStore::ListSection(kProfilesSection))
        names << key;
    names.sort(Qt::CaseInsensitive);
    lstProfiles->addItems(names);

    auto find = [&names](const QString& name) {
        for (int i = 0; i < names.size(); ++i)
            if (names[i].compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    int row = find(CurrentProfile.Name);
    if (row < 0)
        row = find(kDefaultProfile);
    if (row < 0 && !names.isEmpty())
        row = 0;
    if (row >= 0)
        lstProfiles->setCurrentRow(row);  // runs the selection handling
    else
        cmdDelete->setEnabled(false);
}

void frmProfileProperties::lstProfiles_Selected(int row)
{
    if (row < 0)
        return;
    const QString name = lstProfiles->item(row)->text();
    // The default profile cannot be deleted.
    cmdDelete->setEnabled(name.toLower() != QStringLiteral("default"));
    ShowProfile(name);
    // Applying makes the chosen profile current, even without a further edit.
    if (name.compare(CurrentProfile.Name, Qt::CaseInsensitive) != 0)
        cmdApply->setEnabled(true);
}

void frmProfileProperties::ShowProfile(const QString& name)
{
    ReadProfile(name, loaded_);

    QStringList parts = loaded_.COMSettings.split(QLatin1Char(','));
    for (int i = 0; i < kDefaultCOMSettings.size(); ++i)
        if (i >= parts.size() || parts[i].isEmpty()) {
            if (i < parts.size())
                parts[i] = kDefaultCOMSettings[i];
            else
                parts << kDefaultCOMSettings[i];
        }
    ShowInList(cboCOMBaudRate, kBaudRates, parts[0]);
    // An unknown parity letter leaves the list as it was.
    const QString parity = parts[1].toUpper();
    if (parity == QStringLiteral("N"))
        cboCOMParity->setCurrentIndex(kParities.indexOf(QStringLiteral("None")));
    else if (parity == QStringLiteral("E"))
        cboCOMParity->setCurrentIndex(kParities.indexOf(QStringLiteral("Even")));
    else if (parity == QStringLiteral("O"))
        cboCOMParity->setCurrentIndex(kParities.indexOf(QStringLiteral("Odd")));
    ShowInList(cboCOMDataBits, kDataBits, parts[2]);
    ShowInList(cboCOMStopBits, kStopBits, parts[3]);

    ShowInList(cboCOMPort, kCOMPorts, QString::number(loaded_.COMPort));
    ShowInList(cboCPU, kCPUTypes, loaded_.ProcessorCode);
    ShowInField(txtCOMInBuffersize, QString::number(loaded_.COMInBufferSize));
    ShowInField(txtCOMOutBuffersize, QString::number(loaded_.COMOutBufferSize));
    ShowInField(txtIndBusyDataAddr, loaded_.IndBusyDataAddr);
    ShowInField(txtIndBusyDirAddr, loaded_.IndBusyDirAddr);
    ShowInField(txtIndBusyOpenDrainAddr, loaded_.IndBusyOpenDrainAddr);
    ShowInField(txtIndBusyMask, loaded_.IndBusyMask);
    ShowInField(txtIndBusyActLev, QString::number(loaded_.IndBusyActLev));
    ShowInField(txtIndFailDataAddr, loaded_.IndFailDataAddr);
    ShowInField(txtIndFailDirAddr, loaded_.IndFailDirAddr);
    ShowInField(txtIndFailOpenDrainAddr, loaded_.IndFailOpenDrainAddr);
    ShowInField(txtIndFailMask, loaded_.IndFailMask);
    ShowInField(txtIndFailActLev, QString::number(loaded_.IndFailActLev));
    ShowInField(txtPreLoaderFile, loaded_.PreLoaderFile);
    ShowInField(txtAMD29F0x0LoaderFile, loaded_.AMD29F0x0LoaderFile);
    ShowInField(txtAMD29F0x0ApplFile, loaded_.AMD29F0x0ApplFile);
    ShowInField(txtAMD29F0x0ApplFileOffset, loaded_.AMD29F0x0ApplFileOffset);
    ShowInField(txtAT45D0x1LoaderFile, loaded_.AT45D0x1LoaderFile);
    ShowInField(txtAT45D0x1ApplFile, loaded_.AT45D0x1ApplFile);
    ShowInField(txtAT45D0x1ApplFileOffset, loaded_.AT45D0x1ApplFileOffset);
    ShowInField(txtC167LoaderFile, loaded_.C167LoaderFile);
    ShowInField(txtC167ApplFile, loaded_.C167ApplFile);
    ShowInField(txtC167ApplFileOffset, loaded_.C167ApplFileOffset);
    ShowInField(txtDS1994LoaderFile, loaded_.DS1994LoaderFile);
    ShowInField(txtDS1994ApplFile, loaded_.DS1994ApplFile);
    ShowInField(txtDS1994ApplFileOffset, loaded_.DS1994ApplFileOffset);

    // Values just loaded are not a change.
    cmdApply->setEnabled(false);
}

// ---- Files ---------------------------------------------------------------------------------------

QStringList frmProfileProperties::NameFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')')))
            result << description;
        else
            result << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return result;
}

QFileDialog* frmProfileProperties::NewFileDialog(QWidget* parent)
{
    auto* dialog = new QFileDialog(parent);
    dialog->setObjectName(QStringLiteral("dlg"));
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->resize(kFileDialogWidth, kFileDialogHeight);
    // The places list is wide enough for its names; the file name takes the room the size, type
    // and date leave, and those are shown whole.
    if (auto* panes = dialog->findChild<QSplitter*>(QStringLiteral("splitter")))
        panes->setSizes({kFileDialogPlacesWidth, kFileDialogWidth - kFileDialogPlacesWidth});
    if (auto* files = dialog->findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = files->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    return dialog;
}

void frmProfileProperties::BrowseForFile(const QString& filter, QLineEdit* target)
{
    dlg->setWindowTitle(QStringLiteral("Select a File"));
    dlg->setNameFilters(NameFilters(filter));
    if (dlg->exec() != QDialog::Accepted)
        return;  // cancelled: the field stays as it is
    const QStringList files = dlg->selectedFiles();
    if (!files.isEmpty() && !files.first().isEmpty())
        target->setText(QFileInfo(files.first()).absoluteFilePath());
}

// ---- Apply, OK, Cancel, New, Delete -----------------------------------------------------------------

bool frmProfileProperties::Apply()
{
    QListWidgetItem* selected = lstProfiles->currentItem();
    if (!selected) {
        main_.Host().ShowMessage(QStringLiteral("No profile is selected."), MessageIcon::Exclamation);
        return false;
    }
    const QString name = selected->text();

    QString parity;
    const QString shown = cboCOMParity->currentText().toLower();
    if (shown == QStringLiteral("none"))
        parity = QStringLiteral("N");
    else if (shown == QStringLiteral("odd"))
        parity = QStringLiteral("O");
    else if (shown == QStringLiteral("even"))
        parity = QStringLiteral("E");

    ProfileRecord record;
    record.Name = name;
    record.COMSettings = cboCOMBaudRate->currentText() + QLatin1Char(',') + parity + QLatin1Char(',') +
                         cboCOMDataBits->currentText() + QLatin1Char(',') + cboCOMStopBits->currentText();
    record.COMPort = FieldNumber<int16_t>(cboCOMPort->currentText(), loaded_.COMPort);
    record.COMDTREnable = CurrentProfile.COMDTREnable;
    record.COMHandshaking = CurrentProfile.COMHandshaking;
    record.COMNullDiscard = CurrentProfile.COMNullDiscard;
    record.COMInBufferSize =
        FieldNumber<int32_t>(txtCOMInBuffersize->text(), loaded_.COMInBufferSize, txtCOMInBuffersize);
    record.COMOutBufferSize =
        FieldNumber<int32_t>(txtCOMOutBuffersize->text(), loaded_.COMOutBufferSize, txtCOMOutBuffersize);
    record.ProcessorCode = cboCPU->currentText();
    record.IndBusyDataAddr = txtIndBusyDataAddr->text();
    record.IndBusyDirAddr = txtIndBusyDirAddr->text();
    record.IndBusyOpenDrainAddr = txtIndBusyOpenDrainAddr->text();
    record.IndBusyMask = txtIndBusyMask->text();
    record.IndBusyActLev = FieldNumber<uint8_t>(txtIndBusyActLev->text(), loaded_.IndBusyActLev, txtIndBusyActLev);
    record.IndFailDataAddr = txtIndFailDataAddr->text();
    record.IndFailDirAddr = txtIndFailDirAddr->text();
    record.IndFailOpenDrainAddr = txtIndFailOpenDrainAddr->text();
    record.IndFailMask = txtIndFailMask->text();
    record.IndFailActLev = FieldNumber<uint8_t>(txtIndFailActLev->text(), loaded_.IndFailActLev, txtIndFailActLev);
    record.PreLoaderFile = txtPreLoaderFile->text();
    record.AMD29F0x0LoaderFile = txtAMD29F0x0LoaderFile->text();
    record.AMD29F0x0ApplFile = txtAMD29F0x0ApplFile->text();
    record.AMD29F0x0ApplFileOffset = txtAMD29F0x0ApplFileOffset->text();
    record.AT45D0x1LoaderFile = txtAT45D0x1LoaderFile->text();
    record.AT45D0x1ApplFile = txtAT45D0x1ApplFile->text();
    record.AT45D0x1ApplFileOffset = txtAT45D0x1ApplFileOffset->text();
    record.C167LoaderFile = txtC167LoaderFile->text();
    record.C168LoaderFile = kC168LoaderFile;
    record.C167ApplFile = txtC167ApplFile->text();
    record.C167ApplFileOffset = txtC167ApplFileOffset->text();
    record.DS1994LoaderFile = txtDS1994LoaderFile->text();
    record.DS1994ApplFile = txtDS1994ApplFile->text();
    record.DS1994ApplFileOffset = txtDS1994ApplFileOffset->text();

    WriteProfile(name, record);
    ReadProfile(name, CurrentProfile);
    main_.FormCaptionUpdate();
    OpenCommPort(main_.CommPort(), main_.Host());
    return true;
}

void frmProfileProperties::cmdApply_Click()
{
    Apply();
}

void frmProfileProperties::cmdOK_Click()
{
    // OK always applies, even while Apply is disabled (a CPU type choice marks no change).
    Apply();
    accept();
}

void frmProfileProperties::cmdCancel_Click()
{
    // Only hides: the edits stay in the fields for the next opening.
    reject();
}

void frmProfileProperties::cmdNew_Click()
{
    if (!newProfile_)
        newProfile_ = new frmProfileNew(main_.WindowIcon(), this);
    newProfile_->exec();
    FillProfileList();
}

void frmProfileProperties::cmdDelete_Click()
{
    QListWidgetItem* selected = lstProfiles->currentItem();
    if (!selected)
        return;
    const QString name = selected->text();
    if (name.toLower() == QStringLiteral("default"))
        return;
    SettingsStore::DeleteKey(kProfilesSection, name);
    SettingsStore::DeleteSection(name);
    FillProfileList();
}

// ---- Key filters and select-all on focus ------------------------------------------------------------

bool frmProfileProperties::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const bool hex = Holds(hexFields_, watched);
        const bool level = Holds(levelFields_, watched);
        QChar ch;
        if ((hex || level) && TypedCharacter(*static_cast<QKeyEvent*>(event), &ch)) {
            const bool allowed = ch == kBackspace || (hex ? HexKeyAllowed(ch) : ActiveLevelKeyAllowed(ch));
            if (!allowed)
                return true;  // the key never reaches the field
        }
    } else if (event->type() == QEvent::FocusIn && Holds(focusFields_, watched)) {
        // After the field's own focus handling, which may place the cursor.
        auto* field = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, field, [field] { SelectAllText(field); });
    }
    return QDialog::eventFilter(watched, event);
}
