// The Profile module: the default profile, and creating, reading and writing named profiles in
// the per-user settings store. Every routine goes to the store afresh; nothing is cached.
#include "profile.h"

#include "settings_store.h"

#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

namespace {

const QString kProfilesSection = QStringLiteral("Profiles");
const QString kDefaultProfile = QStringLiteral("Default");
const QString kNoDefault = QStringLiteral("NoDefault");
const QString kNoProfile = QStringLiteral("NoProfile");
const QString kTrueText = QStringLiteral("True");
const QString kFalseText = QStringLiteral("False");

std::function<void(const QString&)>& WarningHandler()
{
    static std::function<void(const QString&)> handler;
    return handler;
}

// One stored field: its key and how it goes to and from text.
enum class Kind { Text, Bool, Int16, Int32, UInt8 };

struct Field {
    const char* key;
    Kind kind;
    // Exactly one of these is set, matching kind.
    QString ProfileRecord::*text = nullptr;
    bool ProfileRecord::*flag = nullptr;
    int16_t ProfileRecord::*int16 = nullptr;
    int32_t ProfileRecord::*int32 = nullptr;
    uint8_t ProfileRecord::*uint8 = nullptr;
};

Field TextField(const char* key, QString ProfileRecord::*m) { return {key, Kind::Text, m}; }
Field BoolField(const char* key, bool ProfileRecord::*m) { return {key, Kind::Bool, nullptr, m}; }
Field Int16Field(const char* key, int16_t ProfileRecord::*m)
{
    return {key, Kind::Int16, nullptr, nullptr, m};
}
Field Int32Field(const char* key, int32_t ProfileRecord::*m)
{
    return {key, Kind::Int32, nullptr, nullptr, nullptr, m};
}
Field UInt8Field(const char* key, uint8_t ProfileRecord::*m)
{
    return {key, Kind::UInt8, nullptr, nullptr, nullptr, nullptr, m};
}

// The stored keys (every field but Name), in the order they are written and read.
const std::vector<Field>& Fields()
{
    static const std::vector<Field> fields = {
        Int16Field("COMPort", &ProfileRecord::COMPort),
        BoolField("COMDTREnable", &ProfileRecord::COMDTREnable),
        BoolField("COMHandshaking", &ProfileRecord::COMHandshaking),
        Int32Field("COMInBufferSize", &ProfileRecord::COMInBufferSize),
        Int32Field("COMOutBufferSize", &ProfileRecord::COMOutBufferSize),
        BoolField("COMNullDiscard", &ProfileRecord::COMNullDiscard),
        TextField("COMSettings", &ProfileRecord::COMSettings),
        TextField("IndBusyDataAddr", &ProfileRecord::IndBusyDataAddr),
        TextField("IndBusyDirAddr", &ProfileRecord::IndBusyDirAddr),
        TextField("IndBusyOpenDrainAddr", &ProfileRecord::IndBusyOpenDrainAddr),
        TextField("IndBusyMask", &ProfileRecord::IndBusyMask),
        UInt8Field("IndBusyActLev", &ProfileRecord::IndBusyActLev),
        TextField("IndFailDataAddr", &ProfileRecord::IndFailDataAddr),
        TextField("IndFailDirAddr", &ProfileRecord::IndFailDirAddr),
        TextField("IndFailOpenDrainAddr", &ProfileRecord::IndFailOpenDrainAddr),
        TextField("IndFailMask", &ProfileRecord::IndFailMask),
        UInt8Field("IndFailActLev", &ProfileRecord::IndFailActLev),
        TextField("PreLoaderFile", &ProfileRecord::PreLoaderFile),
        TextField("AMD29F0x0LoaderFile", &ProfileRecord::AMD29F0x0LoaderFile),
        TextField("AMD29F0x0ApplFile", &ProfileRecord::AMD29F0x0ApplFile),
        TextField("AMD29F0x0ApplFileOffset", &ProfileRecord::AMD29F0x0ApplFileOffset),
        TextField("AT45D0x1LoaderFile", &ProfileRecord::AT45D0x1LoaderFile),
        TextField("AT45D0x1ApplFile", &ProfileRecord::AT45D0x1ApplFile),
        TextField("AT45D0x1ApplFileOffset", &ProfileRecord::AT45D0x1ApplFileOffset),
        TextField("C167LoaderFile", &ProfileRecord::C167LoaderFile),
        TextField("C168LoaderFile", &ProfileRecord::C168LoaderFile),
        TextField("C167ApplFile", &ProfileRecord::C167ApplFile),
        TextField("C167ApplFileOffset", &ProfileRecord::C167ApplFileOffset),
        TextField("DS1994LoaderFile", &ProfileRecord::DS1994LoaderFile),
        TextField("DS1994ApplFile", &ProfileRecord::DS1994ApplFile),
        TextField("DS1994ApplFileOffset", &ProfileRecord::DS1994ApplFileOffset),
        TextField("ProcessorCode", &ProfileRecord::ProcessorCode),
    };
    return fields;
}

QString ToText(const ProfileRecord& record, const Field& field)
{
    switch (field.kind) {
    case Kind::Text: return record.*field.text;
    case Kind::Bool: return record.*field.flag ? kTrueText : kFalseText;
    case Kind::Int16: return QString::number(record.*field.int16);
    case Kind::Int32: return QString::number(record.*field.int32);
    case Kind::UInt8: return QString::number(record.*field.uint8);
    }
    return QString();
}

// Decimal text within [lo, hi]; anything else (missing, not a number, out of range) is refused.
bool ParseInteger(const QString& text, long long lo, long long hi, long long& value)
{
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < lo || v > hi)
        return false;
    value = v;
    return true;
}

// "True"/"False" in any letter case, or a number (0 false, any other true).
bool ParseTruth(const QString& text, bool& value)
{
    const QString t = text.trimmed();
    if (t.compare(kTrueText, Qt::CaseInsensitive) == 0) {
        value = true;
        return true;
    }
    if (t.compare(kFalseText, Qt::CaseInsensitive) == 0) {
        value = false;
        return true;
    }
    bool ok = false;
    const double number = t.toDouble(&ok);
    if (!ok)
        return false;
    value = number != 0.0;
    return true;
}

// Stores text into the record's field; a number or truth value that does not parse keeps the
// field's default, so the caller always gets a complete, usable record.
void FromText(ProfileRecord& record, const Field& field, const QString& text)
{
    static const ProfileRecord defaults;
    long long n = 0;
    switch (field.kind) {
    case Kind::Text:
        record.*field.text = text;
        break;
    case Kind::Bool: {
        bool b = false;
        record.*field.flag = ParseTruth(text, b) ? b : defaults.*field.flag;
        break;
    }
    case Kind::Int16:
        record.*field.int16 = ParseInteger(text, std::numeric_limits<int16_t>::min(),
                                           std::numeric_limits<int16_t>::max(), n)
                                  ? static_cast<int16_t>(n)
                                  : defaults.*field.int16;
        break;
    case Kind::Int32:
        record.*field.int32 = ParseInteger(text, std::numeric_limits<int32_t>::min(),
                                           std::numeric_limits<int32_t>::max(), n)
                                  ? static_cast<int32_t>(n)
                                  : defaults.*field.int32;
        break;
    case Kind::UInt8:
        record.*field.uint8 = ParseInteger(text, 0, std::numeric_limits<uint8_t>::max(), n)
                                  ? static_cast<uint8_t>(n)
                                  : defaults.*field.uint8;
        break;
    }
}

void Warn(const QString& text)
{
    if (WarningHandler())
        WarningHandler()(text);
    else
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

}  // namespace

void SetProfileWarningHandler(std::function<void(const QString& text)> handler)
{
    WarningHandler() = std::move(handler);
}

void CreateDefaultProfile()
{
    const QString registered = SettingsStore::Read(kProfilesSection, kDefaultProfile, kNoDefault);
    if (registered.compare(kNoDefault, Qt::CaseInsensitive) != 0)
        return;
    SettingsStore::Write(kProfilesSection, kDefaultProfile, kDefaultProfile);
    WriteProfile(kDefaultProfile, ProfileRecord{});
}

void CreateProfile(const QString& name)
{
    SettingsStore::Write(kProfilesSection, name, name);
    SettingsStore::WriteMany(name, SettingsStore::ListSection(kDefaultProfile));
}

void ReadProfile(const QString& name, ProfileRecord& record)
{
    const QString registered = SettingsStore::Read(kProfilesSection, name, kNoProfile);
    if (registered.compare(kNoProfile, Qt::CaseInsensitive) == 0)
        Warn(QStringLiteral("The Profile '") + name + QStringLiteral("' is not a valid Profile!"));
    record.Name = name;
    // One read of the section serves every key; keys compare without regard to case.
    const auto pairs = SettingsStore::ListSection(name);
    for (const Field& field : Fields()) {
        const QString key = QString::fromLatin1(field.key);
        QString text;
        for (const auto& [k, v] : pairs) {
            if (k.compare(key, Qt::CaseInsensitive) == 0)
                text = v;
        }
        FromText(record, field, text);
    }
}

void WriteProfile(const QString& name, const ProfileRecord& record)
{
    QList<QPair<QString, QString>> pairs;
    for (const Field& field : Fields())
        pairs.append({QString::fromLatin1(field.key), ToText(record, field)});
    SettingsStore::WriteMany(name, pairs);
}
