#pragma once
// A programming wizard on page 3: the introduction, for the Plantrix the connection
// instructions, the search for the terminal and the machine type, then in service mode
// the release list, the confirmation of the firmware chosen and the run, whose result
// ends the wizard; without a firmware to offer it ends in the step NoFirmwareFound. The
// Plantrix and the Tessara wizards are this class with their ProgrammingTarget.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/program_state.h"
#include "app/wizard.h"
#include "app/wizard_page.h"
#include "device/serial_link.h"

namespace app {

// What sets one programming wizard apart from the other.
struct ProgrammingTarget {
    i18n::TextId headline;  // the introduction's
    i18n::TextId info;
    WizardStep introduction;
    // With a value the terminal is found first, after the instructions, and the user
    // chooses the machine type among the packages that fit it.
    struct Search {
        std::vector<i18n::TextId> instructions;  // a blank line between them
        WizardStep portSearch;
        WizardStep machineType;
    };
    std::optional<Search> search = std::nullopt;
    // Without a search: the machine type every firmware file is named after.
    std::string machineType = {};
    const char* filePattern;  // "*.vbf"
    WizardStep release;
    WizardStep confirmation;
    std::vector<i18n::TextId> confirmationInfo;  // a blank line between them
    WizardStep programming;
    // Programs the file at the path and returns the text that ends the wizard.
    std::function<std::string(const std::string& path)> run;
};

class ProgrammingWizard : public WizardFlow {
  public:
    // All parts outlive the wizard.
    ProgrammingWizard(Wizard& wizard, WindowPages& pages, WizardPage& page,
                      const ProgramState& state, device::SerialLink& link,
                      ProgrammingTarget target);

    bool OwnsStep(WizardStep step) const override;
    void Open() override;
    WizardStep Introduction() const override { return target_.introduction; }
    // A press while a search or run of the wizard is still going (the window stays
    // responsive meanwhile) is ignored.
    void Next(WizardStep step) override;
    // The user leaves the wizard (Cancel or Finish): a search still going ends at its next
    // step, and the port closes.
    void Cancel(WizardStep step) override;
    // In the release step it chooses that release's file.
    void SelectionChanged(WizardStep step) override;

  private:
    using StepHandler = void (ProgrammingWizard::*)();

    void OnIntroduction();
    void OnPortSearch();
    void OnMachineType();
    void OnRelease();
    void OnConfirmation();
    // The machine type is known: the release list in service mode, else the newest file.
    void ChooseFirmware(bool s12);
    void ShowConfirmation();
    void NoFirmwareFound();
    // Text 43, ": " and the machine type, then ", " and the release when `withRelease`.
    std::string SelectedFirmwareLine(bool withRelease) const;
    std::string Paragraphs(const std::vector<i18n::TextId>& ids) const;
    std::string Text(i18n::TextId id) const { return state_.Texts[id]; }

    Wizard& wizard_;
    WindowPages& pages_;
    WizardPage& page_;
    const ProgramState& state_;
    device::SerialLink& link_;
    const ProgrammingTarget target_;
    std::vector<std::pair<WizardStep, StepHandler>> handlers_;
    bool busy_ = false;
    int hardwareCode_ = 0;

    // The user's choices.
    std::string machineType_;
    std::string release_;
    std::string firmwareFile_;
    std::vector<std::string> releaseFiles_;  // the file of each release in the list
};

// The two wizards of the program.
ProgrammingTarget PlantrixTarget(std::function<std::string(const std::string&)> run);
ProgrammingTarget TessaraTarget(std::function<std::string(const std::string&)> run);

}  // namespace app
