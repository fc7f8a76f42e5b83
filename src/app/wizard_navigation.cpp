// Moving between the pages: the introductions of the wizards, the Next dispatch, and the
// cancel buttons that lead back to where the user came from.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "app/main_window.h"

namespace app {

namespace {
QString Text(const i18n::TextTable& texts, int n) { return QString::fromStdString(texts[n]); }
}  // namespace

void TForm1::But_P3_UpdateClick() {
    Label_P3_Headline->setText(Text(Texts, 15));
    Label_P3_Headline2->clear();
    Label_P3_Info->setText(Text(Texts, 16) + "\n" + Text(Texts, 17) + "\n" + Text(Texts, 18));
    But_P2_Cancel->setText(Text(Texts, 2));
    Label_P3_Baseline->setText(Text(Texts, 6));
    But_P3_Next->show();
    But_P3_Cancel->setText(Text(Texts, 2));
    PrevWizardState = WizardState;
    WizardState = 1;
    But_P3_Update->hide();
    But_P3_Cancel->show();
    Label_P2_FTP_Info->clear();
    ShowPage(3);
}

void TForm1::OpenProgrammingIntroduction(int headlineText, int infoText, int step) {
    Label_P3_Headline->setText(Text(Texts, headlineText));
    Label_P3_Headline2->clear();
    Label_P3_Info->setText(Text(Texts, infoText));
    But_P2_Cancel->setText(Text(Texts, 2));
    Label_P3_Baseline->setText(Text(Texts, 6));
    WizardState = step;
    But_P3_Next->show();
    But_P3_Cancel->setText(Text(Texts, 2));
    But_P3_Update->show();
    But_P3_Cancel->show();
    ShowPage(3);
}

void TForm1::But_P1_UpdatePlantrixClick() { OpenProgrammingIntroduction(21, 22, 2); }

void TForm1::But_P1_UpdateTessaraClick() { OpenProgrammingIntroduction(60, 62, 11); }

void TForm1::But_P1_RegisterClick() {
    Edit_P4_Name->clear();
    Edit_P4_Email->clear();
    Edit_P4_Email2->clear();
    Edit_P4_Name->setFocus();
    Label_P4_Info->setStyleSheet(QStringLiteral("color: black"));
    But_P4_cancel->setText(Text(Texts, 2));
    Label_P4_Info->setText(Text(Texts, 46));
    WizardState = 4;
    ShowPage(4);
}

void TForm1::But_P3_NextClick() {
    switch (WizardState) {
        case 1:
        case 10:
            ListBox_P2->clear();
            ShowPage(2);
            AddStatusLine(Texts[37]);
            break;
        default:
            break;
    }
}

void TForm1::But_P2_CancelClick() {
    if (PrevWizardState == 2) {
        But_P1_UpdatePlantrixClick();
    } else if (PrevWizardState == 11) {
        But_P1_UpdateTessaraClick();
    } else if (WizardState == 10) {
        FormCreate();
    } else {
        ShowPage(1);
    }
}

void TForm1::But_P3_CancelClick() {
    if (WizardState == 10) RequestProgramEnd();
    ComboBox_P3->hide();
    try {
        ComPort.SetOpen(false);
    } catch (const std::exception&) {
        // A port that fails to close has nothing left to tell the user on the way out.
    }
    ProgressBar1->hide();
    ShowPage(1);
}

void TForm1::But_P4_cancelClick() { ShowPage(1); }

void TForm1::But_P1_TestClick() { ListBox_P1_test.clear(); }

}  // namespace app
