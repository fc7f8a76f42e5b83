// The window's side of the newsletter sign-up: the Register button, and the page as the
// sign-up session sees it.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/main_window.h"
#include "update/signup_validation.h"

namespace app {

void TForm1::But_P4_RegisterClick() {
    WizardState = WizardStep::NewsletterSignUp;
    // A second press while the first registration is on its way would start it over.
    if (FTPclient.IsActive()) return;
    const update::SignupVerdict verdict = update::ValidateSignup(
        Edit_P4_Name->text().toStdString(), Edit_P4_Email->text().toStdString(),
        Edit_P4_Email2->text().toStdString());
    ShowSignupInfo(Texts[verdict.text], verdict.colour);
    if (!verdict.valid) return;
    ApplyServerSettings();
    connectionOwner_ = &signupSession_;
    signupSession_.Start(DataDir, verdict.signupName);
}

void TForm1::ShowSignupInfo(const std::string& text, std::optional<update::LabelColour> colour) {
    Label_P4_Info->setText(QString::fromStdString(text));
    if (!colour) return;
    const update::Rgb rgb = update::RgbOf(*colour);
    QPalette palette = Label_P4_Info->palette();
    palette.setColor(QPalette::WindowText, QColor(rgb.red, rgb.green, rgb.blue));
    Label_P4_Info->setPalette(palette);
}

void TForm1::SignupEnded(const std::string& finishCaption) {
    But_P4_cancel->setText(QString::fromStdString(finishCaption));
    Edit_P4_Name->clear();
    Edit_P4_Email->clear();
    Edit_P4_Email2->clear();
    But_P4_cancel->setFocus();
}

}  // namespace app
