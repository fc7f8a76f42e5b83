// Moving between the pages: the introductions of the wizards, the Next dispatch, and the
// cancel buttons that lead back to where the user came from.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "app/main_window.h"
#include "app/plantrix_wizard.h"
#include "app/tessara_wizard.h"

namespace app {

using i18n::TextId;

namespace {
QString Text(const i18n::TextTable& texts, TextId id) { return QString::fromStdString(texts[id]); }
}  // namespace

void TForm1::But_P3_UpdateClick() {
    Label_P3_Headline->setText(Text(Texts, TextId::UpdateWizard));
    Label_P3_Headline2->clear();
    Label_P3_Info->setText(Text(Texts, TextId::UpdateWizardInfo) + "\n" +
                           Text(Texts, TextId::UpdateWizardInfoGap) + "\n" +
                           Text(Texts, TextId::UpdateWizardFirewall));
    But_P2_Cancel->setText(Text(Texts, TextId::Cancel));
    Label_P3_Baseline->setText(Text(Texts, TextId::PressNextToContinue));
    But_P3_Next->show();
    But_P3_Cancel->setText(Text(Texts, TextId::Cancel));
    PrevWizardState = WizardState;
    WizardState = WizardStep::UpdateCheck;
    But_P3_Update->hide();
    But_P3_Cancel->show();
    Label_P2_FTP_Info->clear();
    ShowPage(3);
}

void TForm1::OpenProgrammingIntroduction(TextId headline, TextId info, WizardStep step) {
    Label_P3_Headline->setText(Text(Texts, headline));
    Label_P3_Headline2->clear();
    Label_P3_Info->setText(Text(Texts, info));
    But_P2_Cancel->setText(Text(Texts, TextId::Cancel));
    Label_P3_Baseline->setText(Text(Texts, TextId::PressNextToContinue));
    WizardState = step;
    But_P3_Next->show();
    But_P3_Cancel->setText(Text(Texts, TextId::Cancel));
    But_P3_Update->show();
    But_P3_Cancel->show();
    ShowPortLine("");
    ShowPage(3);
}

void TForm1::But_P1_UpdatePlantrixClick() {
    OpenProgrammingIntroduction(TextId::PlantrixWizard, TextId::PlantrixWizardInfo,
                                WizardStep::PlantrixIntroduction);
}

void TForm1::But_P1_UpdateTessaraClick() {
    OpenProgrammingIntroduction(TextId::TessaraWizard, TextId::TessaraWizardInfo,
                                WizardStep::TessaraIntroduction);
}

void TForm1::But_P1_RegisterClick() {
    Edit_P4_Name->clear();
    Edit_P4_Email->clear();
    Edit_P4_Email2->clear();
    Edit_P4_Name->setFocus();
    But_P4_cancel->setText(Text(Texts, TextId::Cancel));
    ShowSignupInfo(Texts[TextId::RegisterEmailInfo], update::LabelColour::Black);
    WizardState = WizardStep::NewsletterSignUp;
    ShowPage(4);
}

void TForm1::But_P3_NextClick() {
    if (PlantrixWizard::OwnsStep(WizardState)) {
        plantrixWizard_->Next();
        return;
    }
    if (TessaraWizard::OwnsStep(WizardState)) {
        tessaraWizard_->Next();
        return;
    }
    switch (WizardState) {
        case WizardStep::UpdateCheck:
        case WizardStep::Installation:
            ListBox_P2->clear();
            Label_P2_Info2->hide();
            ShowPage(2);
            AddStatusLine(Texts[TextId::ConnectingToServer]);
            StartUpdateCheck();
            break;
        default:
            break;
    }
}

void TForm1::But_P2_CancelClick() {
    if (FTPclient.IsActive()) {
        updateSession_.Cancel();
        return;
    }
    if (PrevWizardState == WizardStep::PlantrixIntroduction) {
        But_P1_UpdatePlantrixClick();
    } else if (PrevWizardState == WizardStep::TessaraIntroduction) {
        But_P1_UpdateTessaraClick();
    } else if (WizardState == WizardStep::Installation) {
        FormCreate();
    } else {
        ShowPage(1);
    }
}

void TForm1::But_P3_CancelClick() {
    if (WizardState == WizardStep::Installation) RequestProgramEnd();
    ComboBox_P3->hide();
    plantrixWizard_->Leave();
    link_->ClosePort();
    SetupProgress(0);
    ShowPortLine("");
    ShowPage(1);
}

void TForm1::But_P4_cancelClick() { ShowPage(1); }

void TForm1::But_P1_TestClick() { ListBox_P1_test.clear(); }

}  // namespace app
