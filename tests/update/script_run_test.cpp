// The installers' scripts really run: detached, they replace a small test program and
// restart it with its arguments, or run a test driver installer and file it away.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "message_recorder.h"
#include "platform/detached_process.h"
#include "platform/files.h"
#include "pty_peer.h"
#include "temp_folder.h"
#include "update/installer_offers.h"
#include "update/shell_scripts.h"

extern char** environ;

using namespace update;

namespace {

constexpr int kScriptWaitMs = 20000;
constexpr int kStillRunningMs = 1000;
// The running program lies elsewhere than the folder it works in, as a build's does.
constexpr const char* kProgramFile = "bin/ArvexUpdate";

// Writes its arguments, one a line, to "restarted.txt" in the folder it runs in.
const char* const kNewProgram =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > restarted.part\n"
    "mv restarted.part restarted.txt\n";

bool IsExecutable(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) != 0;
}

// The program that is being replaced: running until the test ends it, as the real one
// runs until its window has closed.
class RunningProgram {
  public:
    RunningProgram() {
        const char* argv[] = {"/bin/sleep", "60", nullptr};
        EXPECT_EQ(
            ::posix_spawn(&pid_, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    }
    ~RunningProgram() { End(); }
    void End() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = 0;
    }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = 0;
};

class ScriptRunTest : public ::testing::Test {
  protected:
    ScriptRunTest() { i18n::SetDefaultTexts(texts); }
    InstallerOffer Offer(std::vector<std::string> arguments, long pid) {
        return {{program.Path(), program.Path() + "Data/", program.Path() + "Language/"},
                texts,
                boxes,
                "Solvenda Plantrix Update",
                std::move(arguments),
                ShellScriptStarter(program.Path()),
                [this] { endRequested = true; },
                pid,
                {program.Path() + kProgramFile, true}};
    }

    testsupport::TempFolder program;
    i18n::TextTable texts;
    testsupport::MessageRecorder boxes{platform::MessageAnswer::Yes};
    bool endRequested = false;
};

}  // namespace

TEST_F(ScriptRunTest, SelfUpdateReplacesTheProgramOnceItEndsAndRestartsIt) {
    program.Write(kProgramFile, "#!/bin/sh\nexit 0\n");
    program.Write("Data/ArvexUpdate_106.exe", kNewProgram);
    RunningProgram running;
    const std::vector<std::string> args = {"/S", "/T:30", "with blanks", "it's $(touch x)"};

    ASSERT_EQ(OfferSelfUpdate(Offer(args, running.pid())), OfferResult::Started);
    EXPECT_TRUE(endRequested);
    // While the old program runs it stays in place. Nothing announces that a file did not
    // change, so this waits out a bound far above the script's own work.
    EXPECT_FALSE(serialtest::WaitFor([&] { return program.Read(kProgramFile) == kNewProgram; },
                                     kStillRunningMs));
    running.End();

    ASSERT_TRUE(serialtest::WaitFor(
        [&] { return program.Exists("restarted.txt") && !program.Exists("Update.sh"); },
        kScriptWaitMs));
    EXPECT_EQ(platform::SplitLines(program.Read("restarted.txt")), args);
    EXPECT_EQ(program.Read(kProgramFile), kNewProgram);
    EXPECT_TRUE(IsExecutable(program.Path() + kProgramFile));
    EXPECT_FALSE(program.Exists("Data/ArvexUpdate_106.exe"));
    EXPECT_FALSE(program.Exists(std::string(kProgramFile) + ".new"));
    EXPECT_FALSE(program.Exists("ArvexUpdate"));
    EXPECT_FALSE(program.Exists("x"));
}

TEST_F(ScriptRunTest, DriverScriptRunsTheInstallerAndFilesItAsInstalled) {
    program.Write("ArvexDriver_3.exe", "old driver");
    const std::string installer = "#!/bin/sh\necho ran > installer-ran.txt\n";
    program.Write("Data/ArvexDriver_4.exe", installer);

    ASSERT_EQ(OfferDriverInstall(Offer({}, 0)), OfferResult::Started);
    ASSERT_TRUE(
        serialtest::WaitFor([&] { return !program.Exists("InstallDriver.sh"); }, kScriptWaitMs));
    EXPECT_EQ(program.Read("installer-ran.txt"), "ran\n");
    EXPECT_FALSE(program.Exists("ArvexDriver_3.exe"));
    EXPECT_FALSE(program.Exists("Data/ArvexDriver_4.exe"));
    EXPECT_EQ(program.Read("ArvexDriver_4.exe"), installer);
    EXPECT_FALSE(endRequested);
}

// Two accepted offers of one installer start two scripts. The second finds the installer
// filed already, or loses it while it runs: either way the installed driver stays.
TEST_F(ScriptRunTest, ADriverScriptWithoutItsInstallerLeavesTheInstalledDriver) {
    const struct {
        const char* what;
        const char* installer;  // nullptr: already filed by the other script
    } cases[] = {
        {"filed before this script ran", nullptr},
        {"filed while its installer ran", "#!/bin/sh\nrm -f \"$0\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        program.Write("ArvexDriver_3.exe", "installed driver");
        if (c.installer) program.Write("Data/ArvexDriver_4.exe", c.installer);
        const std::string script = program.Path() + kDriverShellName;
        ASSERT_TRUE(platform::WriteTextLines(
            script,
            DriverInstallShell(program.Path(), program.Path() + "Data/", "ArvexDriver_4.exe"),
            platform::LineEnd::Lf));
        std::string error;
        ASSERT_TRUE(ShellScriptStarter(program.Path())(script, error)) << error;
        ASSERT_TRUE(
            serialtest::WaitFor([&] { return !program.Exists(kDriverShellName); }, kScriptWaitMs));
        EXPECT_EQ(program.Read("ArvexDriver_3.exe"), "installed driver");
        EXPECT_FALSE(program.Exists("ArvexDriver_4.exe"));
    }
}

TEST(DetachedStart, OwnSessionQuietOutputsAndNoneOfOurDescriptors) {
    testsupport::TempFolder dir;
    const int ours = ::fcntl(::open("/dev/null", O_RDONLY), F_DUPFD, 100);  // inheritable
    ASSERT_GE(ours, 100);
    std::string error;
    ASSERT_TRUE(platform::StartDetached(
        "/bin/sh",
        {"-c",
         "{ pwd; readlink /proc/$$/fd/0; ls /proc/$$/fd; cut -d' ' -f4,6 /proc/$$/stat; }"
         " > out.part 2>&1; mv out.part out.txt"},
        dir.Path(), &error))
        << error;
    ASSERT_TRUE(serialtest::WaitFor([&] { return dir.Exists("out.txt"); }, kScriptWaitMs));
    const auto lines = platform::SplitLines(dir.Read("out.txt"));
    ::close(ours);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.front() + "/", dir.Path());
    EXPECT_EQ(lines[1], "/dev/null");
    for (const auto& l : lines) EXPECT_NE(l, std::to_string(ours));
    // Parent and session: neither this process nor its session.
    const std::string parentAndSession = lines.back();
    EXPECT_NE(parentAndSession.substr(0, parentAndSession.find(' ')), std::to_string(::getpid()));
    EXPECT_NE(parentAndSession.substr(parentAndSession.find(' ') + 1), std::to_string(::getsid(0)));

    EXPECT_FALSE(platform::StartDetached("/no/such/program", {}, dir.Path(), &error));
    EXPECT_NE(error.find("cannot run /no/such/program"), std::string::npos) << error;
    EXPECT_FALSE(platform::StartDetached("/bin/sh", {}, dir.Path() + "missing", &error));
    EXPECT_NE(error.find("cannot enter the folder"), std::string::npos) << error;
}
