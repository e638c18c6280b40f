#pragma once
// The per-user settings store: application, section, key and text value, backed on Linux by one
// INI-style file per application, $XDG_CONFIG_HOME/<executable base name>/settings.ini
// (~/.config when XDG_CONFIG_HOME is unset). Section and key names compare without regard to
// letter case. Every write replaces the file atomically under a lock, so two running instances
// never lose each other's keys. Names the file format cannot hold as they are are escaped.

#include <QList>
#include <QPair>
#include <QString>

namespace SettingsStore {

// Path of the store file of this application.
QString FilePath();

QString Read(const QString& section, const QString& key, const QString& fallback);
bool Write(const QString& section, const QString& key, const QString& value);
// Writes several keys of one section in a single locked, atomic replace of the file.
bool WriteMany(const QString& section, const QList<QPair<QString, QString>>& pairs);
bool DeleteKey(const QString& section, const QString& key);
bool DeleteSection(const QString& section);
// Every key and value of a section, in the order the store holds them.
QList<QPair<QString, QString>> ListSection(const QString& section);

}  // namespace SettingsStore
