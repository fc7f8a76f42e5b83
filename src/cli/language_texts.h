#pragma once
// The user's texts for arvex: the language in use in the program folder, as the window
// shows them.
#include <string>

#include "i18n/text_table.h"

namespace cli {

// Fills `texts` with the built-in English texts and then with those of "default.lan" in
// `programDir`, when there is one. A file that cannot be used leaves the English texts
// and gives a warning to show; an empty warning otherwise.
std::string LoadLanguageInUse(const std::string& programDir, i18n::TextTable& texts);

}  // namespace cli
