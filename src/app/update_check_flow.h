#pragma once
// The update check as a flow of the wizard: its introduction on page 3 and the
// Installation page, Next that connects on page 2, the cancel buttons (abort a check that
// runs, or go back to where the check was opened), and the unattended checks of /T. The
// session itself (update::UpdateSession) does the work on the server.
#include <string>
#include <vector>

#include "app/program_state.h"
#include "app/wizard.h"
#include "app/wizard_page.h"
#include "platform/window_timer.h"
#include "update/update_session.h"

namespace app {

// What the flow asks of the window beyond its pages.
class UpdateCheckWindow {
  public:
    virtual ~UpdateCheckWindow() = default;
    // Page 2's status log and byte counter, emptied for a new check.
    virtual void ClearStatusLog() = 0;
    // The start-up again: an installation that did not bring every file starts over.
    virtual void StartOver() = 0;
    virtual void RequestProgramEnd() = 0;
};

// All parts outlive the flow.
struct UpdateCheckFlowParts {
    Wizard& wizard;
    WindowPages& pages;
    WizardPage& page;
    update::UpdateCheckView& view;
    UpdateCheckWindow& window;
    ProgramState& state;
    update::UpdateSession& session;
    platform::WindowTimer& autoUpdate;  // the unattended checks' timer; the flow sets it
    // Program files that come with an installed package (update::UpdateCheckStart).
    std::vector<std::string> packagedFiles;
};

class UpdateCheckFlow : public WizardFlow {
  public:
    explicit UpdateCheckFlow(UpdateCheckFlowParts parts) : parts_(std::move(parts)) {}

    bool OwnsStep(WizardStep step) const override;
    // The introduction, remembering where it was opened from.
    void Open() override;
    WizardStep Introduction() const override { return WizardStep::UpdateCheck; }
    // The program lacks its required files: the Installation page, whose Next fetches them.
    void OpenInstallation();
    void Next(WizardStep step) override;
    void Cancel(WizardStep step) override;
    // The installation's files are here; the session goes on as an ordinary check.
    void InstallationFilesFetched();
    // One tick of the unattended checks.
    void AutoUpdateTick();

  private:
    // Page 2's cancel: abort a running check, else leave its page.
    void LeaveConnectionPage();

    UpdateCheckFlowParts parts_;
    bool inAutoUpdateTick_ = false;
};

}  // namespace app
