#include "app/programming_steps.h"

namespace app {

using i18n::TextId;

std::string SelectedFirmwareLine(const ProgramState& state, bool withRelease) {
    std::string line = state.Texts[TextId::SelectedFirmware] + ": " + state.SelectedMachineType;
    if (withRelease) line += ", " + state.SelectedRelease;
    return line;
}

void EndWithoutFirmware(ProgramState& state, WizardPage& page) {
    state.WizardState = WizardStep::NoFirmwareFound;
    page.ShowNext(false);
    page.HideChoices();
    page.SetBaseline("");
    page.SetHeadline2("");
    page.ShowInfo(state.Texts[TextId::NoBootFiles]);
    page.SetCancel(state.Texts[TextId::Finish], true);
}

}  // namespace app
