#pragma once
// Reading arvex's command line. Arguments are untrusted: every one is checked, and a
// fault gives one line that names it, with nothing run.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/invocation.h"

namespace cli {

struct ParseResult {
    enum class Kind { Run, Help, Version, UsageError };
    Kind kind = Kind::UsageError;
    Invocation invocation;  // Run
    std::string text;       // Help: the help text; UsageError: the line to show
};

// Reads the arguments after the program's name.
ParseResult ParseArguments(const std::vector<std::string>& args);

// "COM5", "com5" or "5" gives 5; nothing for anything else or a number outside the ports
// the search covers.
std::optional<unsigned> ParseComPort(std::string_view text);

}  // namespace cli
