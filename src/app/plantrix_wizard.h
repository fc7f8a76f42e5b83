#pragma once
// The Plantrix programming wizard on page 3: connection instructions, the search for the
// terminal, the machine type, in service mode the release, the confirmation and the run.
// The window's Next, Cancel and selection handlers forward here.
#include <string>

#include "app/program_state.h"
#include "app/wizard_page.h"
#include "device/plantrix_run.h"
#include "device/serial_link.h"

namespace app {

class PlantrixWizard {
  public:
    // `releaseFiles` is the hidden list (ListBox1) that holds the file of each release
    // shown in the selection list.
    PlantrixWizard(ProgramState& state, WizardPage& page, LineList& releaseFiles,
                   device::SerialLink& link, device::PlantrixRun& run);

    static bool OwnsStep(WizardStep step);
    // Next in one of the wizard's steps. A press while a search or run of the wizard is
    // still going (the window stays responsive meanwhile) is ignored.
    void Next();
    // The selection changed: in the release step it chooses that release's file.
    void ComboBox_P3Change();
    // Ends the wizard without firmware to offer.
    void NoFirmwareFound();
    // The user leaves the wizard (Cancel or Finish): a search still going ends at its next
    // step; the window then closes the port.
    void Leave();
    bool Busy() const { return busy_; }

  private:
    void OnIntroduction();
    void OnPortSearch();
    void OnMachineType();
    void OnRelease();
    void OnConfirmation();
    // Text 43, ": " and the machine type, then ", " and the release when `withRelease`.
    std::string SelectedFirmwareLine(bool withRelease) const;
    std::string Text(i18n::TextId id) const { return state_.Texts[id]; }

    ProgramState& state_;
    WizardPage& page_;
    LineList& releaseFiles_;
    device::SerialLink& link_;
    device::PlantrixRun& run_;
    bool busy_ = false;
};

}  // namespace app
