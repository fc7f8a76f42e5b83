// The window's side of the update check: the FTP client's two handlers as a table of
// reactions of the session that opened the connection, the connection that Next starts,
// the installation's pause, the unattended checks, and what the session sees of the
// window.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <iostream>

#include "app/main_window.h"
#include "archive/zr_dynamic_bind.h"
#include "platform/message_box.h"
#include "update/auto_update_sequencer.h"
#include "update/server_settings.h"

namespace app {

namespace {
constexpr std::int32_t kConnectTimeoutTicks = 100;    // 5.5 s
constexpr std::int32_t kTransferTimeoutTicks = 1092;  // about a minute of silence
}  // namespace

void TForm1::WireUpdateServer() {
    FTPclient.SetMessageSink(&UserMessages);
    FTPclient.SetPassiveMode(true);
    FTPclient.SetFileType(zp::ftBinary);
    FTPclient.SetConnectTimeout(kConnectTimeoutTicks);
    FTPclient.SetTransferTimeout(kTransferTimeoutTicks);
    FTPclient.SetOnFtpStatus([this](zp::TZpCustomFtpClient&, zp::TFtpStatusCode code,
                                    const std::string& info) { FTPclientFtpStatus(code, info); });
    FTPclient.SetOnFtpError([this](zp::TZpCustomFtpClient&, std::int32_t code,
                                   const std::string& text) { FTPclientFtpError(code, text); });
    Timer_Event.OnTimer = [this] { Timer_EventTimer(); };
    Timer_AutoUpdate.OnTimer = [this] { Timer_AutoUpdateTimer(); };
    connect(But_P4_Register, &QPushButton::clicked, this, [this] { But_P4_RegisterClick(); });
}

std::vector<std::string> TForm1::ApplyServerSettings() {
    std::vector<std::string> problems;
    const update::ServerSettings server = update::ServerSettingsFromEnvironment(problems);
    FTPclient.SetServerAddress(server.host);
    FTPclient.SetWsPort(server.port);
    FTPclient.SetUserName(server.user);
    FTPclient.SetPassword(server.password);
    for (const auto& problem : problems) std::cerr << problem << '\n';
    return problems;
}

void TForm1::StartUpdateCheck() {
    // A registration still on its way keeps the connection, and its events, to itself.
    if (FTPclient.IsActive()) {
        AddStatusLine("Still connected to the server; press Cancel and try again");
        return;
    }
    for (const auto& problem : ApplyServerSettings()) AddStatusLine(problem);
    connectionOwner_ = &updateSession_;
    update::UpdateCheckStart start{
        {ProgramDir, DataDir, LanguageDir}, ServiceMode, WizardState == WizardStep::Installation};
    if (!packagedEngineDir_.empty()) start.packagedFiles = {ziparchive::kEngineFileName};
    updateSession_.Start(start);
}

void TForm1::FTPclientFtpStatus(zp::TFtpStatusCode StatusCode, const std::string& InfoText) {
    update::FtpSessionEvents& session = *connectionOwner_;
    switch (StatusCode) {
        case zp::scOpen:
            break;
        case zp::scClose:
            session.Closed();
            break;
        case zp::scLogin:
            session.LoggedIn();
            break;
        case zp::scComplete:
            session.FolderChanged();
            break;
        case zp::scDataAvail:
            session.ListingReceived(InfoText);
            break;
        case zp::scProgress:
            session.BlockMoved(FTPclient.TransferredBytes());
            break;
        case zp::scTransferOK:
            session.TransferDone();
            break;
        case zp::scTimeout:
            session.TimedOut();
            break;
        case zp::scLogout:
            session.LoggedOut();
            break;
        case zp::scCurrentDir:
            platform::ShowMessage(update::FtpStatusMessage(StatusCode, InfoText));
            break;
    }
}

void TForm1::FTPclientFtpError(std::int32_t ErrorCode, const std::string& ErrorText) {
    connectionOwner_->Failed(ErrorCode, ErrorText);
}

void TForm1::Timer_EventTimer() {
    Timer_Event.SetEnabled(false);
    updateSession_.PauseEnded();
}

void TForm1::Timer_AutoUpdateTimer() {
    // Cancelling waits for the logout, and the timer ticks on meanwhile: one step at a time.
    // Nor does the sequence go on behind a box of the last check: it waits for the user.
    if (inAutoUpdateTick_ || updateSession_.AwaitingAnswer()) return;
    inAutoUpdateTick_ = true;
    const update::AutoUpdateTick tick =
        update::AutoUpdateStep(AutoUpdateStep, WizardState == WizardStep::StartPage,
                               FTPclient.IsActive(), AutoUpdateMinutes);
    AutoUpdateStep = tick.nextStep;
    if (tick.intervalMs) Timer_AutoUpdate.SetInterval(*tick.intervalMs);
    switch (tick.action) {
        case update::AutoUpdateTick::Action::StartCheck:
            // Its end leads back to where it started, not to where a manual check did.
            PrevWizardState = WizardState;
            WizardState = WizardStep::UpdateCheck;
            But_P3_NextClick();
            break;
        case update::AutoUpdateTick::Action::PressCancel:
            But_P2_CancelClick();
            break;
        case update::AutoUpdateTick::Action::None:
            break;
    }
    inAutoUpdateTick_ = false;
}

// ---------------------------------------------------------------- what the session sees

void TForm1::SetByteCounter(const std::string& caption) {
    Label_P2_Info2->setText(QString::fromStdString(caption));
    Label_P2_Info2->show();
}

void TForm1::SetDownloadPageButton(const std::string& caption) {
    But_P2_Cancel->setText(QString::fromStdString(caption));
}

void TForm1::InstallationFilesFetched() { WizardState = WizardStep::UpdateCheck; }

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

}  // namespace app
