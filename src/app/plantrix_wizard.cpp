#include "app/plantrix_wizard.h"

#include "app/programming_steps.h"
#include "device/firmware_lists.h"
#include "device/firmware_names.h"
#include "device/run_texts.h"

namespace app {

using i18n::TextId;

namespace {

constexpr int kS12HardwareCode = 3;

}  // namespace

PlantrixWizard::PlantrixWizard(ProgramState& state, WizardPage& page, LineList& releaseFiles,
                               device::SerialLink& link, device::PlantrixRun& run)
    : state_(state), page_(page), releaseFiles_(releaseFiles), link_(link), run_(run) {}

bool PlantrixWizard::OwnsStep(WizardStep step) {
    switch (step) {
        case WizardStep::PlantrixIntroduction:
        case WizardStep::PlantrixPortSearch:
        case WizardStep::PlantrixMachineType:
        case WizardStep::PlantrixRelease:
        case WizardStep::PlantrixConfirmation:
            return true;
        default:
            return false;
    }
}

void PlantrixWizard::Next() {
    if (busy_) return;
    switch (state_.WizardState) {
        case WizardStep::PlantrixIntroduction:
            OnIntroduction();
            break;
        case WizardStep::PlantrixPortSearch:
            OnPortSearch();
            break;
        case WizardStep::PlantrixMachineType:
            OnMachineType();
            break;
        case WizardStep::PlantrixRelease:
            OnRelease();
            break;
        case WizardStep::PlantrixConfirmation:
            OnConfirmation();
            break;
        default:
            break;
    }
}

void PlantrixWizard::OnIntroduction() {
    page_.HideChoices();
    state_.WizardState = WizardStep::PlantrixPortSearch;
    page_.ShowInfo(Text(TextId::PressBButton) + device::kLineBreak + device::kLineBreak +
                   Text(TextId::ConnectPlantrixCable));
    page_.SetBaseline("");
    page_.ShowUpdateButton(false);
}

void PlantrixWizard::OnPortSearch() {
    page_.ShowInfo(Text(TextId::SearchingForPlantrix));
    {
        BusyStep busy(busy_);
        link_.FindTerminal();
    }
    // The user left the wizard while it searched: the page belongs to someone else now.
    if (link_.Abandoned()) return;
    const bool s12 = link_.HardwareCode() == kS12HardwareCode;
    page_.ShowPortLine(device::FoundPortLine(link_.LastSearch()));
    if (link_.HardwareCode() == 0) {
        page_.ShowInfo(device::TerminalNotFoundText(state_.Texts, TextId::MakeSureInProgramMode,
                                                    link_.LastSearch()));
        page_.ShowNext(false);
        page_.SetCancel(Text(TextId::Finish), true);
        return;
    }
    state_.WizardState = WizardStep::PlantrixMachineType;
    page_.ShowInfo(Text(TextId::SelectMachineType));
    page_.ShowUpdateButton(false);
    const device::MachineTypeChoice choice =
        device::FillMachineTypes(state_.DataDir, state_.ServiceMode, s12);
    if (choice.machineTypes.empty()) {
        NoFirmwareFound();
        return;
    }
    page_.ShowChoices(choice.machineTypes, choice.selected);
}

void PlantrixWizard::OnMachineType() {
    const int chosen = page_.ChosenIndex();
    // Nothing chosen (no entry at all): the press has nothing to go on.
    if (chosen < 0) return;
    state_.SelectedMachineType = page_.ChoiceAt(chosen);
    const bool s12 = link_.HardwareCode() == kS12HardwareCode;
    if (state_.ServiceMode) {
        state_.WizardState = WizardStep::PlantrixRelease;
        page_.SetHeadline2(SelectedFirmwareLine(false));
        page_.ShowInfo(Text(TextId::SelectReleaseVersion));
        const device::ReleaseChoice choice =
            device::FillReleases(state_.DataDir, state_.SelectedMachineType, "*.vbf", s12);
        releaseFiles_ = choice.fileNames;
        if (choice.releases.empty()) {
            NoFirmwareFound();
            return;
        }
        page_.ShowChoices(choice.releases, choice.selected);
        return;
    }
    page_.HideChoices();
    state_.WizardState = WizardStep::PlantrixConfirmation;
    state_.SelectedFirmwareFile =
        device::FindNewestFirmware(state_.DataDir, state_.SelectedMachineType, "*.vbf", s12);
    if (state_.SelectedFirmwareFile.empty()) {
        NoFirmwareFound();
        return;
    }
    state_.SelectedRelease = device::ReleaseTextOf(state_.SelectedFirmwareFile);
    page_.SetHeadline2(SelectedFirmwareLine(true));
    page_.ShowInfo(Text(TextId::PressNextToStartDownload));
    page_.SetBaseline("");
}

void PlantrixWizard::OnRelease() {
    const int chosen = page_.ChosenIndex();
    if (chosen < 0 || static_cast<size_t>(chosen) >= releaseFiles_.size()) return;
    page_.HideChoices();
    state_.WizardState = WizardStep::PlantrixConfirmation;
    state_.SelectedRelease = page_.ChoiceAt(chosen);
    state_.SelectedFirmwareFile = releaseFiles_[static_cast<size_t>(chosen)];
    page_.SetHeadline2(SelectedFirmwareLine(true));
    page_.ShowInfo(Text(TextId::PressNextToStartDownload));
    page_.SetBaseline("");
}

void PlantrixWizard::OnConfirmation() {
    page_.HideChoices();
    state_.WizardState = WizardStep::PlantrixProgramming;
    page_.SetHeadline2(SelectedFirmwareLine(true));
    page_.StartSearchAnimation();
    page_.SetBaseline("");
    page_.ShowNext(false);
    page_.SetCancel(Text(TextId::Finish), false);
    std::string result;
    {
        BusyStep busy(busy_);
        result = run_.ProgramPlantrix(state_.DataDir + state_.SelectedFirmwareFile);
    }
    page_.ShowInfo(result);
    page_.SetCancel(Text(TextId::Finish), true);
}

void PlantrixWizard::NoFirmwareFound() { EndWithoutFirmware(state_, page_); }

void PlantrixWizard::ComboBox_P3Change() {
    if (state_.WizardState != WizardStep::PlantrixRelease) return;
    const int chosen = page_.ChosenIndex();
    if (chosen < 0 || static_cast<size_t>(chosen) >= releaseFiles_.size()) return;
    state_.SelectedFirmwareFile = releaseFiles_[static_cast<size_t>(chosen)];
}

void PlantrixWizard::Leave() {
    if (busy_) link_.Abandon();
}

std::string PlantrixWizard::SelectedFirmwareLine(bool withRelease) const {
    return app::SelectedFirmwareLine(state_, withRelease);
}

}  // namespace app
