#include "app/programming_wizard.h"

#include <utility>

#include "device/firmware_lists.h"
#include "device/firmware_names.h"
#include "device/run_texts.h"

namespace app {

using i18n::TextId;

namespace {

constexpr int kS12HardwareCode = 3;

// Marks the wizard busy while a step that waits runs, so that a second press of Next,
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

}  // namespace

ProgrammingTarget PlantrixTarget(std::function<std::string(const std::string&)> run) {
    return {.headline = TextId::PlantrixWizard,
            .info = TextId::PlantrixWizardInfo,
            .introduction = WizardStep::PlantrixIntroduction,
            .search = ProgrammingTarget::Search{.instructions = {TextId::PressBButton,
                                                                 TextId::ConnectPlantrixCable},
                                                .portSearch = WizardStep::PlantrixPortSearch,
                                                .machineType = WizardStep::PlantrixMachineType},
            .filePattern = "*.vbf",
            .release = WizardStep::PlantrixRelease,
            .confirmation = WizardStep::PlantrixConfirmation,
            .confirmationInfo = {TextId::PressNextToStartDownload},
            .programming = WizardStep::PlantrixProgramming,
            .run = std::move(run)};
}

ProgrammingTarget TessaraTarget(std::function<std::string(const std::string&)> run) {
    return {.headline = TextId::TessaraWizard,
            .info = TextId::TessaraWizardInfo,
            .introduction = WizardStep::TessaraIntroduction,
            .machineType = "Tessara",
            .filePattern = "*.b12",
            .release = WizardStep::TessaraRelease,
            .confirmation = WizardStep::TessaraConfirmation,
            .confirmationInfo = {TextId::PressCButton, TextId::ConnectTessaraCable,
                                 TextId::TessaraPressNextToDownload},
            .programming = WizardStep::TessaraProgramming,
            .run = std::move(run)};
}

ProgrammingWizard::ProgrammingWizard(Wizard& wizard, WindowPages& pages, WizardPage& page,
                                     const ProgramState& state, device::SerialLink& link,
                                     ProgrammingTarget target)
    : wizard_(wizard),
      pages_(pages),
      page_(page),
      state_(state),
      link_(link),
      target_(std::move(target)) {
    handlers_ = {{target_.introduction, &ProgrammingWizard::OnIntroduction},
                 {target_.release, &ProgrammingWizard::OnRelease},
                 {target_.confirmation, &ProgrammingWizard::OnConfirmation}};
    if (target_.search) {
        handlers_.push_back({target_.search->portSearch, &ProgrammingWizard::OnPortSearch});
        handlers_.push_back({target_.search->machineType, &ProgrammingWizard::OnMachineType});
    }
}

bool ProgrammingWizard::OwnsStep(WizardStep step) const {
    if (step == target_.programming || step == WizardStep::NoFirmwareFound) return true;
    for (const auto& [owned, handler] : handlers_)
        if (owned == step) return true;
    return false;
}

void ProgrammingWizard::Open() {
    page_.SetHeadline(Text(target_.headline));
    page_.SetHeadline2("");
    page_.ShowInfo(Text(target_.info));
    page_.SetBaseline(Text(TextId::PressNextToContinue));
    wizard_.SetStep(target_.introduction);
    page_.ShowNext(true);
    page_.SetCancel(Text(TextId::Cancel), true);
    page_.ShowUpdateButton(true);
    page_.ShowPortLine("");
    pages_.ShowPage(3);
}

void ProgrammingWizard::Next(WizardStep step) {
    if (busy_) return;
    for (const auto& [owned, handler] : handlers_) {
        if (owned == step) {
            (this->*handler)();
            return;
        }
    }
}

void ProgrammingWizard::Cancel(WizardStep) {
    if (busy_) link_.Abandon();
    page_.HideChoices();
    link_.ClosePort();
    page_.SetupProgress(0);
    page_.ShowPortLine("");
    wizard_.ToStartPage();
}

void ProgrammingWizard::SelectionChanged(WizardStep step) {
    if (step != target_.release) return;
    const int chosen = page_.ChosenIndex();
    if (chosen < 0 || static_cast<size_t>(chosen) >= releaseFiles_.size()) return;
    firmwareFile_ = releaseFiles_[static_cast<size_t>(chosen)];
}

// ---------------------------------------------------------------- the steps

void ProgrammingWizard::OnIntroduction() {
    page_.ShowUpdateButton(false);
    if (!target_.search) {
        machineType_ = target_.machineType;
        ChooseFirmware(false);
        return;
    }
    page_.HideChoices();
    wizard_.SetStep(target_.search->portSearch);
    page_.ShowInfo(Paragraphs(target_.search->instructions));
    page_.SetBaseline("");
}

void ProgrammingWizard::OnPortSearch() {
    page_.ShowInfo(Text(TextId::SearchingForPlantrix));
    {
        BusyStep busy(busy_);
        hardwareCode_ = link_.FindTerminal();
    }
    // The user left the wizard while it searched: the page belongs to someone else now.
    if (link_.Abandoned()) return;
    page_.ShowPortLine(device::FoundPortLine(link_.LastSearch()));
    if (hardwareCode_ == 0) {
        page_.ShowInfo(device::TerminalNotFoundText(state_.Texts, TextId::MakeSureInProgramMode,
                                                    link_.LastSearch()));
        page_.ShowNext(false);
        page_.SetCancel(Text(TextId::Finish), true);
        return;
    }
    wizard_.SetStep(target_.search->machineType);
    page_.ShowInfo(Text(TextId::SelectMachineType));
    page_.ShowUpdateButton(false);
    const device::MachineTypeChoice choice = device::FillMachineTypes(
        state_.DataDir, state_.ServiceMode, hardwareCode_ == kS12HardwareCode);
    if (choice.machineTypes.empty()) {
        NoFirmwareFound();
        return;
    }
    page_.ShowChoices(choice.machineTypes, choice.selected);
}

void ProgrammingWizard::OnMachineType() {
    const int chosen = page_.ChosenIndex();
    // Nothing chosen (no entry at all): the press has nothing to go on.
    if (chosen < 0) return;
    machineType_ = page_.ChoiceAt(chosen);
    ChooseFirmware(hardwareCode_ == kS12HardwareCode);
}

void ProgrammingWizard::ChooseFirmware(bool s12) {
    if (state_.ServiceMode) {
        wizard_.SetStep(target_.release);
        page_.SetHeadline2(SelectedFirmwareLine(false));
        page_.ShowInfo(Text(TextId::SelectReleaseVersion));
        const device::ReleaseChoice choice =
            device::FillReleases(state_.DataDir, machineType_, target_.filePattern, s12);
        releaseFiles_ = choice.fileNames;
        if (choice.releases.empty()) {
            NoFirmwareFound();
            return;
        }
        page_.ShowChoices(choice.releases, choice.selected);
        return;
    }
    page_.HideChoices();
    wizard_.SetStep(target_.confirmation);
    firmwareFile_ =
        device::FindNewestFirmware(state_.DataDir, machineType_, target_.filePattern, s12);
    if (firmwareFile_.empty()) {
        NoFirmwareFound();
        return;
    }
    release_ = device::ReleaseTextOf(firmwareFile_);
    ShowConfirmation();
}

void ProgrammingWizard::OnRelease() {
    const int chosen = page_.ChosenIndex();
    // A typed text that is no entry chooses nothing: the press has nothing to go on.
    if (chosen < 0 || static_cast<size_t>(chosen) >= releaseFiles_.size()) return;
    page_.HideChoices();
    wizard_.SetStep(target_.confirmation);
    release_ = page_.ChoiceAt(chosen);
    firmwareFile_ = releaseFiles_[static_cast<size_t>(chosen)];
    ShowConfirmation();
}

void ProgrammingWizard::ShowConfirmation() {
    page_.SetHeadline2(SelectedFirmwareLine(true));
    page_.ShowInfo(Paragraphs(target_.confirmationInfo));
    page_.SetBaseline("");
}

void ProgrammingWizard::OnConfirmation() {
    page_.HideChoices();
    wizard_.SetStep(target_.programming);
    page_.SetHeadline2(SelectedFirmwareLine(true));
    page_.StartSearchAnimation();
    page_.SetBaseline("");
    page_.ShowNext(false);
    page_.SetCancel(Text(TextId::Finish), false);
    std::string result;
    {
        BusyStep busy(busy_);
        result = target_.run(state_.DataDir + firmwareFile_);
    }
    page_.ShowInfo(result);
    page_.SetCancel(Text(TextId::Finish), true);
}

void ProgrammingWizard::NoFirmwareFound() {
    wizard_.SetStep(WizardStep::NoFirmwareFound);
    page_.ShowNext(false);
    page_.HideChoices();
    page_.SetBaseline("");
    page_.SetHeadline2("");
    page_.ShowInfo(Text(TextId::NoBootFiles));
    page_.SetCancel(Text(TextId::Finish), true);
}

std::string ProgrammingWizard::SelectedFirmwareLine(bool withRelease) const {
    std::string line = Text(TextId::SelectedFirmware) + ": " + machineType_;
    if (withRelease) line += ", " + release_;
    return line;
}

std::string ProgrammingWizard::Paragraphs(const std::vector<TextId>& ids) const {
    const std::string gap = std::string(device::kLineBreak) + device::kLineBreak;
    std::string text;
    for (size_t i = 0; i < ids.size(); ++i) text += (i > 0 ? gap : "") + Text(ids[i]);
    return text;
}

}  // namespace app
