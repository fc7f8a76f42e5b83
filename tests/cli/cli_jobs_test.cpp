// arvex's jobs through its process, as a technician runs them over a remote shell: a
// programming run against a simulated terminal, the exit status of each way a run ends, the
// update check against a real FTP server, and Ctrl+C in the middle of a run.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>

#include "arvex_process.h"
#include "child_process.h"
#include "ftp_server_process.h"
#include "programming_support.h"
#include "temp_folder.h"

namespace {

using clitest::Outcome;
using clitest::RunArvex;
using termsim::FrameKind;
using termsim::SimOptions;
using testsupport::TempFolder;

bool Says(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A program folder with the RAM bootloaders, and simulated terminals in a ports folder.
class Workshop : public ::testing::Test {
  protected:
    Workshop() : terminals(scratch.Path() + "ports/") {
        std::filesystem::create_directories(scratch.Path() + "ports");
        std::filesystem::create_directories(Folder());
        progtest::WriteBootloaders(Folder());
        // The Granulo's, which a folder holds once it is installed.
        scratch.Write("prog/BLaz60A.prg", "S0030000FC\r\n");
    }

    std::string Folder() const { return scratch.Path() + "prog/"; }
    std::vector<std::string> Environment() const {
        return {"ARVEX_COM_PORTS=" + scratch.Path() + "ports/"};
    }
    void WritePackage(const std::string& name, const progtest::Firmware& firmware) {
        scratch.Write("prog/Data/" + name, progtest::PackageBytes(firmware));
    }
    Outcome Program(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"program", "--folder", Folder()});
        return RunArvex(args, Environment());
    }

    TempFolder scratch;
    progtest::Terminals terminals;
};

class WholeRun : public Workshop, public ::testing::WithParamInterface<int> {};

// The newest package for the terminal's hardware, chosen without a question, ends up in
// the flash; the progress is plain lines, as standard output is no terminal.
TEST_P(WholeRun, WritesTheNewestPackageForTheHardwareIntoTheFlash) {
    const auto code = static_cast<uint8_t>(GetParam());
    const progtest::Firmware firmware = progtest::FirmwareFor(code);
    const std::string s12 = code == 3 ? "_s12" : "";
    WritePackage("KX_R0104" + s12 + ".vbf", firmware);
    // Older, and for the other hardware: neither is chosen.
    WritePackage("KX_R0103" + s12 + ".vbf", progtest::FirmwareFor(code == 3 ? 1 : 3));
    WritePackage("KX_R0105" + std::string(code == 3 ? "" : "_s12") + ".vbf",
                 progtest::FirmwareFor(code == 3 ? 1 : 3));
    terminals.Start(3, [&](SimOptions& o) { o.model.hardwareCode = code; });

    const Outcome run = Program({"--port", "COM3"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(Says(run.out, "Selected firmware: KX, R0104")) << run.out;
    EXPECT_TRUE(Says(run.out, "Progress: 100 %")) << run.out;
    EXPECT_TRUE(run.out.ends_with("Download success!\n")) << run.out;
    EXPECT_FALSE(clitest::HasControlCharacters(run.out)) << run.out;

    ASSERT_TRUE(terminals.At(3).WaitForRunComplete(std::chrono::seconds(5)));
    const termsim::SimResults r = terminals.At(3).Results();
    EXPECT_EQ(r.flashOutsideWindow, 0u);
    EXPECT_TRUE(r.FlashWindowImage() == firmware.ExpectedFlash(code));
}

INSTANTIATE_TEST_SUITE_P(HardwareCodes, WholeRun, ::testing::Values(1, 3));

struct Ending {
    const char* name;
    // Nothing: no terminal answers.
    std::optional<std::function<void(SimOptions&)>> terminal;
    std::vector<std::string> packages;
    std::vector<std::string> args;
    int status;
    const char* says;  // on standard error
    bool sends;        // anything beyond the identification reached the terminal
    friend void PrintTo(const Ending& c, std::ostream* os) { *os << c.name; }
};

void Accepting(SimOptions&) {}

const Ending kEndings[] = {
    {"VgfBlockRefusedForEver",
     [](SimOptions& o) {
         o.model.faults.refusals = {{FrameKind::BlockWrite, 1, 0}};
     },
     {"KX_R0104.vbf"},
     {},
     5,
     "Error code: 5",
     true},
    {"LoadRecordRefusedForEver",
     [](SimOptions& o) {
         o.model.faults.refusals = {{FrameKind::LoadRecord, 1, 0}};
     },
     {"KX_R0104.vbf"},
     {},
     2,
     "Error code:2",
     true},
    {"FlashNeverReady",
     [](SimOptions& o) { o.model.faults.noFlashReady = true; },
     {"KX_R0104.vbf"},
     {},
     3,
     "Error code:3",
     true},
    {"NoTerminal", std::nullopt, {"KX_R0104.vbf"}, {}, 10, "not found", false},
    {"NoPackageForTheHardware",
     Accepting,
     {"KX_R0104_s12.vbf"},
     {},
     10,
     "No boot files were found!",
     false},
    {"TwoMachineTypesAndNoneNamed",
     Accepting,
     {"KX_R0104.vbf", "LM_R0101.vbf"},
     {},
     10,
     "(KX, LM); name one with --machine",
     false},
    {"MachineTypeNotInTheFolder",
     Accepting,
     {"KX_R0104.vbf"},
     {"--machine", "LM"},
     10,
     "No firmware of machine type LM",
     false},
    {"ReleaseNotInTheFolder",
     Accepting,
     {"KX_R0104.vbf"},
     {"--service", "--release", "R0999"},
     10,
     "No release R0999 of KX",
     false},
};

class RunEnding : public Workshop, public ::testing::WithParamInterface<Ending> {};

TEST_P(RunEnding, ExitsWithTheRunsCodeOrTheFailureStatus) {
    const Ending& c = GetParam();
    for (const std::string& name : c.packages) WritePackage(name, progtest::FirmwareFor(1));
    if (c.terminal) terminals.Start(3, *c.terminal);

    const Outcome run = Program(c.args);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_TRUE(Says(run.err, c.says)) << run.err;
    EXPECT_FALSE(Says(run.out, "Download success!")) << run.out;
    if (c.terminal) {
        const termsim::SimResults r = terminals.At(3).Results();
        EXPECT_EQ(r.frames.size() > r.Count(FrameKind::Identify), c.sends) << r.frames.size();
    }
}

INSTANTIATE_TEST_SUITE_P(Endings, RunEnding, ::testing::ValuesIn(kEndings),
                         [](const auto& info) { return std::string(info.param.name); });

// The search the runs begin with: every port, or the one named.
TEST_F(Workshop, IdentifyNamesThePortAndTheHardwareCode) {
    terminals.Start(3, [](SimOptions& o) { o.model.hardwareCode = 2; });
    const struct {
        std::vector<std::string> port;
        int status;
        const char* says;
    } cases[] = {
        {{}, 0, "Found on COM3 ("},
        {{"--port", "COM3"}, 0, "Hardware code: 2"},
        {{"--port", "COM4"}, 10, "not found"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"identify", "--folder", Folder()};
        args.insert(args.end(), c.port.begin(), c.port.end());
        const Outcome run = RunArvex(args, Environment());
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_TRUE(Says(run.out + run.err, c.says)) << run.out << run.err;
    }
}

// A folder the installation has not filled yet is refused before the port is opened.
TEST_F(Workshop, AFolderWithoutItsBootloadersIsRefusedBeforeAnythingIsSent) {
    WritePackage("KX_R0104.vbf", progtest::FirmwareFor(1));
    std::filesystem::remove(Folder() + "BLaz60A.prg");
    terminals.Start(3);
    const Outcome run = Program();
    EXPECT_EQ(run.status, 10);
    EXPECT_TRUE(Says(run.err, "BLaz60A.prg; arvex check fetches them")) << run.err;
    EXPECT_EQ(terminals.At(3).FramesReceived(), 0u);
}

// Ctrl+C stops the run between two frames, closes the port and says what it means for the
// terminal.
TEST_F(Workshop, CtrlCStopsARunBetweenTwoFrames) {
    WritePackage("KX_R0104.vbf", progtest::FirmwareFor(1));
    // The erase takes seconds: the run waits for it inside its writing phases, and a run that
    // is not stopped goes on with the flash records afterwards.
    terminals.Start(3, [](SimOptions& o) { o.model.eraseTime = std::chrono::seconds(4); });
    std::vector<std::string> env = clitest::ArvexEnvironment(scratch.Path());
    for (const std::string& e : Environment()) env.push_back(e);
    testsupport::ChildProcess arvex(
        {clitest::BuildPath("arvex"), "program", "--folder", Folder(), "--port", "3"}, env);
    // The block writes and the RAM loader are 9 frames of 25: 32 % is the last line before the
    // wait.
    ASSERT_TRUE(arvex.WaitForOutput("Progress: 32 %", 60000)) << arvex.Output();
    arvex.Signal(SIGINT);
    const std::optional<int> status = arvex.Wait(20000);
    ASSERT_TRUE(status) << arvex.Output();
    EXPECT_EQ(*status, 130) << arvex.Output();
    EXPECT_TRUE(Says(arvex.Output(), "has no complete firmware now; program it again"))
        << arvex.Output();
    EXPECT_FALSE(Says(arvex.Output(), "Download success!"));

    const termsim::SimResults r = terminals.At(3).Results();
    EXPECT_EQ(r.completeRuns, 0u);
    EXPECT_EQ(r.Count(FrameKind::FlashRecord), 0u);
    // No frame was cut off: whatever arrived was whole frames.
    EXPECT_EQ(r.garbageBytes, 0u);
}

// The first check in an empty folder installs the program files and fetches the packages;
// the second finds the folders in step and fetches nothing.
TEST(Check, InstallsIntoAnEmptyFolderThenFindsItInStep) {
    TempFolder tree, scratch;
    for (const char* loader : {"BLaz60A.prg", "BLdg128A.prg", "BLS12G128.prg"})
        tree.Write(std::string("ProgramFiles/") + loader, "S0\r\n");
    tree.Write("UpdateFiles/KX_R0104.vbf", progtest::PackageBytes(progtest::FirmwareFor(1)));
    tree.Write("UpdateFiles/KX_T0105.vbf", "a test release");
    testsupport::FtpServerProcess server(tree.Path());
    ASSERT_TRUE(server.Running()) << server.Error();
    const std::string folder = scratch.Path() + "new/";
    const std::vector<std::string> env = {
        "ARVEX_FTP_SERVER=127.0.0.1:" + std::to_string(server.Port()),
        std::string("ARVEX_FTP_USER=") + testsupport::FtpServerProcess::kUser};

    const struct {
        const char* name;
        std::vector<std::string> says;
        std::vector<std::string> fetched;
    } checks[] = {
        {"First",
         {"Downloading file: KX_R0104.vbf", "Download complete!"},
         {"BLaz60A.prg", "BLdg128A.prg", "BLS12G128.prg", "Data/KX_R0104.vbf"}},
        {"Second", {"Your files are the latest!"}, {}},
    };
    for (const auto& c : checks) {
        SCOPED_TRACE(c.name);
        const Outcome run = RunArvex({"check", "--folder", folder}, env);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        for (const std::string& line : c.says) EXPECT_TRUE(Says(run.out, line)) << run.out;
        if (c.fetched.empty()) EXPECT_FALSE(Says(run.out, "Downloading")) << run.out;
        for (const std::string& file : c.fetched)
            EXPECT_TRUE(std::filesystem::exists(folder + file)) << file;
    }
    // Outside service mode test releases stay on the server.
    EXPECT_FALSE(std::filesystem::exists(folder + "Data/KX_T0105.vbf"));
}

// Ctrl+C in the middle of a transfer aborts it and logs out; the file is not left half
// written in the data folder.
TEST(Check, CtrlCAbortsTheTransferAndLogsOut) {
    TempFolder tree, scratch;
    for (const char* loader : {"BLaz60A.prg", "BLdg128A.prg", "BLS12G128.prg"})
        scratch.Write(std::string("prog/") + loader, "S0\r\n");
    tree.Write("UpdateFiles/KX_R0104.vbf", std::string(1 << 20, 'x'));
    // A megabyte at 64 KiB/s: the transfer runs for seconds.
    testsupport::FtpServerProcess server(tree.Path(), testsupport::FtpServerProcess::kUser,
                                         testsupport::FtpServerProcess::kPassword, 64 * 1024);
    ASSERT_TRUE(server.Running()) << server.Error();
    std::vector<std::string> env = clitest::ArvexEnvironment(scratch.Path());
    env.push_back("ARVEX_FTP_SERVER=127.0.0.1:" + std::to_string(server.Port()));
    env.push_back(std::string("ARVEX_FTP_USER=") + testsupport::FtpServerProcess::kUser);
    testsupport::ChildProcess arvex(
        {clitest::BuildPath("arvex"), "check", "--folder", scratch.Path() + "prog"}, env);
    ASSERT_TRUE(arvex.WaitForOutput("Downloading file: KX_R0104.vbf", 30000)) << arvex.Output();
    arvex.Signal(SIGINT);
    const std::optional<int> status = arvex.Wait(30000);
    ASSERT_TRUE(status) << arvex.Output();
    EXPECT_EQ(*status, 130) << arvex.Output();
    for (const char* line : {"Aborted by user", "Disconnected from server"})
        EXPECT_TRUE(Says(arvex.Output(), line)) << arvex.Output();
    EXPECT_FALSE(std::filesystem::exists(scratch.Path() + "prog/Data/KX_R0104.vbf"));
}

TEST(Check, AServerThatCannotBeReachedIsAFailure) {
    TempFolder scratch;
    // Port 1 on this machine: nothing listens there, the connection is refused at once.
    const Outcome run =
        RunArvex({"check", "--folder", scratch.Path()}, {"ARVEX_FTP_SERVER=127.0.0.1:1"});
    EXPECT_EQ(run.status, 10) << run.out << run.err;
    EXPECT_TRUE(Says(run.out, "Could not connect")) << run.out;
}

}  // namespace
