// The demo's run with a fake program in the program's place: it gets a new, empty program
// folder, the server and the simulated terminal in its environment, and its arguments; and
// however the run ends (the program killed or crashing, the demo stopped, killed or
// interrupted) no piece of it is left running. Two runs at once do not meet.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "demo_test_support.h"
#include "platform/files.h"
#include "temp_folder.h"
#include "update/server_settings.h"

namespace fs = std::filesystem;
using namespace demotest;
using testsupport::ChildProcess;

namespace {

constexpr int kStartMs = 30000;
constexpr int kEndMs = 10000;

// Tells the test what the demo gave it, then waits to be ended, as the program's window does.
const char* const kFakeProgram =
    "#!/bin/sh\n"
    "{ echo \"pid=$$\"; echo \"server=$ARVEX_FTP_SERVER\"; echo \"ports=$ARVEX_COM_PORTS\";\n"
    "  echo \"user=${ARVEX_FTP_USER-unset}\"; echo \"cwd=$(pwd)\"; echo \"entries=$(ls -A | wc "
    "-l)\";\n"
    "  for a in \"$@\"; do echo \"arg=$a\"; done; } > \"$DEMO_TEST_REPORT.part\"\n"
    "mv \"$DEMO_TEST_REPORT.part\" \"$DEMO_TEST_REPORT\"\n"
    "echo fake program ready\n"
    "exec sleep 600\n";

// The reply code to the password of `user`, or 0 when the server did not answer.
int LoginReply(int port, const std::string& user, const std::string& password) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string pending;
    // The code of the next whole reply line.
    auto reply = [&]() -> int {
        for (;;) {
            const size_t end = pending.find("\r\n");
            if (end != std::string::npos) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                if (line.size() >= 4 && line[3] == ' ') return std::atoi(line.c_str());
                continue;
            }
            pollfd p{s, POLLIN, 0};
            char buffer[512];
            if (::poll(&p, 1, 5000) <= 0) return 0;
            const ssize_t n = ::read(s, buffer, sizeof buffer);
            if (n <= 0) return 0;
            pending.append(buffer, static_cast<size_t>(n));
        }
    };
    auto send = [&](const std::string& line) { return ::write(s, line.data(), line.size()) > 0; };
    int code = 0;
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && reply() == 220 &&
        send("USER " + user + "\r\n") && reply() == 331 && send("PASS " + password + "\r\n"))
        code = reply();
    ::close(s);
    return code;
}

// Processes whose command line or working folder lies in `folder`, but `except`.
std::vector<pid_t> ProcessesIn(const std::string& folder, pid_t except) {
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = std::stoi(name);
        if (pid == except || pid == ::getpid()) continue;
        std::string cmdline = platform::ReadFileBytes(entry.path() / "cmdline").value_or("");
        std::error_code ec;
        const std::string cwd = fs::read_symlink(entry.path() / "cwd", ec);
        if (cmdline.find(folder) != std::string::npos || cwd.find(folder) != std::string::npos)
            found.push_back(pid);
    }
    return found;
}

// One demo run, from its start to the fake program's report.
class DemoRun {
  public:
    DemoRun(const std::string& runDir, const std::string& fakeProgram, const std::string& report)
        : demo_({kPython, DemoScript("run_demo.py"), "--build", BuildDir(), "--run-dir", runDir,
                 "--program", fakeProgram, "--", "/S", "/T:5", "two words"},
                {"DEMO_TEST_REPORT=" + report, "ARVEX_FTP_USER=somebody-else"}) {
        started_ = demo_.WaitForOutput("fake program ready", kStartMs);
        if (!started_) return;
        std::istringstream lines(platform::ReadFileBytes(report).value_or(""));
        for (std::string line; std::getline(lines, line);) {
            const size_t eq = line.find('=');
            if (line.compare(0, eq, "arg") == 0) {
                args_.push_back(line.substr(eq + 1));
            } else {
                values_[line.substr(0, eq)] = line.substr(eq + 1);
            }
        }
    }
    bool Started() const { return started_; }
    ChildProcess& Demo() { return demo_; }
    const std::string& operator[](const std::string& key) { return values_[key]; }
    const std::vector<std::string>& Args() const { return args_; }
    pid_t ProgramPid() { return std::stoi(values_["pid"]); }
    int Port() { return std::stoi(values_["server"].substr(values_["server"].find(':') + 1)); }

  private:
    ChildProcess demo_;
    bool started_ = false;
    std::map<std::string, std::string> values_;
    std::vector<std::string> args_;
};

class DemoRunTest : public ::testing::Test {
  protected:
    DemoRunTest() {
        folder.Write("fake-program", kFakeProgram);
        fs::permissions(folder.Path() + "fake-program", fs::perms::owner_all);
    }
    std::string RunDir() const { return folder.Path() + "run"; }
    std::unique_ptr<DemoRun> Start(const std::string& report = "report") {
        return std::make_unique<DemoRun>(RunDir(), folder.Path() + "fake-program",
                                         folder.Path() + report);
    }
    // What the program was given, and that the server takes the program's own account.
    void ExpectGivenWhatTheProgramNeeds(DemoRun& run) {
        EXPECT_EQ(run["server"].rfind("127.0.0.1:", 0), 0u) << run["server"];
        EXPECT_EQ(LoginReply(run.Port(), update::kDefaultServerUser, update::kServerPassword), 230);
        EXPECT_EQ(run["user"], "unset");
        const fs::path com1 = fs::path(run["ports"]) / "COM1";
        EXPECT_TRUE(fs::is_symlink(com1));
        EXPECT_EQ(fs::read_symlink(com1).string().rfind("/dev/pts/", 0), 0u);
        EXPECT_EQ(fs::path(run["cwd"]).parent_path().parent_path(), fs::path(RunDir()) / "demo");
        EXPECT_EQ(run["entries"], "0");
        EXPECT_EQ(run.Args(), (std::vector<std::string>{"/S", "/T:5", "two words"}));
    }
    std::vector<pid_t> Pieces(DemoRun& run) { return ProcessesIn(RunDir(), run.Demo().Pid()); }
    std::vector<std::string> Sessions() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(RunDir() + "/demo"))
            if (e.path().filename().string().starts_with("session.")) names.push_back(e.path());
        return names;
    }

    testsupport::TempFolder folder;
};

struct Ending {
    const char* name;
    bool toProgram;  // else to the demo
    std::vector<int> signals;
    int status;  // the demo's exit status
};

void PrintTo(const Ending& ending, std::ostream* os) { *os << ending.name; }

class DemoRunEnding : public DemoRunTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(DemoRunEnding, LeavesNoPieceRunning) {
    const Ending& ending = GetParam();
    auto run = Start();
    ASSERT_TRUE(run->Started()) << run->Demo().Output();
    ExpectGivenWhatTheProgramNeeds(*run);
    const std::vector<pid_t> pieces = Pieces(*run);
    // The server, the simulator and the program.
    EXPECT_EQ(pieces.size(), 3u);

    for (const int sig : ending.signals) {
        if (ending.toProgram) {
            ::kill(run->ProgramPid(), sig);
        } else {
            run->Demo().Signal(sig);
        }
    }
    EXPECT_EQ(run->Demo().Wait(kEndMs), ending.status) << run->Demo().Output();
    const bool demoKilled = ending.status == 128 + SIGKILL && !ending.toProgram;
    // A demo that could stop its pieces has waited for their end before its own.
    if (!demoKilled) {
        EXPECT_EQ(ProcessesIn(RunDir(), 0), std::vector<pid_t>{});
    }
    // A killed one leaves them to their guards.
    for (const pid_t pid : pieces) EXPECT_TRUE(testsupport::WaitForProcessEnd(pid, kEndMs)) << pid;
    EXPECT_EQ(ProcessesIn(RunDir(), 0), std::vector<pid_t>{});
    if (!demoKilled) {
        EXPECT_EQ(Sessions(), std::vector<std::string>{});
    } else {
        // Nobody was left to clear the folders: the next run does it.
        EXPECT_EQ(Sessions().size(), 1u);
        ChildProcess next({kPython, DemoScript("run_demo.py"), "--build", BuildDir(), "--run-dir",
                           RunDir(), "--program", "/bin/true"});
        EXPECT_EQ(next.Wait(kStartMs), 0) << next.Output();
        EXPECT_EQ(Sessions(), std::vector<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(Endings, DemoRunEnding,
                         ::testing::Values(Ending{"ProgramKilled", true, {SIGKILL}, 128 + SIGKILL},
                                           Ending{"ProgramCrashes", true, {SIGSEGV}, 128 + SIGSEGV},
                                           // The demo passes an interrupt on to the program.
                                           Ending{"Interrupted", false, {SIGINT}, 128 + SIGINT},
                                           Ending{"DemoStopped", false, {SIGTERM}, 128 + SIGTERM},
                                           Ending{"DemoKilled", false, {SIGKILL}, 128 + SIGKILL}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DemoRunTest, TwoRunsAtOnceHaveTheirOwnPiecesAndEndApart) {
    auto first = Start("first");
    auto second = Start("second");
    ASSERT_TRUE(first->Started()) << first->Demo().Output();
    ASSERT_TRUE(second->Started()) << second->Demo().Output();
    EXPECT_NE((*first)["server"], (*second)["server"]);
    EXPECT_NE((*first)["ports"], (*second)["ports"]);
    EXPECT_NE((*first)["cwd"], (*second)["cwd"]);

    ::kill(first->ProgramPid(), SIGTERM);
    EXPECT_EQ(first->Demo().Wait(kEndMs), 128 + SIGTERM);
    EXPECT_EQ(LoginReply(second->Port(), update::kDefaultServerUser, update::kServerPassword), 230);
    EXPECT_TRUE(fs::is_symlink(fs::path((*second)["ports"]) / "COM1"));
    EXPECT_TRUE(fs::is_directory((*second)["cwd"]));
    second->Demo().Signal(SIGTERM);
    EXPECT_EQ(second->Demo().Wait(kEndMs), 128 + SIGTERM);
}

// The server ends when the pipe on its standard input closes: a parent that dies in any way
// closes it.
TEST(DemoFtpServer, EndsWhenItsParentsPipeCloses) {
    testsupport::TempFolder root;
    ChildProcess server({kPython, DemoScript("ftp_server.py"), root.Path(), "user", "secret"});
    ASSERT_TRUE(server.WaitForOutput("PORT ", kStartMs)) << server.Output();
    EXPECT_FALSE(server.Wait(200));
    server.CloseInput();
    EXPECT_EQ(server.Wait(kEndMs), 0) << server.Output();
}

}  // namespace
