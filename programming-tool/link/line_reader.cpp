#include "line_reader.h"

namespace {
constexpr qint64 kChunkSize = 16 * 1024;
constexpr char kCR = '\r';
constexpr char kLF = '\n';
}  // namespace

LineReader::LineReader(const QString& fileName) : file_(fileName) {}

bool LineReader::Open()
{
    return file_.open(QIODevice::ReadOnly);
}

QString LineReader::ErrorString() const
{
    return file_.errorString();
}

qint64 LineReader::Size() const
{
    return file_.size();
}

bool LineReader::Fill()
{
    if (eof_)
        return false;
    chunk_ = file_.read(kChunkSize);
    pos_ = 0;
    if (chunk_.isEmpty()) {
        eof_ = true;
        return false;
    }
    return true;
}

int LineReader::GetByte()
{
    if (pos_ >= chunk_.size() && !Fill())
        return -1;
    return static_cast<unsigned char>(chunk_[pos_++]);
}

int LineReader::PeekByte()
{
    if (pos_ >= chunk_.size() && !Fill())
        return -1;
    return static_cast<unsigned char>(chunk_[pos_]);
}

bool LineReader::Next(QByteArray& line)
{
    line.clear();
    lineEnd_ = 0;
    if (tooLong_)
        return false;
    int c = GetByte();
    if (c < 0)
        return false;
    ++lineNumber_;
    while (c >= 0) {
        if (c == kLF) {
            lineEnd_ = 1;
            break;
        }
        if (c == kCR) {
            lineEnd_ = 1;
            if (PeekByte() == kLF) {
                GetByte();
                lineEnd_ = 2;
            }
            break;
        }
        if (line.size() == kMaxLineLength) {
            tooLong_ = true;
            break;
        }
        line.append(static_cast<char>(c));
        c = GetByte();
    }
    return true;
}
