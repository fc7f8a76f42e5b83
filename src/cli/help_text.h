#pragma once
// The help texts, made from the table of commands and options.
#include <string>

#include "cli/commands.h"

namespace cli {

std::string GeneralHelp();
std::string CommandHelp(const CommandInfo& info);

}  // namespace cli
