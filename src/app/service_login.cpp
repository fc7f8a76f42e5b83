// The hidden service-mode login behind a double-click on the start page's version label.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/main_window.h"
#include "platform/message_box.h"
#include "platform/strings.h"

namespace app {

namespace {
constexpr const char* kAccessCode = "QKTD";
}

void TForm1::Label_P1_VerDblClick() {
    if (ServiceMode) return;
    Edit_P1_Password->clear();
    Label_P1_Password->show();
    Edit_P1_Password->show();
    But_P1_Login->show();
    Edit_P1_Password->setFocus();
}

void TForm1::Edit_P1_PasswordKeyPress(char key) {
    if (key == '\r') But_P1_LoginClick();
}

void TForm1::But_P1_LoginClick() {
    const std::string code = platform::TrimControls(Edit_P1_Password->text().toStdString());
    if (code == kAccessCode) {
        EnterServiceMode();
        platform::ShowMessage(Texts[i18n::TextId::LoggedIn]);
        Label_P1_Password->hide();
        Edit_P1_Password->hide();
        But_P1_Login->hide();
    } else {
        platform::ShowMessage(Texts[i18n::TextId::WrongPassword]);
        Edit_P1_Password->selectAll();
        Edit_P1_Password->setFocus();
    }
}

void TForm1::EnterServiceMode() {
    ServiceMode = true;
    Label_ServiceMode->show();
    But_P1_UpdateTessara->show();
    But_P1_Update->update();
    But_P1_UpdatePlantrix->update();
    But_P1_Exit->update();
}

}  // namespace app
