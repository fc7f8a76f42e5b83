// The arvex-terminal-sim tool: its arguments, and the process as scripts start and end it.
#include "terminal-sim/command_line.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>

#include "program_side.h"
#include "temp_folder.h"

using namespace termsim;
using namespace simtest;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

extern char** environ;

TEST(SimCommandLine, ReadsEveryOptionAndRefusesBadValues) {
    CommandLine cl;
    std::string error;
    // Every option once; "=" and a separate value alike.
    std::istringstream line(
        "--com 7 --mode=tessara --code 3 --baud 19200 --erase-ms 0 --refuse page:2:21 "
        "--refuse=any:all:always --silent-after 5:block --vanish-after 3 --identify-extra 55,AA "
        "--answer-ff 8 --ff-second 0x01 --no-flash-ready --wrong-done all:none "
        "--relay-answer none --exit-after-run --idle-timeout 30 --exit-with-parent --hold");
    const std::vector<std::string> args{std::istream_iterator<std::string>(line), {}};
    ASSERT_TRUE(ParseCommandLine(args, "/ports", cl, error)) << error;
    // The rules with parts of their own; plain numbers and flags are one table line each.
    const SimOptions& s = cl.sim;
    const Faults& f = s.model.faults;
    EXPECT_EQ(s.portsFolder, "/ports");
    EXPECT_EQ(s.model.mode, SimMode::Tessara);
    ASSERT_EQ(f.refusals.size(), 2u);
    EXPECT_EQ(f.refusals[0].kind, FrameKind::PageWrite);
    EXPECT_EQ(f.refusals[0].ordinal, 2u);
    EXPECT_EQ(f.refusals[0].times, 21u);
    EXPECT_EQ(f.refusals[1].ordinal, 0u);
    EXPECT_EQ(f.refusals[1].times, 0u);
    EXPECT_EQ(f.silentAfter->kind, FrameKind::BlockWrite);
    EXPECT_EQ(f.silentAfter->count, 5u);
    EXPECT_EQ(f.vanishAfter->kind, FrameKind::Any);
    EXPECT_EQ(f.identifyExtra, (Bytes{0x55, 0xAA}));
    EXPECT_EQ(f.ffSecond, 0x01);
    EXPECT_EQ(f.wrongDone->ordinal, 0u);
    EXPECT_FALSE(f.wrongDone->byte);
    EXPECT_FALSE(s.model.relayAnswer);
    EXPECT_EQ(s.idleTimeout, 30s);
    EXPECT_TRUE(s.exitAfterRun && s.holdPort && cl.exitWithParent && f.noFlashReady);

    const std::vector<std::vector<std::string>> bad = {
        {"--com", "0"},
        {"--com", "257"},
        {"--com"},
        {"--mode", "serial"},
        {"--code", "256"},
        {"--baud", "10"},
        {"--erase-ms", "-1"},
        {"--refuse", "identify"},
        {"--refuse", "block:0"},
        {"--refuse", "blok"},
        {"--refuse", "block:1:0"},
        {"--silent-after", "x"},
        {"--identify-extra", "5"},
        {"--identify-extra", "GG"},
        {"--ff-second", "100"},
        {"--wrong-done", "1:45"},
        {"--refusal-byte", "CC"},
        {"--frobnicate"},
        {"--hold=1"},
    };
    for (const auto& args : bad) {
        EXPECT_FALSE(ParseCommandLine(args, "/ports", cl, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
    EXPECT_FALSE(ParseCommandLine({}, "", cl, error));  // no ports folder
    EXPECT_TRUE(ParseCommandLine({"--help"}, "", cl, error) && cl.help);
}

namespace {

// The tool started as a script starts it, its first output line read.
class Tool {
  public:
    explicit Tool(const std::vector<std::string>& args, bool behindShell = false) {
        const std::string exe = std::string(std::getenv("ARVEX_BUILD_DIR")) + "/arvex-terminal-sim";
        std::vector<std::string> argv;
        if (behindShell) argv = {"/bin/sh", "-c", "\"$0\" \"$@\" & wait"};
        argv.push_back(exe);
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargs;
        for (auto& a : argv) cargs.push_back(a.data());
        cargs.push_back(nullptr);
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        EXPECT_EQ(posix_spawn(&pid_, cargs[0], &actions, nullptr, cargs.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        out_ = out[0];
        // The first line is the port's path.
        char c = 0;
        while (WaitReadable(10000) && ::read(out_, &c, 1) == 1 && c != '\n') port_ += c;
    }
    ~Tool() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }
    const std::string& Port() const { return port_; }
    void Signal(int sig) const { ::kill(pid_, sig); }
    // The exit status once the process ended, -1 if it did not within the time.
    int Wait() {
        if (!Ended()) return -1;
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    // Its output ends when it (and whatever shares the output) has ended.
    bool Ended() {
        char buffer[256];
        while (WaitReadable(10000)) {
            if (::read(out_, buffer, sizeof buffer) <= 0) return true;
        }
        return false;
    }

  private:
    bool WaitReadable(int ms) const {
        pollfd p{out_, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0;
    }
    pid_t pid_ = -1;
    int out_ = -1;
    std::string port_;
};

}  // namespace

TEST(SimTool, EndsAfterOneRunWithAStatusSayingWhetherItCompleted) {
    testsupport::TempFolder folder;
    const std::string ports = folder.Path() + "ports";
    {
        Tool tool({"--ports", ports, "--com", "4", "--erase-ms", "0", "--exit-after-run", "--out",
                   folder.Path() + "out"});
        ASSERT_EQ(tool.Port(), ports + "/COM4");
        ProgramSide port(tool.Port());
        EXPECT_EQ(port.Exchange(kIdentify, 1), Bytes{1});
        EXPECT_EQ(port.Exchange(LoadRecord(0, {1, 2}), 1), Bytes{0xCC});
        EXPECT_EQ(port.Exchange(kStart, 1), Bytes{'E'});
        EXPECT_EQ(port.Exchange(FlashRecord(0x100, {0xAA, 0x55}), 2), (Bytes{0xCC, 'E'}));
        port.Write({0x35});
        EXPECT_EQ(tool.Wait(), 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(tool.Port())));
        EXPECT_EQ(folder.Read("out/flash.bin").substr(0x100, 2), "\xAA\x55");
    }
    {
        // The program gives up half way and closes the port.
        Tool tool({"--ports", ports, "--com", "4", "--exit-after-run"});
        ProgramSide port(tool.Port());
        EXPECT_EQ(port.Exchange(kIdentify, 1), Bytes{1});
        EXPECT_EQ(port.Exchange(BlockWrite(0x40, {1}), 1), Bytes{0xCC});
        port.Close();
        EXPECT_EQ(tool.Wait(), 1);
    }
}

TEST(SimTool, SignalsAndTheEndOfItsParentRemoveThePort) {
    testsupport::TempFolder folder;
    const std::string ports = folder.Path() + "ports";
    for (const int sig : {SIGTERM, SIGINT}) {
        Tool tool({"--ports", ports, "--com", "9"});
        ASSERT_TRUE(fs::is_symlink(tool.Port()));
        tool.Signal(sig);
        EXPECT_EQ(tool.Wait(), 0);
        EXPECT_FALSE(fs::exists(fs::symlink_status(tool.Port())));
    }
    // Started by a shell that is killed: the simulator follows it.
    Tool tool({"--ports", ports, "--com", "9", "--exit-with-parent"}, true);
    ASSERT_EQ(tool.Port(), ports + "/COM9");
    tool.Signal(SIGKILL);
    EXPECT_TRUE(tool.Ended());
    EXPECT_FALSE(fs::exists(fs::symlink_status(tool.Port())));
}
