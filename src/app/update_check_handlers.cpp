// The window's side of the update check: the unattended checks' timer, and what the
// session and its flow see of the window.
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "app/main_window.h"

namespace app {

void TForm1::WireUpdateServer() {
    FTPclient.SetMessageSink(&UserMessages);
    Timer_AutoUpdate.OnTimer = [this] { Timer_AutoUpdateTimer(); };
    connect(But_P4_Register, &QPushButton::clicked, this, [this] { But_P4_RegisterClick(); });
}

void TForm1::Timer_AutoUpdateTimer() { updateCheck_->AutoUpdateTick(); }

// ---------------------------------------------------------------- what the session sees

void TForm1::SetByteCounter(const std::string& caption) {
    downloadPageRepaints_->Changed();
    Label_P2_Info2->setText(QString::fromStdString(caption));
    Label_P2_Info2->show();
}

void TForm1::SetDownloadPageButton(const std::string& caption) {
    But_P2_Cancel->setText(QString::fromStdString(caption));
}

void TForm1::InstallationFilesFetched() { updateCheck_->InstallationFilesFetched(); }

void TForm1::RefreshLanguage() {
    if (CurrentLanguage.empty()) CurrentLanguage = "English";
    FillLanguageList();
    const int index = ComboBox_Language->currentIndex();
    if (index >= 0) ChooseLanguage(ComboBox_Language->itemText(index).toStdString());
}

update::OfferWindowParts TForm1::InstallerOfferParts() {
    return {windowTitle().toStdString(), args_, ProgramFile, StartScript,
            [this] { RequestProgramEnd(); }};
}

void TForm1::ClearStatusLog() {
    ListBox_P2->clear();
    Label_P2_FTP_Info->clear();
    Label_P2_Info2->hide();
}

void TForm1::StartOver() { FormCreate(); }

}  // namespace app
