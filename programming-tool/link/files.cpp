// Hex text, record checksums and the kind of an application file.

#include "link_internal.h"
#include "module1.h"

#include <QFile>

namespace {

// Largest value HexToLong gives: the top of a signed 32-bit number.
constexpr qint64 kHexToLongMax = 0x7FFFFFFF;

// The first record of an S-record file fits in this many characters: "S", the type, two count
// digits and at most 255 bytes of address, data and checksum.
constexpr qint64 kFirstRecordMax = 4 + 255 * 2;
// Line ends passed over before the first record, at the most.
constexpr qint64 kLeadingBlankMax = 4096;

}  // namespace

int HexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

bool HexToLong(const QString& text, int32_t* value)
{
    qint64 sum = 0;
    for (const QChar c : text) {
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        sum = sum * 16 + d;
        if (sum > kHexToLongMax)
            return false;
    }
    if (value)
        *value = static_cast<int32_t>(sum);
    return true;
}

QString SRecChecksum(const QString& text)
{
    int sum = 0;
    for (qsizetype i = 0; i < text.size(); i += 2) {
        int32_t piece = 0;
        if (!HexToLong(text.mid(i, 2), &piece))
            return QString();
        sum = (sum + piece) % 256;
    }
    return QStringLiteral("%1").arg(255 - sum, 2, 16, QLatin1Char('0')).toUpper();
}

FileType GetFileType(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return FileType::Binary;
    // Blank lines before the first record are passed over, as the sender passes them over: such a
    // file is still S-record text, never programmed as data.
    qint64 blank = 0;
    char c = 0;
    while (blank < kLeadingBlankMax && file.peek(&c, 1) == 1 && (c == '\r' || c == '\n')) {
        file.read(&c, 1);
        ++blank;
    }
    const QByteArray head = file.read(kFirstRecordMax);
    file.close();

    const QString text = QString::fromLatin1(head);
    if (text.size() < 4 || text[0] != QLatin1Char('S') || !text[1].isDigit()
        || text[1].unicode() > u'9')
        return FileType::Binary;
    const QString countText = text.mid(2, 2);
    int32_t count = 0;
    if (!HexToLong(countText, &count) || count < 2)
        return FileType::Binary;
    const qsizetype restLength = (count - 1) * 2;
    if (text.size() < 4 + restLength + 2)
        return FileType::Binary;
    const QString body = countText + text.mid(4, restLength);
    const QString given = text.mid(4 + restLength, 2);
    const QString computed = SRecChecksum(body);
    if (computed.isEmpty() || given.compare(computed, Qt::CaseInsensitive) != 0)
        return FileType::Binary;
    return FileType::SRecord;
}
