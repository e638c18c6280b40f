#pragma once
// A temporary working folder for the uploader's INI files; the process's own working folder and the
// user's settings are restored afterwards.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class WorkingFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previous = QDir::currentPath();
        previousConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral(".config")).toLocal8Bit());
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override
    {
        QDir::setCurrent(previous);
        if (previousConfig.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", previousConfig);
    }

    void put(const QString& name, const QByteArray& content) const
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray get(const QString& name) const
    {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }
    QString base() const { return dir.path() + QLatin1Char('/'); }

    QTemporaryDir dir;
    QString previous;
    QByteArray previousConfig;
};
