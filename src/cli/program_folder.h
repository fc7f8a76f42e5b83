#pragma once
// The program folder arvex works in: the one --folder names, else the user's program
// folder, where the installed window works (its launcher applies the same rule), so that
// both see the same data, languages and remembered port.
#include <optional>
#include <string>

namespace cli {

// Absolute, with a trailing "/"; a relative --folder is taken from the working directory.
// Nothing, with the reason in `error`, when there is no folder to work in. The folder
// itself may not exist yet.
std::optional<std::string> ProgramFolder(const std::optional<std::string>& given,
                                         std::string& error);

}  // namespace cli
