#pragma once
// A temporary base directory for a test of the uploader: baseDirectory and the three INI paths
// point into it (the default file names), and XDG_CONFIG_HOME too, so that nothing reaches the
// user's own settings. The folder goes away with the object.

#include "settings.h"

#include <QByteArray>
#include <QTemporaryDir>

class TemporaryBase {
public:
    TemporaryBase()
    {
        if (!dir_.isValid())
            return;
        qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toLocal8Bit());
        baseDirectory = dir_.path() + QLatin1Char('/');
        programIniPath = baseDirectory + QStringLiteral("Quorra.ini");
        languageIniPath = baseDirectory + QStringLiteral("US.ini");
        customerIniPath = baseDirectory + QStringLiteral("QX.ini");
    }

    bool isValid() const { return dir_.isValid(); }
    // A path below the base directory.
    QString path(const QString& name) const { return baseDirectory + name; }

private:
    QTemporaryDir dir_;
};
