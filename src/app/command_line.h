#pragma once
// The program's arguments: /S for service mode, /T or /T:n for unattended update checks.
#include <string>
#include <vector>

namespace app {

struct CommandLine {
    bool serviceMode = false;
    int autoUpdateMinutes = 0;  // 0: no unattended checks
};

// Each argument is read by its second character, upper-cased; the first is not looked
// at, so /S, -s and xS are alike. "T" with three characters or fewer means 60 minutes;
// longer, the text from the fourth character on is the period. A period that is not a
// whole number also gives 60, so that a typo still starts the checks. A later "T" wins.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace app
