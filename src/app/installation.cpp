// The installation check: without its engine library and bootloader files the program
// cannot program anything, so it first offers to fetch them.
#include "app/main_window.h"
#include "update/program_files.h"

namespace app {

void TForm1::CheckInstallation() {
    // A finished check's page stays until its Finish, which comes back here: it may show
    // why the files are still missing.
    if (VisiblePage() == 2) return;
    if (!update::MissingProgramFiles(ProgramDir, packagedEngineDir_).empty())
        updateCheck_->OpenInstallation();
}

}  // namespace app
