// Start-up settings of the uploader and the lookups in its three INI files.
#include "settings.h"

#include "ini.h"
#include "port.h"

#include <QDir>
#include <QFileInfo>

QString baseDirectory;
QString programIniPath;
QString languageIniPath;
QString customerIniPath;

namespace {

const char kProgramIniName[] = "Quorra.ini";
const char kSectionIniFiles[] = "INIFiles";
const char kSectionComSettings[] = "ComSettings";
const char kKeyLanguage[] = "language";
const char kKeyCustomer[] = "customer";
const char kKeyComport[] = "comport";
const char kKeyBaudrate[] = "baudrate";
const char kDefaultLanguageFile[] = "US.ini";
const char kDefaultCustomerFile[] = "QX.ini";
const char kDefaultComport[] = "1";
const char kDefaultBaudrate[] = "19200";
constexpr int kTextBufferSize = 1024;
constexpr int kComportBufferSize = 2048;

}  // namespace

std::optional<uint32_t> ParseLeadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t') ||
                               text[i] == QLatin1Char('\n') || text[i] == QLatin1Char('\r') ||
                               text[i] == QLatin1Char('\v') || text[i] == QLatin1Char('\f')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    uint32_t value = 0;
    bool anyDigit = false;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = value * 10u + static_cast<uint32_t>(text[i].unicode() - '0');  // wraps, never UB
        anyDigit = true;
    }
    if (!anyDigit)
        return std::nullopt;
    return negative ? 0u - value : value;
}

void LoadStartUpSettings()
{
    InitPort();

    baseDirectory = QFileInfo(QDir::current(), QString::fromLatin1(kProgramIniName)).absolutePath();
    if (!baseDirectory.endsWith(QLatin1Char('/')))
        baseDirectory += QLatin1Char('/');
    programIniPath = baseDirectory + QString::fromLatin1(kProgramIniName);

    languageIniPath = baseDirectory + ReadProgram(QString::fromLatin1(kSectionIniFiles),
                                                  QString::fromLatin1(kKeyLanguage),
                                                  QString::fromLatin1(kDefaultLanguageFile));
    customerIniPath = baseDirectory + ReadProgram(QString::fromLatin1(kSectionIniFiles),
                                                  QString::fromLatin1(kKeyCustomer),
                                                  QString::fromLatin1(kDefaultCustomerFile));

    const auto port = ParseLeadingNumber(ReadProgram(QString::fromLatin1(kSectionComSettings),
                                                     QString::fromLatin1(kKeyComport),
                                                     QString::fromLatin1(kDefaultComport),
                                                     kComportBufferSize));
    if (port)
        portState.portNumber = static_cast<uint8_t>(*port & 0xFFu);

    const auto baud = ParseLeadingNumber(ReadProgram(QString::fromLatin1(kSectionComSettings),
                                                     QString::fromLatin1(kKeyBaudrate),
                                                     QString::fromLatin1(kDefaultBaudrate)));
    if (baud)
        portState.baudRate = *baud;
}

QString LookupText(const QString& section, const QString& key, const QString& defaultText)
{
    return ReadIniString(languageIniPath, section, key, defaultText, kTextBufferSize);
}

QString ReadCustomer(const QString& section, const QString& key, const QString& defaultValue,
                     int bufferSize)
{
    return ReadIniString(customerIniPath, section, key, defaultValue, bufferSize);
}

QString ReadProgram(const QString& section, const QString& key, const QString& defaultValue,
                    int bufferSize)
{
    return ReadIniString(programIniPath, section, key, defaultValue, bufferSize);
}

bool WriteProgram(const QString& section, const QString& key, const QString& value)
{
    return WriteIniString(programIniPath, section, key, value);
}
