// End to end with the sample files, opened by bare name from the working folder as the
// profile's defaults are: reset, re-load for each memory, erase, program, compare the flash.

#include "wire_support.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

#ifndef SAMPLES_DIR
#error SAMPLES_DIR must name the samples folder
#endif

using namespace wire;

namespace {

// The image an S-record file describes, holes filled with FFh, from address 0 (srec_cat).
QByteArray ImageOf(const QString& file)
{
    QProcess p;
    p.start(QStringLiteral("srec_cat"), {file, QStringLiteral("-fill"), QStringLiteral("0xFF"),
                                         QStringLiteral("-over"), file, QStringLiteral("-o"),
                                         QStringLiteral("-"), QStringLiteral("-binary")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QByteArray();
    return p.readAllStandardOutput();
}

// Address of the first data record of an S-record file.
uint32_t FirstAddress(const QString& file)
{
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        const char type = line.size() > 1 ? line[1] : '0';
        if (type >= '1' && type <= '3')
            return line.mid(4, (type - '0' + 1) * 2).toUInt(nullptr, 16);
    }
    return 0;
}

TEST(SamplesWire, EveryMemoryHoldsItsSampleApplication)
{
    Rig rig;
    const QString before = QDir::currentPath();
    for (const QString& name : QDir(QStringLiteral(SAMPLES_DIR)).entryList(QDir::Files))
        QFile::copy(QStringLiteral(SAMPLES_DIR "/") + name, rig.dir.filePath(name));
    ASSERT_TRUE(QDir::setCurrent(rig.dir.path()));
    const QString keepDir = rig.dir.path();
    CurrentProfile = ProfileRecord{};   // bare default names, relative to the working folder
    ASSERT_TRUE(rig.started && rig.Open());
    ASSERT_TRUE(rig.Boot(1));

    struct Case {
        int memory;
        targetsim::Memory sim;
        QString file;
    };
    for (const Case& c : {Case{1, targetsim::Memory::CpuFlash, CurrentProfile.C167ApplFile},
                          Case{2, targetsim::Memory::AMD29F0x0, CurrentProfile.AMD29F0x0ApplFile},
                          Case{3, targetsim::Memory::AT45D0x1, CurrentProfile.AT45D0x1ApplFile},
                          Case{4, targetsim::Memory::DS1994, CurrentProfile.DS1994ApplFile}}) {
        SCOPED_TRACE(c.file.toStdString());
        SendLoader(rig.comm, rig.host, c.memory, 2);
        ASSERT_TRUE(rig.host.StatusText(1).endsWith(QStringLiteral(", Done")));
        ASSERT_TRUE(EraseBanks(rig.comm, rig.host, c.memory));
        ASSERT_TRUE(SendApplication(rig.comm, rig.host, c.memory));
        EXPECT_EQ(rig.host.StatusText(3), QStringLiteral("100%"));
        const QByteArray image = ImageOf(c.file);
        const uint32_t first = FirstAddress(c.file);
        ASSERT_GT(image.size(), static_cast<qsizetype>(first));
        const auto flash = rig.sim->Read(c.sim, first, static_cast<uint32_t>(image.size() - first));
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(flash.data()), static_cast<qsizetype>(flash.size())),
                  image.mid(first));
    }
    EXPECT_TRUE(rig.host.boxes.isEmpty());
    EXPECT_EQ(rig.host.notResponding, 0);
    QDir::setCurrent(before);
    EXPECT_EQ(rig.dir.path(), keepDir);
}

}  // namespace
