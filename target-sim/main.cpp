// target-sim: plays a C167-family controller on a pseudo-terminal until killed.
#include "target_sim.h"

#include <csignal>
#include <cstdio>
#include <unistd.h>

int main() {
    targetsim::Controller sim;
    if (!sim.Start()) return 1;
    std::printf("%s\n", sim.DevicePath().c_str());
    std::fflush(stdout);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    int sig = 0;
    sigwait(&set, &sig);
    return 0;
}
