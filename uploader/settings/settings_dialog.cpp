// The Settings window: port, baud rate and language of the uploader.
#include "settings_dialog.h"

#include "port.h"
#include "settings.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRect>

#include <array>

namespace {

const char kCaption[] = "Settings";
const char kOkText[] = "OK";

const char kSectionButtons[] = "Buttons";
const char kSectionIniFiles[] = "INIFiles";
const char kSectionComSettings[] = "ComSettings";
const char kSectionLanguageFiles[] = "LANGUAGEFILES";
const char kKeyCancel[] = "cancel";
const char kKeyBaudrate[] = "baudrate";
const char kKeyPort[] = "port";
const char kKeyLanguageString[] = "languagestring";
const char kKeyLanguage[] = "language";
const char kKeyLanguageNr[] = "languagenr";
const char kKeyComport[] = "comport";
const char kLanguageNamePattern[] = "language%d";
const char kLanguageFilePattern[] = "language%dfile";
const char kNone[] = "none";
const char kDefaultLanguageNr[] = "0";

const std::array<const char*, 4> kPorts = {"COM1", "COM2", "COM3", "COM4"};
const std::array<uint32_t, 5> kBaudRates = {9600, 14400, 19200, 38400, 57600};

// Positions of the window in dialog units (x, y, width, height).
constexpr int kWindowWidthDu = 233;
constexpr int kWindowHeightDu = 95;
constexpr QRect kOkRect(176, 7, 50, 14);
constexpr QRect kCancelRect(176, 24, 50, 14);
constexpr QRect kPortLabelRect(7, 7, 51, 10);
constexpr QRect kPortListRect(61, 7, 77, 14);
constexpr QRect kBaudLabelRect(7, 39, 49, 8);
constexpr QRect kBaudListRect(61, 36, 77, 14);
constexpr QRect kLanguageLabelRect(7, 74, 49, 8);
constexpr QRect kLanguageListRect(61, 71, 77, 14);

QString L(const char* text)
{
    return QString::fromLatin1(text);
}

}  // namespace

SettingsDialog::SettingsDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(L(kCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    okButton = new QPushButton(L(kOkText), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    portLabel = new QLabel(QStringLiteral("Port"), this);
    baudLabel = new QLabel(QStringLiteral("Baud Rate"), this);
    languageLabel = new QLabel(QStringLiteral("Language"), this);
    portList = new QComboBox(this);
    portList->setObjectName(QStringLiteral("portList"));
    baudList = new QComboBox(this);
    baudList->setObjectName(QStringLiteral("baudList"));
    languageList = new QComboBox(this);
    languageList->setObjectName(QStringLiteral("languageList"));
    for (QLabel* label : {portLabel, baudLabel, languageLabel})
        label->setTextFormat(Qt::PlainText);
    portLabel->setBuddy(portList);
    baudLabel->setBuddy(baudList);
    languageLabel->setBuddy(languageList);

    for (const char* port : kPorts)
        portList->addItem(L(port));
    for (uint32_t rate : kBaudRates)
        baudList->addItem(QString::number(rate));

    // Dialog units: a quarter of the average character width across, an eighth of the height down.
    const QFontMetrics metrics(font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double unitX = metrics.horizontalAdvance(alphabet) / 52.0 / 4.0;
    const double unitY = metrics.height() / 8.0;
    const auto place = [unitX, unitY](QWidget* widget, const QRect& du, bool naturalHeight) {
        const int height = naturalHeight ? widget->sizeHint().height() : int(du.height() * unitY + 0.5);
        widget->setGeometry(int(du.x() * unitX + 0.5), int(du.y() * unitY + 0.5),
                            int(du.width() * unitX + 0.5), height);
    };
    place(okButton, kOkRect, false);
    place(cancelButton, kCancelRect, false);
    place(portList, kPortListRect, true);
    place(baudList, kBaudListRect, true);
    place(languageList, kLanguageListRect, true);
    // Each label stands level with its list.
    const auto besideList = [&place](QLabel* label, const QRect& du, const QComboBox* list) {
        place(label, du, true);
        label->setGeometry(label->x(), list->y(), label->width(), list->height());
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    };
    besideList(portLabel, kPortLabelRect, portList);
    besideList(baudLabel, kBaudLabelRect, baudList);
    besideList(languageLabel, kLanguageLabelRect, languageList);
    setFixedSize(int(kWindowWidthDu * unitX + 0.5),
                 std::max(int(kWindowHeightDu * unitY + 0.5),
                          languageList->geometry().bottom() + int(7 * unitY)));
    setTabOrder(portList, baudList);
    setTabOrder(baudList, languageList);
    setTabOrder(languageList, okButton);
    setTabOrder(okButton, cancelButton);

    connect(okButton, &QPushButton::clicked, this, &SettingsDialog::OnOK);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    OnInitDialog();
}

void SettingsDialog::OnInitDialog()
{
    cancelButton->setText(LookupText(L(kSectionButtons), L(kKeyCancel), QStringLiteral("Cancel")));
    baudLabel->setText(LookupText(L(kSectionButtons), L(kKeyBaudrate), QStringLiteral("Baudrate")));
    portLabel->setText(LookupText(L(kSectionButtons), L(kKeyPort), QStringLiteral("Port")));
    languageLabel->setText(
        LookupText(L(kSectionButtons), L(kKeyLanguageString), QStringLiteral("Language")));

    const int port = portState.portNumber;
    portList->setCurrentIndex(port >= 1 && port <= int(kPorts.size()) ? port - 1 : -1);

    int baudIndex = -1;
    for (size_t i = 0; i < kBaudRates.size(); ++i)
        if (kBaudRates[i] == portState.baudRate)
            baudIndex = int(i);
    baudList->setCurrentIndex(baudIndex);

    languageList->clear();
    for (int n = 0;; ++n) {
        const QString name =
            ReadProgram(L(kSectionLanguageFiles), QString::asprintf(kLanguageNamePattern, n), L(kNone));
        if (name == L(kNone))
            break;
        languageList->addItem(name);
    }
    const uint32_t chosen =
        ParseLeadingNumber(ReadProgram(L(kSectionIniFiles), L(kKeyLanguageNr), L(kDefaultLanguageNr)))
            .value_or(0);
    languageList->setCurrentIndex(chosen < uint32_t(languageList->count()) ? int(chosen) : -1);
}

void SettingsDialog::OnOK()
{
    const int port = portList->currentIndex();
    if (port >= 0 && port < int(kPorts.size())) {
        portState.portNumber = static_cast<uint8_t>(port + 1);
        WriteProgram(L(kSectionComSettings), L(kKeyComport),
                     QString::asprintf("%d", int(portState.portNumber)));
    }

    const int baud = baudList->currentIndex();
    if (baud >= 0 && baud < int(kBaudRates.size())) {
        portState.baudRate = kBaudRates[size_t(baud)];
        WriteProgram(L(kSectionComSettings), L(kKeyBaudrate),
                     QString::asprintf("%u", unsigned(portState.baudRate)));
    }

    const int language = languageList->currentIndex();
    if (language >= 0) {
        const QString file = ReadProgram(L(kSectionLanguageFiles),
                                         QString::asprintf(kLanguageFilePattern, language), L(kNone));
        if (file != L(kNone)) {
            WriteProgram(L(kSectionIniFiles), L(kKeyLanguage), file);
            WriteProgram(L(kSectionIniFiles), L(kKeyLanguageNr), QString::asprintf("%d", language));
            languageIniPath = baseDirectory + file;
        }
    }

    accept();
}
