#pragma once
// The program's arguments: /S for service mode, /T or /T:n for unattended update checks.
#include <optional>
#include <string>
#include <vector>

namespace app {

struct CommandLine {
    bool serviceMode = false;
    int autoUpdateMinutes = 0;  // 0: no unattended checks
    // One line per argument that could not be read, for standard error.
    std::vector<std::string> problems;
};

// Each argument is read by its second character, upper-cased; the first is not looked
// at, so /S, -s and xS are alike. "T" with three characters or fewer means 60 minutes;
// longer, the text from the fourth character on is the period. A period that is not a
// whole number (or too large for one) changes nothing and is named in `problems`. A later
// "T" wins.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// "--help" or "--version" among the arguments: the text for standard output, which the
// program prints and ends with, before it needs a display. Nothing for any other arguments
// (their second character, "-", is no option of the window's).
std::optional<std::string> AnswerWithoutWindow(const std::vector<std::string>& args);

// The arguments after the program's name, exactly as given: the window toolkit is handed
// none of them, so none of its own options (-style, -reverse, ...) takes effect or takes
// an argument of the program's away.
std::vector<std::string> ProgramArguments(int argc, const char* const* argv);

}  // namespace app
