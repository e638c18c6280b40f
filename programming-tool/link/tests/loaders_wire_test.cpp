// Bootstrap and chip loader download against the simulated controller.

#include "wire_support.h"

#include <gtest/gtest.h>

using namespace wire;

namespace {

constexpr int kFastTickMs = 2;

QByteArray Images(const Loader& l)
{
    return l.part1 + l.part2;
}

TEST(LoaderWire, BootstrapSendsTriggerPreLoaderAndBothImages)
{
    Rig rig;
    ASSERT_TRUE(rig.started && rig.Open());
    EXPECT_EQ(BootstrapTarget(rig.comm, rig.host), 1);
    const QByteArray expected = QByteArray(1, '\0') + rig.preLoader + Images(rig.loaders[0]);
    const QByteArray wire = rig.Wire();
    ASSERT_EQ(wire.size(), 1 + kPreLoaderLength + kPart1Size + kPart2Size);
    EXPECT_EQ(wire, expected);
    const QString loader = QStringLiteral("C167: Sending Loader ") + CurrentProfile.C167LoaderFile;
    EXPECT_EQ(rig.host.history[0],
              QStringList({QStringLiteral("Sending PreLoader ") + CurrentProfile.PreLoaderFile
                               + QStringLiteral(" ..."),
                           loader + QStringLiteral(" Part 1 ..."), loader + QStringLiteral(" Part 2 ..."),
                           loader + QStringLiteral(" Part 2 ..., Done")}));
    EXPECT_TRUE(rig.host.boxes.isEmpty());
    EXPECT_EQ(rig.host.notResponding, 0);
    EXPECT_EQ(rig.sim->GetStats().lastLoader, "CPU");
}

TEST(LoaderWire, ReloadSendsCommandThenImagesWithoutWaiting)
{
    Rig rig;
    ASSERT_TRUE(rig.started && rig.Open());
    ASSERT_TRUE(rig.Boot(1));
    rig.sim->ClearReceived();
    const long eventsBefore = rig.host.doEvents;
    SendLoader(rig.comm, rig.host, 2, 2);
    EXPECT_EQ(rig.Wire(), QByteArray("\x53\x52\x01\xFE") + Images(rig.loaders[1]));
    EXPECT_EQ(rig.host.StatusText(1), QStringLiteral("AMD29F0x0: Sending Loader ")
                                          + CurrentProfile.AMD29F0x0LoaderFile
                                          + QStringLiteral(" Part 2 ..., Done"));
    EXPECT_EQ(rig.host.history[0].first(), QStringLiteral("Sending PreLoader ") + CurrentProfile.PreLoaderFile + QStringLiteral(" ..."));
    EXPECT_TRUE(rig.host.history[0].contains(QStringLiteral("Sending ReLoader ...")));
    EXPECT_GT(rig.host.doEvents, eventsBefore);
    EXPECT_EQ(rig.sim->GetStats().reloads, 1);
    EXPECT_EQ(rig.sim->GetStats().lastLoader, "AMD29F0x0");
}

struct CpuCase {
    const char* name;
    const char* processorCode;
    uint8_t targetId;
    int result;
    const char* prefix;     // of the loader text, or the box shown
};

class ProcessorCodeTest : public ::testing::TestWithParam<CpuCase> {};

TEST_P(ProcessorCodeTest, ChoosesIdentificationByteAndLoader)
{
    const CpuCase& c = GetParam();
    targetsim::Options o;
    o.idByte = c.targetId;
    Rig rig(o);
    ASSERT_TRUE(rig.started && rig.Open());
    CurrentProfile.ProcessorCode = QString::fromLatin1(c.processorCode);
    WriteFile(CurrentProfile.C168LoaderFile, MakeLoader("C168-as-CPU").text);
    EXPECT_EQ(BootstrapTarget(rig.comm, rig.host), c.result);
    if (c.result == 1) {
        EXPECT_TRUE(rig.host.StatusText(1).startsWith(QString::fromLatin1(c.prefix)));
        EXPECT_TRUE(rig.host.StatusText(1).endsWith(QStringLiteral(" Part 2 ..., Done")));
        EXPECT_TRUE(rig.host.boxes.isEmpty());
    } else {
        EXPECT_EQ(rig.host.BoxTexts(), QStringList(QString::fromLatin1(c.prefix)));
        EXPECT_EQ(rig.Wire(), QByteArray(1, '\0'));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProcessorCodeTest,
    ::testing::Values(CpuCase{"c167", "C167", 0xC5, 1, "C167: Sending Loader "},
                      CpuCase{"st10f168", "ST10F168", 0xD5, 1, "C168: Sending Loader "},
                      CpuCase{"st10f168_lower_case_is_a_c167", "st10f168", 0xC5, 1, "C167: Sending Loader "},
                      CpuCase{"st10f168_profile_c167_target", "ST10F168", 0xC5, 0, "Communication Error C5 (\xC5)"},
                      CpuCase{"star_to_zero_byte", "C167", '*', 0, "Acknowledge Received : (2A *)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoaderWire, NoAnswerOrClosedPortFailsTheHandshakeSilently)
{
    targetsim::Options o;
    o.silent = true;
    Rig rig(o, kFastTickMs);
    ASSERT_TRUE(rig.started && rig.Open());
    EXPECT_EQ(BootstrapTarget(rig.comm, rig.host), 0);
    EXPECT_EQ(rig.host.ticksInWaits, 2);
    EXPECT_EQ(rig.Wire(), QByteArray(1, '\0'));
    CloseCommPort(rig.comm);
    EXPECT_EQ(BootstrapTarget(rig.comm, rig.host), 0);
    EXPECT_TRUE(rig.host.events.isEmpty());
}

TEST(LoaderWire, UnacknowledgedLoaderShowsNotRespondingAndError)
{
    targetsim::Options o;
    o.preLoaderLength = 100000;   // the target never finishes taking the pre-loader
    Rig rig(o);
    ASSERT_TRUE(rig.started && rig.Open());
    // Identified at the normal tick; the clock speeds up once the download begins.
    rig.host.onStatus = [&rig](int panel, const QString&) {
        if (panel == 1)
            rig.host.SetTickMs(kFastTickMs);
    };
    EXPECT_EQ(BootstrapTarget(rig.comm, rig.host), 1);
    EXPECT_EQ(rig.host.notResponding, 1);
    EXPECT_TRUE(rig.host.boxes.isEmpty());
    ASSERT_GE(rig.host.events.size(), 2);
    EXPECT_EQ(rig.host.events[rig.host.events.size() - 2], QStringLiteral("not-responding"));
    EXPECT_TRUE(rig.host.StatusText(1).endsWith(QStringLiteral("Part 2 ..., Error")));
}

TEST(LoaderWire, ClosedPortTakesTheNotRespondingPath)
{
    Rig rig;
    SendLoader(rig.comm, rig.host, 1, 2);
    EXPECT_EQ(rig.host.notResponding, 1);
    EXPECT_EQ(rig.host.StatusText(1), QStringLiteral("Sending ReLoader ..., Error"));
}

struct BadLoaderCase {
    const char* name;
    QByteArray text;
    const char* box;        // expected box text; %1 stands for the file name
    MessageIcon icon;
};

class BadLoaderTest : public ::testing::TestWithParam<BadLoaderCase> {};

TEST_P(BadLoaderTest, ReportsFileAndLineAndEndsWithError)
{
    Rig rig;
    ASSERT_TRUE(rig.started && rig.Open());
    WriteFile(CurrentProfile.C167LoaderFile, GetParam().text);
    EXPECT_EQ(BootstrapTarget(rig.comm, rig.host), 1);
    ASSERT_EQ(rig.host.boxes.size(), 1);
    EXPECT_EQ(rig.host.boxes[0].text,
              QString::fromLatin1(GetParam().box).arg(CurrentProfile.C167LoaderFile));
    EXPECT_EQ(rig.host.boxes[0].icon, GetParam().icon);
    EXPECT_EQ(rig.host.notResponding, 0) << "the target is not at fault";
    EXPECT_EQ(rig.host.StatusText(1), QStringLiteral("Sending PreLoader ") + CurrentProfile.PreLoaderFile
                                          + QStringLiteral(" ..., Error"));
    EXPECT_EQ(rig.Wire(), QByteArray(1, '\0') + rig.preLoader) << "no loader byte goes out";
}

const QByteArray kGood = SRec('1', 0xF600, "LOADER:CPU") + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, BadLoaderTest,
    ::testing::Values(
        BadLoaderCase{"not_beginning_with_s", kGood + "X1030000FC\r\n",
                      "Line 2 of the file '%1' cannot be used:\nthe line does not begin with \"S\".",
                      MessageIcon::Exclamation},
        BadLoaderCase{"lower_case_s", kGood + kGood + "s1030000FC\r\n",
                      "Line 3 of the file '%1' cannot be used:\nthe line does not begin with \"S\".",
                      MessageIcon::Exclamation},
        BadLoaderCase{"address_past_part_1", kGood + SRec('1', 0xF9FF, "\x01\x02") + "\r\n",
                      "Address FA00 out of range\nLine 2 of the file '%1'", MessageIcon::None},
        BadLoaderCase{"address_below_part_2", SRec('2', 0x00DFFF, "\x01") + "\n",
                      "Address DFFF out of range\nLine 1 of the file '%1'", MessageIcon::None},
        BadLoaderCase{"data_not_hex", kGood + "S105F600ZZ01FF\r\n",
                      "Line 2 of the file '%1' cannot be used:\nthe record is not valid.",
                      MessageIcon::Exclamation},
        BadLoaderCase{"record_shorter_than_its_count", "S107F600AABB\r\n",
                      "Line 1 of the file '%1' cannot be used:\nthe record is not valid.",
                      MessageIcon::Exclamation},
        BadLoaderCase{"line_far_too_long", "S1" + QByteArray(100000, 'F') + "\n",
                      "Line 1 of the file '%1' cannot be used:\nthe line is too long.",
                      MessageIcon::Exclamation}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LoaderWire, FileThatCannotBeUsedIsNamedAndEndsWithError)
{
    struct Case {
        const char* name;
        bool preLoader;     // which file is at fault
        bool exists;        // present but far too large for a pre-loader
        const char* device; // a device that never ends, instead of a file
        const char* box;
    };
    const char* kEndless = "/dev/zero";
    for (const Case& c : {Case{"pre-loader missing", true, false, nullptr, "The file '%1' cannot be opened."},
                          Case{"loader missing", false, false, nullptr, "The file '%1' cannot be opened."},
                          Case{"pre-loader too large", true, true, nullptr, "The file '%1' is too large to send"},
                          Case{"pre-loader endless", true, false, kEndless, "The file '%1' is too large to send"},
                          Case{"loader endless", false, false, kEndless,
                               "Line 1 of the file '%1' cannot be used:\nthe line is too long."}}) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ASSERT_TRUE(rig.started && rig.Open());
        const QString path = c.device ? QString::fromLatin1(c.device) : rig.Path("other.file");
        if (c.exists)
            WriteFile(path, QByteArray(1 << 20, 'x'));
        (c.preLoader ? CurrentProfile.PreLoaderFile : CurrentProfile.C167LoaderFile) = path;
        EXPECT_EQ(BootstrapTarget(rig.comm, rig.host), 1);
        ASSERT_EQ(rig.host.boxes.size(), 1);
        EXPECT_TRUE(rig.host.boxes[0].text.startsWith(QString::fromLatin1(c.box).arg(path)))
            << rig.host.boxes[0].text.toStdString();
        EXPECT_EQ(rig.host.notResponding, 0);
        EXPECT_TRUE(rig.host.StatusText(1).endsWith(QStringLiteral(" ..., Error")));
        EXPECT_EQ(rig.Wire(), QByteArray(1, '\0') + (c.preLoader ? QByteArray() : rig.preLoader));
    }
}

}  // namespace
