// arvex-terminal-sim: a terminal in program mode on a pseudo-terminal, for training, demos
// and tests of the programming runs.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"
#include "terminal_simulator.h"

int main(int argc, char** argv) {
    using namespace termsim;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const char* portsEnv = std::getenv("ARVEX_COM_PORTS");
    CommandLine cl;
    std::string error;
    if (!ParseCommandLine(args, portsEnv != nullptr ? portsEnv : "", cl, error)) {
        std::fprintf(stderr, "arvex-terminal-sim: %s\nTry arvex-terminal-sim --help.\n",
                     error.c_str());
        return 2;
    }
    if (cl.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }

    // The signals that end the simulator arrive on a descriptor the loop waits on, so it
    // can remove its port before it goes; they are blocked before any thread exists.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    sigaddset(&endSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &endSignals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    const int signals = ::signalfd(-1, &endSignals, SFD_CLOEXEC);
    if (signals < 0) {
        std::perror("arvex-terminal-sim: signalfd");
        return 2;
    }
    if (cl.exitWithParent) {
        // A parent that ended before this point has left us to init already.
        const pid_t parent = ::getppid();
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (parent == 1 || ::getppid() != parent) return cl.sim.exitAfterRun ? 1 : 0;
    }

    TerminalSimulator sim(cl.sim);
    if (!sim.Open(error)) {
        std::fprintf(stderr, "arvex-terminal-sim: %s\n", error.c_str());
        return 2;
    }
    std::printf("%s\n", sim.PortPath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "arvex-terminal-sim: COM%u is %s (%s), mode %s, hardware code %u, %s\n",
                 cl.sim.comNumber, sim.PortPath().c_str(), sim.DevicePath().c_str(),
                 std::string(SimModeName(cl.sim.model.mode)).c_str(), cl.sim.model.hardwareCode,
                 cl.sim.paceBaud > 0
                     ? ("paced at " + std::to_string(cl.sim.paceBaud) + " baud").c_str()
                     : "unpaced");

    const EndReason reason = sim.Run(signals);
    const SimResults results = sim.Results();
    std::fprintf(stderr, "arvex-terminal-sim: %s; %u complete run(s), %zu frames received\n",
                 std::string(EndReasonName(reason)).c_str(), results.completeRuns,
                 sim.FramesReceived());
    if (reason == EndReason::Failed) return 2;
    if (cl.sim.exitAfterRun) return results.completeRuns > 0 ? 0 : 1;
    return 0;
}
