#pragma once
// Points the settings store at a fresh temporary folder for each test.
#include "settings_store.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class StoreFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        saved_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", saved_); }

    static QByteArray StoreText()
    {
        QFile f(SettingsStore::FilePath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void SetStoreText(const QByteArray& text)
    {
        QFile f(SettingsStore::FilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }

    QTemporaryDir dir_;
    QByteArray saved_;
};
