#include "hex_record.h"

#include <QIODevice>

namespace {

constexpr char kCarriageReturn = 0x0D;
constexpr char kLineFeed = 0x0A;

// Value of one hex digit, or -1 for any other character.
int DigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

int ReadHexLine(char* line, QIODevice& file, const std::function<void()>& stepProgress)
{
    int length = 0;
    char c = 0;
    while (file.getChar(&c)) {
        stepProgress();
        if (c == kCarriageReturn)
            continue;
        if (c == kLineFeed)
            break;
        if (length < kLineBufferSize - 1)
            line[length] = c;
        ++length;
    }
    line[length < kLineBufferSize - 1 ? length : kLineBufferSize - 1] = '\0';
    return length;
}

int DecodeHexRecord(unsigned char* record, const char* line, int length)
{
    const int digits = length - 1;  // after the colon
    if (digits < 0 || digits % 2 != 0 || digits / 2 > kRecordBufferSize)
        return kInvalidRecord;
    for (int i = 1; i < length; ++i) {
        if (DigitValue(line[i]) < 0)
            return kInvalidRecord;
    }
    const int count = digits / 2;
    for (int i = 0; i < count; ++i) {
        const int high = DigitValue(line[1 + 2 * i]);
        const int low = DigitValue(line[2 + 2 * i]);
        record[i] = static_cast<unsigned char>(high << 4 | low);
    }
    return count;
}
