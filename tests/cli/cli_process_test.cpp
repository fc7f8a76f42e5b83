// arvex as a user starts it, without a display: help and version, every kind of mistake in
// the arguments, command lines read in full, and the serial ports it lists.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "app/program_state.h"
#include "arvex_process.h"
#include "child_process.h"
#include "device/serial_link.h"
#include "device/terminal_search.h"
#include "pty_peer.h"
#include "temp_folder.h"

namespace {

using testsupport::TempFolder;

using clitest::HasControlCharacters;
using clitest::Outcome;
using clitest::RunArvex;

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* says;
};

void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.name; }

const UsageCase kUsageCases[] = {
    {"NoCommand", {}, "no command given"},
    {"UnknownCommand", {"flash"}, "unknown command 'flash'"},
    {"UnknownOptionFirst", {"--verbose"}, "unknown option '--verbose'"},
    {"VersionWithArgument", {"--version", "ports"}, "--version takes no arguments"},
    {"UnknownOption", {"program", "--speed", "9600"}, "unknown option '--speed'"},
    {"OptionOfAnotherCommand", {"ports", "--port", "3"}, "--port does not apply to ports"},
    {"ValueMissingAtEnd", {"identify", "--port"}, "--port needs a value"},
    {"OptionWhereValueBelongs", {"program", "--machine", "--service"}, "--machine needs a value"},
    {"EmptyValue", {"check", "--folder="}, "--folder needs a value"},
    {"PortZero", {"identify", "--port", "COM0"}, "'COM0' is not a COM port"},
    {"PortBeyondTheSearch", {"identify", "--port", "257"}, "'257' is not a COM port"},
    {"PortThatOverflows", {"identify", "--port", "com4294967301"}, "is not a COM port"},
    {"PortWithSign", {"identify", "--port", "+5"}, "'+5' is not a COM port"},
    {"PortWithoutNumber", {"identify", "--port=COM"}, "'COM' is not a COM port"},
    {"PortWithoutDevice", {"identify", "--port=COM97"}, "COM97 names no device"},
    {"SwitchWithValue", {"check", "--service=yes"}, "--service takes no value"},
    {"OptionGivenTwice", {"check", "--folder", "a", "--folder=b"}, "--folder is given twice"},
    {"StrayArgument", {"check", "now"}, "unexpected argument 'now'"},
    {"TessaraOutsideServiceMode", {"program", "--tessara"}, "--tessara needs --service"},
    {"TessaraWithMachine",
     {"program", "--service", "--tessara", "--machine", "Seeder"},
     "do not go together"},
    {"ReleaseOutsideServiceMode", {"program", "--release", "R0105"}, "--release needs --service"},
    {"MachineThatLeavesTheFolder", {"program", "--machine", "../x"}, "may not contain"},
    {"MachineWithWildcard", {"program", "--machine=*"}, "may not contain"},
    {"TerminalSequence", {"check", "\x1b]0;title\x07"}, "unexpected argument"},
    {"LineEndInArgument", {"check", "a\nb"}, "unexpected argument 'a?b'"},
    {"LineEndInFolder", {"check", "--folder", "a\nb"}, "'a?b' contains control characters"},
};

class Usage : public ::testing::TestWithParam<UsageCase> {};

// One line on standard error, nothing on standard output, the usage status, nothing run.
TEST_P(Usage, IsRefusedWithOneLineAndTheUsageStatus) {
    const Outcome run = RunArvex(GetParam().args);
    EXPECT_EQ(run.status, 64) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find(GetParam().says), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(HasControlCharacters(run.err)) << run.err;
}

INSTANTIATE_TEST_SUITE_P(Arguments, Usage, ::testing::ValuesIn(kUsageCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct AnswerCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> says;
    const char* program = "arvex";
};

// Both programs, the window's too: neither needs a display to answer.
TEST(Answers, HelpAndVersionGoToStandardOutputWithoutADisplay) {
    const AnswerCase cases[] = {
        {"Help",
         {"--help"},
         {"Usage: arvex COMMAND", "\n  ports ", "\n  identify ", "\n  check ", "\n  program ",
          "the answer is No"}},
        {"ShortHelp", {"-h"}, {"Usage: arvex COMMAND"}},
        {"CommandHelp",
         {"program", "--help"},
         {"Usage: arvex program [--port COMn]", "[--release R]", "\n  --tessara "}},
        {"HelpNamingACommand", {"--help", "check"}, {"Usage: arvex check", "the answer is No"}},
        {"HelpAmongOptions", {"identify", "--port", "3", "-h"}, {"Usage: arvex identify"}},
        {"Version", {"--version"}, {std::string("arvex ") + app::kProgramVersion + "\n"}},
        {"ExitStatuses", {"--help"}, {"64 for a mistake", "130 when Ctrl+C"}},
        {"WindowHelp",
         {"--help"},
         {"Usage: arvexupdate [/S] [/T[:minutes]]", "--version"},
         "ArvexUpdate"},
        {"WindowVersionAmongItsOptions",
         {"/S", "--version"},
         {std::string("ArvexUpdate ") + app::kProgramVersion + "\n"},
         "ArvexUpdate"},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome run = RunArvex(c.args, {}, c.program);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        for (const std::string& text : c.says)
            EXPECT_NE(run.out.find(text), std::string::npos) << text << " in\n" << run.out;
    }
}

TEST(Ports, ListsEachPortThatExistsWithWhoMayUseIt) {
    TempFolder folder;
    const std::string ports = folder.Path() + "ports/";
    std::filesystem::create_directories(ports);
    serialtest::PtyPeer free(ports, 2);
    serialtest::PtyPeer held(ports, 7);
    const int holder = ::open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    std::filesystem::create_symlink(ports + "gone", ports + "COM3");
    // A node nobody may open for writing, root included: a serial device of a group the
    // user is not in looks like this.
    const char* forbidden = "/proc/sys/kernel/version";
    std::filesystem::create_symlink(forbidden, ports + "COM5");
    const bool canForbid = ::open(forbidden, O_RDWR) < 0 && errno == EACCES;
    folder.Write("ports/COM9", "not a device");

    const Outcome run = RunArvex({"ports"}, {"ARVEX_COM_PORTS=" + ports});
    ::close(holder);
    EXPECT_EQ(run.status, 0) << run.err;

    std::map<unsigned, std::string> rows;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) rows[std::stoul(line.substr(3))] = line;
    struct Row {
        unsigned com;
        const char* state;  // nullptr: not listed
    };
    const Row expected[] = {{2, "present"},
                            {3, nullptr},
                            {5, canForbid ? "not accessible to this user" : "present"},
                            {7, "in use by another program"},
                            {9, nullptr}};
    size_t listed = 0;
    for (const Row& row : expected) {
        SCOPED_TRACE("COM" + std::to_string(row.com));
        if (row.state == nullptr) {
            EXPECT_EQ(rows.count(row.com), 0u) << run.out;
            continue;
        }
        ++listed;
        const std::string device = ports + "COM" + std::to_string(row.com);
        EXPECT_NE(rows[row.com].find(" " + device + " "), std::string::npos) << rows[row.com];
        EXPECT_TRUE(rows[row.com].ends_with(row.state)) << rows[row.com];
    }
    EXPECT_EQ(rows.size(), listed) << run.out;
    if (canForbid) {
        const std::string note = device::AccessDeniedNote({5, ports + "COM5"});
        EXPECT_NE(run.err.find(note), std::string::npos) << run.err;
    }
}

TEST(Ports, NoneAtAllIsSaidOnStandardError) {
    TempFolder ports;
    ports.Write("COM1", "not a device");
    const Outcome run = RunArvex({"ports"}, {"ARVEX_COM_PORTS=" + ports.Path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("No serial ports"), std::string::npos) << run.err;
}

}  // namespace
