#pragma once
// The Profile module: the default profile, and creating, reading and writing named profiles.

#include "profile_record.h"

#include <QString>
#include <functional>

// Shows ReadProfile's warning for an unregistered name; the main window titles it with its
// caption. Without one set, the warning goes to standard error.
void SetProfileWarningHandler(std::function<void(const QString& text)> handler);

void CreateDefaultProfile();
void CreateProfile(const QString& name);
void ReadProfile(const QString& name, ProfileRecord& record);
void WriteProfile(const QString& name, const ProfileRecord& record);
