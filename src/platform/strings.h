#pragma once
// Small string rules shared by every reader of text from files and the command line.
#include <optional>
#include <string>

namespace platform {

// Blanks and control characters (every byte up to the space) removed at both ends.
std::string TrimControls(const std::string& text);

// A decimal whole number with an optional sign and nothing else (blanks around it are
// allowed); nothing when the text is not one or does not fit an int.
std::optional<int> ParseWholeNumber(const std::string& text);

}  // namespace platform
