#pragma once
// Intel hex lines as the upload sends them: one line of text at a time, each record turned into
// the binary bytes that go out on the wire (count, address high, address low, type, data,
// checksum). Pure routines: the caller owns the file.

#include <functional>

class QIODevice;

// One line of the hex file, without its line end; at most kLineBufferSize - 1 characters fit.
constexpr int kLineBufferSize = 1024;
// The decoded bytes of one record; a line that fits the line buffer never needs more.
constexpr int kRecordBufferSize = 1024;
static_assert(kRecordBufferSize >= (kLineBufferSize - 2) / 2);

// A record that is not well-formed hex text (see DecodeHexRecord).
constexpr int kInvalidRecord = -1;

// Reads one line from file, one byte at a time, calling stepProgress once for every byte read
// (line ends included). A carriage return is dropped, a line feed ends the line. Stores at most
// kLineBufferSize - 1 characters in line and terminates it. Returns the length of the whole line;
// a result above kLineBufferSize - 1 means the line did not fit and only its start was stored.
// 0 means the end of the file, or an empty line.
int ReadHexLine(char* line, QIODevice& file, const std::function<void()>& stepProgress);

// Turns the characters after the colon of line (length characters in all, the colon first) into
// bytes, one for each pair of hex digits (upper or lower case), and stores them in record.
// Returns the number of bytes stored, or kInvalidRecord when a character after the colon is not
// a hex digit or their number is odd; record is then left untouched. No field is checked: the
// count, address, type and checksum go out as written and the device judges them.
int DecodeHexRecord(unsigned char* record, const char* line, int length);
