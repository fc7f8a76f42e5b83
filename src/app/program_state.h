#pragma once
// The program-wide variables that the window's jobs share. The window holds one set; the
// jobs it starts are handed what they need from it. The step is the Wizard's, the choices
// of a programming wizard are its own.
#include <string>
#include <vector>

#include "i18n/text_table.h"

namespace app {

inline constexpr const char* kProgramVersion = "1.05";

// Ordered lists of text lines that the window keeps out of sight.
using LineList = std::vector<std::string>;

struct ProgramState {
    std::string ProgramDir;   // working directory at start, ending in "/"
    std::string DataDir;      // ProgramDir + "Data/"
    std::string LanguageDir;  // ProgramDir + "Language/"

    i18n::TextTable Texts;
    std::string CurrentLanguage;

    bool ServiceMode = false;
    int AutoUpdateMinutes = 0;
    int AutoUpdateStep = 0;

    int AnimateDots = 0;
};

}  // namespace app
