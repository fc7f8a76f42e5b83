// The installation check: without its engine library and bootloader files the program
// cannot program anything, so it first offers to fetch them.
#include <QLabel>
#include <QPushButton>

#include "app/main_window.h"
#include "platform/files.h"

namespace app {

namespace {
const char* const kRequiredFiles[] = {"ZipEngine.so", "BLaz60A.prg", "BLdg128A.prg",
                                      "BLS12G128.prg"};
}

void TForm1::CheckInstallation() {
    bool complete = true;
    for (const char* file : kRequiredFiles)
        complete = complete && platform::FileExists(ProgramDir + file);
    if (complete) return;

    Label_P3_Headline->setText(QStringLiteral("Installation"));
    Label_P3_Headline2->clear();
    Label_P3_Info->setText(
        QStringLiteral("Before the program can be used it needs to download some files"));
    But_P3_Cancel->setText(QStringLiteral("Exit"));
    Label_P3_Baseline->setText(QString::fromStdString(Texts[i18n::TextId::PressNextToContinue]));
    But_P3_Next->show();
    But_P3_Update->hide();
    WizardState = WizardStep::Installation;
    ShowPage(3);
}

}  // namespace app
