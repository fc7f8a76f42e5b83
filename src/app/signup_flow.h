#pragma once
// The newsletter sign-up as a flow of the wizard: page 4, the checks of what was typed
// and the upload (update::SignupSession). No control of the layout opens the page.
#include <string>

#include "app/program_state.h"
#include "app/wizard.h"
#include "update/signup_session.h"

namespace app {

// Page 4 as the sign-up sees it.
class SignupPage : public update::SignupView {
  public:
    struct Typed {
        std::string name, email, emailAgain;
    };
    // The fields emptied for a new registration, the name field with the focus, and the
    // page's button reading `cancelCaption`.
    virtual void ClearSignupPage(const std::string& cancelCaption) = 0;
    virtual Typed SignupTyped() const = 0;
};

class SignupFlow : public WizardFlow {
  public:
    // All parts outlive the flow.
    SignupFlow(Wizard& wizard, WindowPages& pages, SignupPage& page, const ProgramState& state,
               update::SignupSession& session)
        : wizard_(wizard), pages_(pages), page_(page), state_(state), session_(session) {}

    bool OwnsStep(WizardStep step) const override { return step == WizardStep::NewsletterSignUp; }
    void Open() override;
    WizardStep Introduction() const override { return WizardStep::NewsletterSignUp; }
    void Next(WizardStep) override {}
    void Cancel(WizardStep step) override;
    // The page's Register button.
    void Register();

  private:
    Wizard& wizard_;
    WindowPages& pages_;
    SignupPage& page_;
    const ProgramState& state_;
    update::SignupSession& session_;
};

}  // namespace app
