#pragma once
// Reads a text file line by line as it goes, never whole. A line ends at CR LF, LF or CR; the
// reader tells how many bytes the line end took (none after a last line without one). A line
// longer than the limit is cut there and flagged, and reading stops: such a file cannot be used,
// and a file without line ends (a device, for one) is never read on and on.

#include <QByteArray>
#include <QFile>
#include <QString>

class LineReader {
public:
    // The longest line kept; an S-record line holds at most 4 + 255 * 2 characters.
    static constexpr int kMaxLineLength = 1024;

    explicit LineReader(const QString& fileName);
    bool Open();                 // false when the file cannot be opened; see ErrorString()
    QString ErrorString() const;
    qint64 Size() const;         // length of the file in bytes

    // Next line without its line end. False at the end of the file (or on a read error).
    bool Next(QByteArray& line);
    int LineEndLength() const { return lineEnd_; }  // of the line last returned
    bool TooLong() const { return tooLong_; }       // that line was cut at kMaxLineLength;
                                                    // Next() returns false after it
    int LineNumber() const { return lineNumber_; }  // 1 for the first line
    bool Failed() const { return file_.error() != QFileDevice::NoError; }  // a read failed

private:
    bool Fill();
    int GetByte();               // -1 at the end
    int PeekByte();

    QFile file_;
    QByteArray chunk_;
    qsizetype pos_ = 0;
    bool eof_ = false;
    int lineEnd_ = 0;
    bool tooLong_ = false;
    int lineNumber_ = 0;
};
