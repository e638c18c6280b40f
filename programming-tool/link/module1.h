#pragma once
// The link routines of the programming tool: files, serial link, bootstrap and loaders, flash
// erase, application programming and the hex entry helpers. All run on the UI thread and report
// through a LinkHost.

#include <QByteArray>
#include <QString>
#include <cstdint>

class Comm;
class LinkHost;
class QLineEdit;

// ---- Files ---------------------------------------------------------------------------------
enum class FileType { Binary, SRecord };

// Hex text (either case) to a number. Empty text gives 0. Returns false for a character that is
// not a hex digit or a value above 7FFFFFFFh; value is then left unchanged.
bool HexToLong(const QString& text, int32_t* value);
// Checksum of a record's count, address and data text, as two upper-case hex digits.
QString SRecChecksum(const QString& text);
// Classifies an application file by its first record.
FileType GetFileType(const QString& fileName);

// ---- Serial link -----------------------------------------------------------------------------
// Countdown of the wait under way, in 100 ms ticks; rests at 0 between waits.
extern int32_t WaitTicks;
// The 100 ms tick of the main window's timer: lowers WaitTicks, never below 0.
void Timer1Tick();

// Packet heads, set once at start-up.
extern QByteArray EraseHeader;    // "SE" 03h
extern QByteArray ReloadCommand;  // "SR" 01h
void InitPacketHeads();

void OpenCommPort(Comm& comm, LinkHost& host);
void CloseCommPort(Comm& comm);
// Writes a whole file in one write. Reports a file that cannot be opened; false on any failure.
bool SendFile(Comm& comm, LinkHost& host, const QString& fileName);
// Appends the checksum and writes the packet in one write. False when the port is not open.
bool SendPacket(Comm& comm, const QByteArray& packet);
bool WaitForAck(Comm& comm, LinkHost& host, int ticks);
// The message text for a reply ("Checksum Error : (3F ?)"), and the box that shows it.
QString ReplyMessage(const QByteArray& reply);
void ShowReply(LinkHost& host, const QByteArray& reply);

// ---- Bootstrap and loaders ---------------------------------------------------------------------
int32_t BootstrapTarget(Comm& comm, LinkHost& host);
void SendLoader(Comm& comm, LinkHost& host, int targetMemory, int loaderMode);

// ---- Flash erase and programming ---------------------------------------------------------------
bool EraseBanks(Comm& comm, LinkHost& host, int targetMemory);
bool SendApplication(Comm& comm, LinkHost& host, int targetMemory);

// ---- Hex entry helpers ------------------------------------------------------------------------
bool IsHexText(const QString& text);
void SelectAllText(QLineEdit* field);
// The key rule of a hex field: true when the typed character may reach the field.
bool HexKeyAllowed(QChar key);
