#include "app/command_line.h"

#include <cctype>

#include "platform/strings.h"

namespace app {

namespace {
constexpr int kDefaultPeriodMinutes = 60;
}

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
            } else {
                const auto minutes = platform::ParseWholeNumber(arg.substr(3));
                result.autoUpdateMinutes = minutes ? *minutes : kDefaultPeriodMinutes;
            }
        }
    }
    return result;
}

}  // namespace app
