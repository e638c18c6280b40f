#pragma once
// The profile record: every setting the programming tool needs to talk to one kind of target.

#include <QString>
#include <cstdint>

struct ProfileRecord {
    QString Name;                       // the profile's name (its section); not a stored key
    int16_t COMPort = 1;
    bool COMDTREnable = false;
    bool COMHandshaking = false;
    int32_t COMInBufferSize = 2048;
    int32_t COMOutBufferSize = 2048;
    bool COMNullDiscard = false;
    QString COMSettings = QStringLiteral("38400,N,8,1");
    QString IndBusyDataAddr;
    QString IndBusyDirAddr;
    QString IndBusyOpenDrainAddr;
    QString IndBusyMask;
    uint8_t IndBusyActLev = 0;
    QString IndFailDataAddr;
    QString IndFailDirAddr;
    QString IndFailOpenDrainAddr;
    QString IndFailMask;
    uint8_t IndFailActLev = 0;
    QString PreLoaderFile = QStringLiteral("PreLoad.bin");
    QString AMD29F0x0LoaderFile = QStringLiteral("LoaderAMD29F0x0.sre");
    QString AMD29F0x0ApplFile = QStringLiteral("ApplAMD29F0x0.sre");
    QString AMD29F0x0ApplFileOffset = QStringLiteral("00000000");
    QString AT45D0x1LoaderFile = QStringLiteral("LoaderAT45D0x1.sre");
    QString AT45D0x1ApplFile = QStringLiteral("ApplAT45D0x1.sre");
    QString AT45D0x1ApplFileOffset = QStringLiteral("00000000");
    QString C167LoaderFile = QStringLiteral("LoaderC167.sre");
    QString C168LoaderFile = QStringLiteral("LoaderC168.sre");
    QString C167ApplFile = QStringLiteral("Appl.sre");
    QString C167ApplFileOffset;         // empty counts as 0
    QString DS1994LoaderFile = QStringLiteral("LoaderDS1994.sre");
    QString DS1994ApplFile = QStringLiteral("ApplDS1994.sre");
    QString DS1994ApplFileOffset = QStringLiteral("00000000");
    QString ProcessorCode = QStringLiteral("C167");
};

// The one profile in use for the whole run. The link routines read their settings from it only.
extern ProfileRecord CurrentProfile;
