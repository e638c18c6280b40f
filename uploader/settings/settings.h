#pragma once
// Process-wide settings of the uploader and the text lookup of the language file.

#include <QString>

#include <cstdint>
#include <optional>

extern QString baseDirectory;    // working directory at start-up, ending with a separator
extern QString programIniPath;   // baseDirectory + "Quorra.ini"
extern QString languageIniPath;  // baseDirectory + language file name
extern QString customerIniPath;  // baseDirectory + customer file name

// Start-up up to showing the device chooser: port state, base directory, INI paths, port, baud.
void LoadStartUpSettings();

// A text of the language file, read afresh at every call (buffer of 1024 characters).
QString LookupText(const QString& section, const QString& key, const QString& defaultText);
// A value of the customer file or the program file.
QString ReadCustomer(const QString& section, const QString& key, const QString& defaultValue,
                     int bufferSize = 1024);
QString ReadProgram(const QString& section, const QString& key, const QString& defaultValue,
                    int bufferSize = 1024);
bool WriteProgram(const QString& section, const QString& key, const QString& value);

// A number as stored in the INI files: leading blanks skipped, an optional sign, then decimal digits
// up to the first other character (wrapping modulo 2^32). Nothing when no digit is found.
std::optional<uint32_t> ParseLeadingNumber(const QString& text);
