// The per-user settings store, kept in one INI file per application and read and written with
// SimpleIni. Every call opens the file afresh: nothing is cached between calls, so a second
// running instance sees what the first one wrote.
//
// Writes take a lock file beside the store, read the file, change it in memory and replace it
// atomically (QSaveFile writes a temporary file and renames it over the old one), so two
// instances never lose each other's keys and a crash mid-write leaves the previous file.
//
// Names and values are percent-encoded where the INI format could not hold them as they are
// (see EncodeName / EncodeValue). The encoding is reversible and leaves ordinary names readable.
#include "settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

// Names and values go in and out as UTF-8 bytes; Qt does the conversion. The class itself is
// compiled into Debian's libsimpleini.
#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <algorithm>
#include <functional>
#include <string>

namespace {

constexpr char kStoreFileName[] = "settings.ini";
constexpr char kLockSuffix[] = ".lock";
// How long a write waits for another instance to finish its own write.
constexpr int kLockWaitMs = 10000;
// A lock older than this whose owner cannot be checked counts as left over from a crash.
constexpr int kStaleLockMs = 30000;

// Percent-encodes one byte.
void AppendEscaped(std::string& out, unsigned char c)
{
    static const char hex[] = "0123456789ABCDEF";
    out += '%';
    out += hex[c >> 4];
    out += hex[c & 0x0F];
}

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t'; }
bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Section and key names: brackets, "=", ";", "#", "%", control characters (line breaks) and
// blanks at either end are escaped. The empty name is written as a lone "%".
std::string EncodeName(const QString& name)
{
    if (name.isEmpty())
        return "%";
    const QByteArray utf8 = name.toUtf8();
    std::string out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool atEnd = i == 0 || i == utf8.size() - 1;
        if (c == '[' || c == ']' || c == '=' || c == ';' || c == '#' || c == '%' || IsControl(c)
            || (atEnd && IsBlank(c)))
            AppendEscaped(out, c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

// Values: "%", control characters and blanks at either end are escaped.
std::string EncodeValue(const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    std::string out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool atEnd = i == 0 || i == utf8.size() - 1;
        if (c == '%' || IsControl(c) || (atEnd && IsBlank(c)))
            AppendEscaped(out, c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Undoes the percent-encoding. A "%" not followed by two hex digits stays as it is, so a value
// typed by hand into the file still reads back.
QString Decode(const char* text)
{
    QByteArray out;
    for (const char* p = text; *p; ++p) {
        if (*p == '%' && p[1] && p[2]) {
            const int hi = HexDigit(p[1]);
            const int lo = HexDigit(p[2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                p += 2;
                continue;
            }
        }
        out += *p;
    }
    return QString::fromUtf8(out);
}

QString DecodeName(const char* text)
{
    if (text[0] == '%' && text[1] == '\0')
        return QString();
    return Decode(text);
}

QString ApplicationName()
{
    QString path;
    if (QCoreApplication::instance())
        path = QCoreApplication::applicationFilePath();
    if (path.isEmpty())
        path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QString name = QFileInfo(path).completeBaseName();
    return name.isEmpty() ? QStringLiteral("Bramlet") : name;
}

void ConfigureIni(CSimpleIniA& ini)
{
    ini.SetUnicode(true);
    ini.SetMultiKey(false);
    ini.SetMultiLine(false);
    ini.SetQuotes(false);
    ini.SetSpaces(false);
    ini.SetAllowKeyOnly(false);
}

// Loads the store file into ini. A missing, unreadable or garbled file leaves ini empty.
void LoadStore(CSimpleIniA& ini)
{
    ConfigureIni(ini);
    QFile file(SettingsStore::FilePath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.readAll();
    file.close();
    if (ini.LoadData(data.constData(), static_cast<size_t>(data.size())) < 0)
        ini.Reset();
}

// Lock, read, change, atomic replace. change returns whether it changed anything.
bool ModifyStore(const std::function<bool(CSimpleIniA&)>& change)
{
    const QString path = SettingsStore::FilePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;

    QLockFile lock(path + QLatin1String(kLockSuffix));
    lock.setStaleLockTime(kStaleLockMs);
    if (!lock.tryLock(kLockWaitMs))
        return false;

    CSimpleIniA ini;
    LoadStore(ini);
    if (!change(ini))
        return true;

    std::string text;
    if (ini.Save(text, false) < 0)
        return false;

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

}  // namespace

namespace SettingsStore {

QString FilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QLatin1Char('/') + ApplicationName() + QLatin1Char('/')
           + QLatin1String(kStoreFileName);
}

QString Read(const QString& section, const QString& key, const QString& fallback)
{
    CSimpleIniA ini;
    LoadStore(ini);
    const char* value = ini.GetValue(EncodeName(section).c_str(), EncodeName(key).c_str(), nullptr);
    return value ? Decode(value) : fallback;
}

bool Write(const QString& section, const QString& key, const QString& value)
{
    const std::string s = EncodeName(section);
    const std::string k = EncodeName(key);
    const std::string v = EncodeValue(value);
    return ModifyStore([&](CSimpleIniA& ini) {
        const char* old = ini.GetValue(s.c_str(), k.c_str(), nullptr);
        if (old && v == old)
            return false;
        return ini.SetValue(s.c_str(), k.c_str(), v.c_str()) >= 0;
    });
}

bool WriteMany(const QString& section, const QList<QPair<QString, QString>>& pairs)
{
    const std::string s = EncodeName(section);
    return ModifyStore([&](CSimpleIniA& ini) {
        bool changed = false;
        for (const auto& [key, value] : pairs) {
            const std::string k = EncodeName(key);
            const std::string v = EncodeValue(value);
            const char* old = ini.GetValue(s.c_str(), k.c_str(), nullptr);
            if (old && v == old)
                continue;
            if (ini.SetValue(s.c_str(), k.c_str(), v.c_str()) < 0)
                return false;
            changed = true;
        }
        return changed;
    });
}

bool DeleteKey(const QString& section, const QString& key)
{
    const std::string s = EncodeName(section);
    const std::string k = EncodeName(key);
    return ModifyStore([&](CSimpleIniA& ini) { return ini.Delete(s.c_str(), k.c_str(), true); });
}

bool DeleteSection(const QString& section)
{
    const std::string s = EncodeName(section);
    return ModifyStore([&](CSimpleIniA& ini) { return ini.Delete(s.c_str(), nullptr); });
}

QList<QPair<QString, QString>> ListSection(const QString& section)
{
    CSimpleIniA ini;
    LoadStore(ini);
    const std::string s = EncodeName(section);
    CSimpleIniA::TNamesDepend keys;
    QList<QPair<QString, QString>> result;
    if (!ini.GetAllKeys(s.c_str(), keys))
        return result;
    keys.sort(CSimpleIniA::Entry::LoadOrder());
    for (const auto& key : keys) {
        const char* value = ini.GetValue(s.c_str(), key.pItem, "");
        result.append({DecodeName(key.pItem), Decode(value)});
    }
    return result;
}

}  // namespace SettingsStore
