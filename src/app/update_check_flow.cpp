#include "app/update_check_flow.h"

#include <iostream>

#include "update/auto_update_sequencer.h"
#include "update/server_settings.h"

namespace app {

using i18n::TextId;

bool UpdateCheckFlow::OwnsStep(WizardStep step) const {
    return step == WizardStep::UpdateCheck || step == WizardStep::Installation;
}

void UpdateCheckFlow::Open() {
    const i18n::TextTable& texts = parts_.state.Texts;
    parts_.page.SetHeadline(texts[TextId::UpdateWizard]);
    parts_.page.SetHeadline2("");
    parts_.page.ShowInfo(texts[TextId::UpdateWizardInfo] + "\n" +
                         texts[TextId::UpdateWizardInfoGap] + "\n" +
                         texts[TextId::UpdateWizardFirewall]);
    parts_.view.SetDownloadPageButton(texts[TextId::Cancel]);
    parts_.page.SetBaseline(texts[TextId::PressNextToContinue]);
    parts_.page.ShowNext(true);
    parts_.page.SetCancel(texts[TextId::Cancel], true);
    parts_.wizard.Detour(WizardStep::UpdateCheck);
    parts_.page.ShowUpdateButton(false);
    parts_.pages.ShowPage(3);
}

void UpdateCheckFlow::OpenInstallation() {
    parts_.page.SetHeadline("Installation");
    parts_.page.SetHeadline2("");
    parts_.page.ShowInfo("Before the program can be used it needs to download some files");
    parts_.page.SetCancel("Exit", true);
    parts_.page.SetBaseline(parts_.state.Texts[TextId::PressNextToContinue]);
    parts_.page.ShowNext(true);
    parts_.page.ShowUpdateButton(false);
    parts_.wizard.SetStep(WizardStep::Installation);
    parts_.pages.ShowPage(3);
}

void UpdateCheckFlow::Next(WizardStep step) {
    parts_.window.ClearStatusLog();
    parts_.pages.ShowPage(2);
    parts_.view.AddStatusLine(parts_.state.Texts[TextId::ConnectingToServer]);
    std::vector<std::string> problems;
    update::UpdateCheckStart start{
        {parts_.state.ProgramDir, parts_.state.DataDir, parts_.state.LanguageDir},
        parts_.state.ServiceMode,
        step == WizardStep::Installation,
        parts_.packagedFiles,
        update::ServerSettingsFromEnvironment(problems)};
    for (const auto& problem : problems) {
        std::cerr << problem << '\n';
        parts_.view.AddStatusLine(problem);
    }
    parts_.session.Start(start);
}

void UpdateCheckFlow::Cancel(WizardStep step) {
    if (parts_.pages.VisiblePage() == 2) {
        LeaveConnectionPage();
        return;
    }
    if (step == WizardStep::Installation) parts_.window.RequestProgramEnd();
    parts_.wizard.ToStartPage();
}

void UpdateCheckFlow::LeaveConnectionPage() {
    if (parts_.session.ConnectionOpen()) {
        parts_.session.Cancel();
        return;
    }
    if (parts_.wizard.Step() == WizardStep::Installation) {
        parts_.window.StartOver();
        return;
    }
    parts_.wizard.Return();
}

void UpdateCheckFlow::InstallationFilesFetched() { parts_.wizard.SetStep(WizardStep::UpdateCheck); }

void UpdateCheckFlow::AutoUpdateTick() {
    // Cancelling waits for the logout, and the timer ticks on meanwhile: one step at a time.
    // Nor does the sequence go on behind a box of the last check: it waits for the user.
    if (inAutoUpdateTick_ || parts_.session.AwaitingAnswer()) return;
    inAutoUpdateTick_ = true;
    ProgramState& state = parts_.state;
    const update::AutoUpdateTick tick =
        update::AutoUpdateStep(state.AutoUpdateStep, parts_.wizard.Step() == WizardStep::StartPage,
                               parts_.session.ConnectionOpen(), state.AutoUpdateMinutes);
    state.AutoUpdateStep = tick.nextStep;
    if (tick.intervalMs) parts_.autoUpdate.SetInterval(*tick.intervalMs);
    switch (tick.action) {
        case update::AutoUpdateTick::Action::StartCheck:
            // Its end leads back to where it started, not to where a manual check did.
            parts_.wizard.Detour(WizardStep::UpdateCheck);
            parts_.wizard.Next();
            break;
        case update::AutoUpdateTick::Action::PressCancel:
            // A user who has left the check's page meanwhile is not taken anywhere.
            if (OwnsStep(parts_.wizard.Step())) LeaveConnectionPage();
            break;
        case update::AutoUpdateTick::Action::None:
            break;
    }
    inAutoUpdateTick_ = false;
}

}  // namespace app
