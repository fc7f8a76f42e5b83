#include "app/command_line.h"

#include <cctype>

#include "app/program_state.h"
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

std::optional<std::string> AnswerWithoutWindow(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (arg == "--version") return std::string("ArvexUpdate ") + kProgramVersion + "\n";
        if (arg == "--help")
            return "Usage: arvexupdate [/S] [/T[:minutes]]\n"
                   "       arvexupdate --help | --version\n"
                   "\n"
                   "Opens the Solvenda Plantrix Update window: checks the update server for\n"
                   "firmware packages, installers and language files, and writes firmware into\n"
                   "the Plantrix terminal over a serial cable.\n"
                   "\n"
                   "  /S            service mode: test releases, a release chosen by hand, and\n"
                   "                the Tessara\n"
                   "  /T[:minutes]  check for updates unattended every `minutes` minutes (60\n"
                   "                without a number; /T:0 switches the checks off)\n"
                   "  --help        show this text\n"
                   "  --version     show the program's version\n"
                   "\n"
                   "An option is known by its second character, in either case: /S, -s and xS\n"
                   "are alike. The same jobs without a window, from a terminal or a remote shell:\n"
                   "arvex --help.\n";
    }
    return std::nullopt;
}

std::vector<std::string> ProgramArguments(int argc, const char* const* argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return args;
}

}  // namespace app
