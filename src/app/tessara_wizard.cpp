#include "app/tessara_wizard.h"

#include "app/programming_steps.h"
#include "device/firmware_lists.h"
#include "device/firmware_names.h"
#include "device/run_texts.h"

namespace app {

using i18n::TextId;

namespace {
constexpr const char* kTessaraFiles = "*.b12";
}  // namespace

TessaraWizard::TessaraWizard(ProgramState& state, WizardPage& page, LineList& releaseFiles,
                             device::TessaraRun& run)
    : state_(state), page_(page), releaseFiles_(releaseFiles), run_(run) {}

bool TessaraWizard::OwnsStep(WizardStep step) {
    return step == WizardStep::TessaraIntroduction || step == WizardStep::TessaraRelease ||
           step == WizardStep::TessaraConfirmation;
}

void TessaraWizard::Next() {
    if (busy_) return;
    switch (state_.WizardState) {
        case WizardStep::TessaraIntroduction:
            OnIntroduction();
            break;
        case WizardStep::TessaraRelease:
            OnRelease();
            break;
        case WizardStep::TessaraConfirmation:
            OnConfirmation();
            break;
        default:
            break;
    }
}

void TessaraWizard::OnIntroduction() {
    page_.ShowUpdateButton(false);
    state_.SelectedMachineType = kTessaraMachineType;
    if (state_.ServiceMode) {
        state_.WizardState = WizardStep::TessaraRelease;
        page_.SetHeadline2(SelectedFirmwareLine(state_, false));
        page_.ShowInfo(state_.Texts[TextId::SelectReleaseVersion]);
        const device::ReleaseChoice choice =
            device::FillReleases(state_.DataDir, kTessaraMachineType, kTessaraFiles, false);
        releaseFiles_ = choice.fileNames;
        if (choice.releases.empty()) {
            EndWithoutFirmware(state_, page_);
            return;
        }
        page_.ShowChoices(choice.releases, choice.selected);
        return;
    }
    page_.HideChoices();
    state_.WizardState = WizardStep::TessaraConfirmation;
    state_.SelectedFirmwareFile =
        device::FindNewestFirmware(state_.DataDir, kTessaraMachineType, kTessaraFiles, false);
    if (state_.SelectedFirmwareFile.empty()) {
        EndWithoutFirmware(state_, page_);
        return;
    }
    state_.SelectedRelease = device::ReleaseTextOf(state_.SelectedFirmwareFile);
    ShowConfirmation();
}

void TessaraWizard::OnRelease() {
    const int chosen = page_.ChosenIndex();
    // A typed text that is no entry chooses nothing: the press has nothing to go on.
    if (chosen < 0 || static_cast<size_t>(chosen) >= releaseFiles_.size()) return;
    page_.HideChoices();
    state_.WizardState = WizardStep::TessaraConfirmation;
    state_.SelectedRelease = page_.ChoiceAt(chosen);
    state_.SelectedFirmwareFile = releaseFiles_[static_cast<size_t>(chosen)];
    ShowConfirmation();
}

void TessaraWizard::ShowConfirmation() {
    const std::string gap = std::string(device::kLineBreak) + device::kLineBreak;
    page_.SetHeadline2(SelectedFirmwareLine(state_, true));
    page_.ShowInfo(state_.Texts[TextId::PressCButton] + gap +
                   state_.Texts[TextId::ConnectTessaraCable] + gap +
                   state_.Texts[TextId::TessaraPressNextToDownload]);
    page_.SetBaseline("");
}

void TessaraWizard::OnConfirmation() {
    page_.HideChoices();
    state_.WizardState = WizardStep::TessaraProgramming;
    page_.SetHeadline2(SelectedFirmwareLine(state_, true));
    page_.StartSearchAnimation();
    page_.SetBaseline("");
    page_.ShowNext(false);
    page_.SetCancel(state_.Texts[TextId::Finish], false);
    std::string result;
    {
        BusyStep busy(busy_);
        result = run_.ProgramTessara(state_.DataDir + state_.SelectedFirmwareFile);
    }
    page_.ShowInfo(result);
    page_.SetCancel(state_.Texts[TextId::Finish], true);
}

}  // namespace app
