// The command-line program as scripts/run.sh uses it: device path on the first line, the target
// on the far end, commands on stdin, flash files at exit.

#include "host.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace targetsim::test {
namespace {

TEST(Cli, RunsResetsDumpsAndStops) {
    const std::string dir = ::testing::TempDir() + "target-sim-cli-" + std::to_string(::getpid());
    ::mkdir(dir.c_str(), 0700);
    const std::string link = dir + "/COM1";
    int in[2], out[2];
    ASSERT_EQ(::pipe(in), 0);
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::close(in[1]);
        ::close(out[0]);
        ::execl(TARGET_SIM_EXE, TARGET_SIM_EXE, "--quiet", "--link", link.c_str(), "--dump",
                dir.c_str(), "--id", "D5", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    FILE* stdoutOfSim = ::fdopen(out[0], "r");
    char line[512] = {};
    ASSERT_NE(std::fgets(line, sizeof line, stdoutOfSim), nullptr);
    EXPECT_EQ(std::string(line), link + "\n");

    {
        Host host(link);
        ASSERT_TRUE(host.ok());
        ASSERT_TRUE(host.Send(0x00));
        EXPECT_EQ(host.Read(1), Bytes{0xD5});
        ASSERT_EQ(::write(in[1], "reset\n", 6), 6);
        // Without the reset every further 00h would be a pre-loader byte and never answered.
        Bytes answer;
        for (int i = 0; i < 30 && answer.empty(); ++i) {
            ASSERT_TRUE(host.Send(0x00));
            answer = host.Read(1, 100);
        }
        EXPECT_EQ(answer, Bytes{0xD5}) << "back in bootstrap mode";
    }

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::fclose(stdoutOfSim);
    ::close(in[1]);

    struct stat st{};
    ASSERT_EQ(::stat((dir + "/cpu-flash.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 256 * 1024);
    EXPECT_NE(::access(link.c_str(), F_OK), 0) << "link removed";
}

TEST(Cli, RefusesABadOption) {
    const std::string command = std::string(TARGET_SIM_EXE) + " --baud fast >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

}  // namespace
}  // namespace targetsim::test
