// A small INI reader and writer. Reading scans the file line by line; writing changes or adds one
// line and keeps every other byte of the file as it was.
#include "ini.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace {

constexpr char kSectionOpen = '[';
constexpr char kSectionClose = ']';
constexpr char kAssign = '=';
constexpr char kCommentSemicolon = ';';
constexpr char kCommentHash = '#';
const QByteArray kDefaultNewline = "\n";

// The file's text. UTF-8 when it decodes cleanly, else Latin-1, so that any byte sequence gives
// some text and nothing is refused.
struct IniText {
    QList<QByteArray> lines;  // without their line ends
    QList<QByteArray> ends;   // "\n", "\r\n" or "" (last line without an end)
    bool latin1 = false;
    QByteArray newline = kDefaultNewline;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArray Trimmed(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin);
}

IniText Split(const QByteArray& data)
{
    IniText ini;
    QStringDecoder utf8(QStringDecoder::Utf8);
    [[maybe_unused]] const QString asUtf8 = utf8.decode(data);
    ini.latin1 = utf8.hasError();

    qsizetype start = 0;
    bool newlineKnown = false;
    while (start < data.size()) {
        qsizetype lf = data.indexOf('\n', start);
        if (lf < 0) {
            ini.lines.append(data.mid(start));
            ini.ends.append(QByteArray());
            break;
        }
        qsizetype end = lf;
        QByteArray lineEnd = "\n";
        if (end > start && data[end - 1] == '\r') {
            --end;
            lineEnd = "\r\n";
        }
        if (!newlineKnown) {
            ini.newline = lineEnd;
            newlineKnown = true;
        }
        ini.lines.append(data.mid(start, end - start));
        ini.ends.append(lineEnd);
        start = lf + 1;
    }
    return ini;
}

QString Decode(const QByteArray& bytes, bool latin1)
{
    return latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
}

QByteArray Encode(const QString& text, bool latin1)
{
    return latin1 ? text.toLatin1() : text.toUtf8();
}

bool IsComment(const QByteArray& trimmed)
{
    return trimmed.startsWith(kCommentSemicolon) || trimmed.startsWith(kCommentHash);
}

// The name of a section header line, or nothing when the line is not one.
std::optional<QString> SectionName(const QByteArray& line, bool latin1)
{
    const QByteArray trimmed = Trimmed(line);
    if (!trimmed.startsWith(kSectionOpen))
        return std::nullopt;
    qsizetype close = trimmed.indexOf(kSectionClose);
    if (close < 0)
        close = trimmed.size();
    return Decode(Trimmed(trimmed.mid(1, close - 1)), latin1);
}

// A key line: its key, and where its value starts (after "=" and the blanks that follow it).
struct KeyLine {
    QString key;
    qsizetype valueStart = 0;
};

std::optional<KeyLine> ParseKeyLine(const QByteArray& line, bool latin1)
{
    const QByteArray trimmed = Trimmed(line);
    if (trimmed.isEmpty() || IsComment(trimmed) || trimmed.startsWith(kSectionOpen))
        return std::nullopt;
    const qsizetype assign = line.indexOf(kAssign);
    if (assign < 0)
        return std::nullopt;  // a line without "=" holds no key
    qsizetype valueStart = assign + 1;
    while (valueStart < line.size() && IsBlank(line[valueStart]))
        ++valueStart;
    return KeyLine{Decode(Trimmed(line.left(assign)), latin1), valueStart};
}

QString ValueOf(const QByteArray& line, qsizetype valueStart, bool latin1)
{
    QByteArray value = Trimmed(line.mid(valueStart));
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value.truncate(nul);
    // A value in matching quotes is given without them.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return Decode(value, latin1);
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The first section with that name: index of its header line and one past its last line.
struct SectionRange {
    qsizetype header = -1;
    qsizetype end = -1;
};

SectionRange FindSection(const IniText& ini, const QString& section)
{
    SectionRange range;
    for (qsizetype i = 0; i < ini.lines.size(); ++i) {
        const auto name = SectionName(ini.lines[i], ini.latin1);
        if (!name)
            continue;
        if (range.header >= 0) {
            range.end = i;
            return range;
        }
        if (SameName(*name, section))
            range.header = i;
    }
    if (range.header >= 0)
        range.end = ini.lines.size();
    return range;
}

QString CutToBuffer(const QString& value, int bufferSize)
{
    const qsizetype limit = bufferSize > 0 ? bufferSize - 1 : 0;
    if (value.size() <= limit)
        return value;
    qsizetype cut = limit;
    if (cut > 0 && value[cut - 1].isHighSurrogate())
        --cut;  // never leave half a character
    return value.left(cut);
}

}  // namespace

QString ReadIniString(const QString& path, const QString& section, const QString& key,
                      const QString& defaultValue, int bufferSize)
{
    QString result = defaultValue;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const IniText ini = Split(file.readAll());
        const SectionRange range = FindSection(ini, section);
        for (qsizetype i = range.header + 1; range.header >= 0 && i < range.end; ++i) {
            const auto keyLine = ParseKeyLine(ini.lines[i], ini.latin1);
            if (keyLine && SameName(keyLine->key, key)) {
                result = ValueOf(ini.lines[i], keyLine->valueStart, ini.latin1);
                break;
            }
        }
    }
    return CutToBuffer(result, bufferSize);
}

bool WriteIniString(const QString& path, const QString& section, const QString& key,
                    const QString& value)
{
    // A line break or a zero inside a name or value would change the file's structure.
    const auto breaksLine = [](const QString& text) {
        return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) ||
               text.contains(QChar(0));
    };
    if (breaksLine(section) || breaksLine(key) || breaksLine(value) ||
        section.contains(QLatin1Char(kSectionClose)) || key.contains(QLatin1Char(kAssign)) ||
        key.trimmed().isEmpty())
        return false;

    QByteArray data;
    {
        QFile file(path);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly))
                return false;
            data = file.readAll();
        }
    }
    IniText ini = Split(data);
    // A value that Latin-1 cannot hold turns the file into UTF-8 only for the new line; the
    // other lines keep their bytes.
    const bool latin1 = ini.latin1 && QString::fromLatin1(value.toLatin1()) == value;
    const QByteArray newValue = Encode(value, latin1);
    const QByteArray newKeyLine = Encode(key, latin1) + kAssign + newValue;

    const SectionRange range = FindSection(ini, section);
    if (range.header >= 0) {
        qsizetype insertAt = range.header + 1;
        bool replaced = false;
        for (qsizetype i = range.header + 1; i < range.end; ++i) {
            const auto keyLine = ParseKeyLine(ini.lines[i], ini.latin1);
            if (!keyLine)
                continue;
            if (SameName(keyLine->key, key)) {
                // Keep the line's own spelling of the key and its blanks around "=".
                ini.lines[i] = ini.lines[i].left(keyLine->valueStart) + newValue;
                replaced = true;
                break;
            }
            insertAt = i + 1;
        }
        if (!replaced) {
            if (insertAt > 0 && ini.ends[insertAt - 1].isEmpty())
                ini.ends[insertAt - 1] = ini.newline;
            ini.lines.insert(insertAt, newKeyLine);
            ini.ends.insert(insertAt, ini.newline);
        }
    } else {
        if (!ini.lines.isEmpty()) {
            if (ini.ends.back().isEmpty())
                ini.ends.back() = ini.newline;
            if (!Trimmed(ini.lines.back()).isEmpty()) {
                ini.lines.append(QByteArray());
                ini.ends.append(ini.newline);
            }
        }
        ini.lines.append(kSectionOpen + Encode(section, latin1) + kSectionClose);
        ini.ends.append(ini.newline);
        ini.lines.append(newKeyLine);
        ini.ends.append(ini.newline);
    }

    QByteArray out;
    for (qsizetype i = 0; i < ini.lines.size(); ++i)
        out += ini.lines[i] + ini.ends[i];

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(out) != out.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
