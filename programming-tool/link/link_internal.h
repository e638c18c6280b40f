#pragma once
// Pieces shared by the link routines' own files; not for callers outside this folder.

#include <QByteArray>
#include <QString>

class Comm;
class LinkHost;

enum class SendResult { Sent, FileError, PortError };

// Value of a hex digit in either case, or -1 for any other character.
int HexDigit(QChar c);

// SendFile that tells a file failure (already reported) from a port failure.
SendResult SendFileChecked(Comm& comm, LinkHost& host, const QString& fileName);
// The box for a file that cannot be opened or read.
void ShowFileError(LinkHost& host, const QString& fileName, const QString& reason);
// The box for a line of a file that cannot be used, naming the file and the line.
void ShowLineError(LinkHost& host, const QString& fileName, int line, const QString& what);
// The packet followed by its checksum byte.
QByteArray FramePacket(const QByteArray& packet);
// Waits like WaitForAck but leaves the reply unread; true when something came.
bool WaitForReply(Comm& comm, LinkHost& host, int ticks);
// Appends ", Done" or ", Error" to status panel 1.
void AppendStatus(LinkHost& host, bool done);
