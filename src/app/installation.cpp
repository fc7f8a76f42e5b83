// The installation check: without its engine library and bootloader files the program
// cannot program anything, so it first offers to fetch them.
#include "app/main_window.h"
#include "archive/zr_dynamic_bind.h"
#include "platform/files.h"

namespace app {

namespace {
const char* const kRequiredFiles[] = {ziparchive::kEngineFileName, "BLaz60A.prg", "BLdg128A.prg",
                                      "BLS12G128.prg"};
}

void TForm1::CheckInstallation() {
    // A finished check's page stays until its Finish, which comes back here: it may show
    // why the files are still missing.
    if (VisiblePage() == 2) return;
    bool complete = true;
    for (const char* file : kRequiredFiles) {
        const bool packaged =
            !packagedEngineDir_.empty() && std::string(file) == ziparchive::kEngineFileName;
        complete =
            complete && platform::FileExists((packaged ? packagedEngineDir_ : ProgramDir) + file);
    }
    if (!complete) updateCheck_->OpenInstallation();
}

}  // namespace app
