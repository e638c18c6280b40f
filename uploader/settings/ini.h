#pragma once
// INI files as the uploader uses them: section and key names match regardless of case, a missing
// file, section or key gives the caller's default, a value is the text after "=", a value longer
// than the caller's buffer is cut to the buffer size less one, and a write creates the file,
// section or key as needed, replaces the value and keeps every other line as it was. Writes
// replace the file atomically.

#include <QString>

QString ReadIniString(const QString& path, const QString& section, const QString& key,
                      const QString& defaultValue, int bufferSize);
bool WriteIniString(const QString& path, const QString& section, const QString& key,
                    const QString& value);
