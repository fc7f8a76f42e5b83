#pragma once
// The window's steps (`WizardState`). The numbers are kept as they are: every job of the
// window that sets or tests a step uses these names.
#include <iosfwd>

namespace app {

enum class WizardStep : int {
    StartPage = 0,
    UpdateCheck = 1,  // introduction on page 3, then the connection on page 2
    PlantrixIntroduction = 2,
    NewsletterSignUp = 4,
    PlantrixMachineType = 5,  // the machine type list
    PlantrixRelease = 6,      // the release list, in service mode only
    PlantrixProgramming = 7,  // the run, then its result
    NoFirmwareFound = 8,      // a programming wizard ended without a firmware file
    PlantrixPortSearch = 9,   // connection instructions; Next searches the ports
    Installation = 10,        // required files missing; Next fetches them
    TessaraIntroduction = 11,
    TessaraRelease = 12,      // the release list, in service mode only
    TessaraProgramming = 13,  // the run, then its result
    TessaraConfirmation = 14,
    PlantrixConfirmation = 15,
};

// The step's name, for logs and test output.
const char* WizardStepName(WizardStep step);
std::ostream& operator<<(std::ostream& out, WizardStep step);

}  // namespace app
