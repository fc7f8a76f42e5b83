#include "app/command_line.h"

#include <cctype>

#include "platform/strings.h"

namespace app {

namespace {
constexpr int kDefaultPeriodMinutes = 60;

std::string PeriodNow(int minutes) {
    return minutes > 0 ? "unattended update checks every " + std::to_string(minutes) + " minutes"
                       : "no unattended update checks";
}
}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine result;
    for (const auto& arg : args) {
        if (arg.size() < 2) continue;
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(arg[1])));
        if (kind == 'S') {
            result.serviceMode = true;
        } else if (kind == 'T') {
            if (arg.size() <= 3) {
                result.autoUpdateMinutes = kDefaultPeriodMinutes;
            } else if (const auto minutes = platform::ParseWholeNumber(arg.substr(3))) {
                result.autoUpdateMinutes = *minutes;
            } else {
                result.problems.push_back("\"" + arg +
                                          "\": the period is not a whole number of minutes and "
                                          "is ignored; " +
                                          PeriodNow(result.autoUpdateMinutes) + ".");
            }
        }
    }
    return result;
}

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return args;
}

}  // namespace app
