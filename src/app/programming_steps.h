#pragma once
// What the Plantrix and Tessara wizards' steps on page 3 have in common: the busy mark
// that keeps a second Next out of a step that waits, the selected-firmware line, and the
// ending without firmware to offer.
#include <string>

#include "app/program_state.h"
#include "app/wizard_page.h"

namespace app {

// Marks a wizard busy while a step that waits runs, so that a second press of Next,
// processed inside that wait, does not start the step again.
class BusyStep {
  public:
    explicit BusyStep(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyStep() { busy_ = false; }
    BusyStep(const BusyStep&) = delete;
    BusyStep& operator=(const BusyStep&) = delete;

  private:
    bool& busy_;
};

// Text 43, ": " and the machine type, then ", " and the release when `withRelease`.
std::string SelectedFirmwareLine(const ProgramState& state, bool withRelease);

// Ends a programming wizard in the step without firmware: text 28, only Finish left.
void EndWithoutFirmware(ProgramState& state, WizardPage& page);

}  // namespace app
