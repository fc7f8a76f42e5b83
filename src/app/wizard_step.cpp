#include "app/wizard_step.h"

#include <ostream>

namespace app {

const char* WizardStepName(WizardStep step) {
    switch (step) {
        case WizardStep::StartPage:
            return "StartPage";
        case WizardStep::UpdateCheck:
            return "UpdateCheck";
        case WizardStep::PlantrixIntroduction:
            return "PlantrixIntroduction";
        case WizardStep::NewsletterSignUp:
            return "NewsletterSignUp";
        case WizardStep::PlantrixMachineType:
            return "PlantrixMachineType";
        case WizardStep::PlantrixRelease:
            return "PlantrixRelease";
        case WizardStep::PlantrixProgramming:
            return "PlantrixProgramming";
        case WizardStep::NoFirmwareFound:
            return "NoFirmwareFound";
        case WizardStep::PlantrixPortSearch:
            return "PlantrixPortSearch";
        case WizardStep::Installation:
            return "Installation";
        case WizardStep::TessaraIntroduction:
            return "TessaraIntroduction";
        case WizardStep::TessaraRelease:
            return "TessaraRelease";
        case WizardStep::TessaraProgramming:
            return "TessaraProgramming";
        case WizardStep::TessaraConfirmation:
            return "TessaraConfirmation";
        case WizardStep::PlantrixConfirmation:
            return "PlantrixConfirmation";
    }
    return "?";
}

std::ostream& operator<<(std::ostream& out, WizardStep step) {
    return out << WizardStepName(step) << " (" << static_cast<int>(step) << ")";
}

}  // namespace app
