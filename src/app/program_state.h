#pragma once
// The program-wide variables that every job of the window shares. The window holds one
// set; the jobs it starts are handed what they need from it.
#include <string>
#include <vector>

#include "app/wizard_step.h"
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

    WizardStep WizardState = WizardStep::StartPage;
    WizardStep PrevWizardState = WizardStep::StartPage;  // where an update check was started
    bool ServiceMode = false;
    int AutoUpdateMinutes = 0;
    int AutoUpdateStep = 0;

    int AnimateDots = 0;

    std::string SelectedMachineType;
    std::string SelectedRelease;
    std::string SelectedFirmwareFile;
};

}  // namespace app
