#pragma once
// The Tessara programming wizard on page 3: in service mode the release list, the
// confirmation with the connection instructions, and the run. The window's Next handler
// forwards here in the wizard's steps.
#include "app/program_state.h"
#include "app/wizard_page.h"
#include "device/tessara_run.h"

namespace app {

// The machine type the Tessara's firmware files are named after.
inline constexpr const char* kTessaraMachineType = "Tessara";

class TessaraWizard {
  public:
    // `releaseFiles` is the hidden list (ListBox1) that holds the file of each release
    // shown in the selection list.
    TessaraWizard(ProgramState& state, WizardPage& page, LineList& releaseFiles,
                  device::TessaraRun& run);

    static bool OwnsStep(WizardStep step);
    // Next in one of the wizard's steps; a press while its run is going is ignored.
    void Next();
    bool Busy() const { return busy_; }

  private:
    void OnIntroduction();
    void OnRelease();
    void OnConfirmation();
    // The confirmation of the file chosen: its line and the connection instructions.
    void ShowConfirmation();

    ProgramState& state_;
    WizardPage& page_;
    LineList& releaseFiles_;
    device::TessaraRun& run_;
    bool busy_ = false;
};

}  // namespace app
