// The window's side of the newsletter sign-up: the Register button, and page 4 as the
// sign-up sees it.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/main_window.h"

namespace app {

void TForm1::But_P4_RegisterClick() { signup_->Register(); }

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

void TForm1::ClearSignupPage(const std::string& cancelCaption) {
    Edit_P4_Name->clear();
    Edit_P4_Email->clear();
    Edit_P4_Email2->clear();
    Edit_P4_Name->setFocus();
    But_P4_cancel->setText(QString::fromStdString(cancelCaption));
}

SignupPage::Typed TForm1::SignupTyped() const {
    return {Edit_P4_Name->text().toStdString(), Edit_P4_Email->text().toStdString(),
            Edit_P4_Email2->text().toStdString()};
}

}  // namespace app
