#include "app/signup_flow.h"

#include <iostream>

#include "update/server_settings.h"
#include "update/signup_validation.h"

namespace app {

void SignupFlow::Open() {
    page_.ClearSignupPage(state_.Texts[i18n::TextId::Cancel]);
    page_.ShowSignupInfo(state_.Texts[i18n::TextId::RegisterEmailInfo], update::LabelColour::Black);
    wizard_.SetStep(WizardStep::NewsletterSignUp);
    pages_.ShowPage(4);
}

void SignupFlow::Cancel(WizardStep) { wizard_.ToStartPage(); }

void SignupFlow::Register() {
    wizard_.SetStep(WizardStep::NewsletterSignUp);
    // A second press while the first registration is on its way would start it over.
    if (session_.ConnectionOpen()) return;
    const SignupPage::Typed typed = page_.SignupTyped();
    const update::SignupVerdict verdict =
        update::ValidateSignup(typed.name, typed.email, typed.emailAgain);
    page_.ShowSignupInfo(state_.Texts[verdict.text], verdict.colour);
    if (!verdict.valid) return;
    std::vector<std::string> problems;
    const update::ServerSettings server = update::ServerSettingsFromEnvironment(problems);
    for (const auto& problem : problems) std::cerr << problem << '\n';
    session_.Start(state_.DataDir, verdict.signupName, server);
}

}  // namespace app
