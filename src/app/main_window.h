#pragma once
// The program's one window: the side picture, the four pages with their controls, the
// timers, the program-wide state and the components. It builds the layout, wires the
// controls to its handlers and implements the views through which the flows see it. The
// step and what Next and Cancel do belong to the Wizard and its flows (the update check,
// the programming wizards, the sign-up); the work that outlasts a click, to the sessions
// and runs in src/update and src/device. The handlers here forward.
#include <QWidget>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/program_state.h"
#include "app/repaint_throttle.h"
#include "app/run_progress.h"
#include "app/signup_flow.h"
#include "app/update_check_flow.h"
#include "app/wizard.h"
#include "app/wizard_page.h"
#include "archive/zip_reader.h"
#include "comm/ftp/zp_ftp_client.h"
#include "comm/serial/zp_com_port.h"
#include "device/granulo_run.h"
#include "device/plantrix_run.h"
#include "device/serial_link.h"
#include "device/tessara_run.h"
#include "i18n/language_folder.h"
#include "platform/dialog_message_sink.h"
#include "platform/window_timer.h"
#include "update/signup_session.h"
#include "update/update_session.h"

class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace app {

class ClickableLabel;
class ProgrammingWizard;

class TForm1 : public QWidget,
               public ProgramState,
               private WindowPages,
               private WizardPage,
               private update::UpdateCheckView,
               private UpdateCheckWindow,
               private SignupPage {
  public:
    // `args` are the command-line arguments without the program name.
    explicit TForm1(std::vector<std::string> args, QWidget* parent = nullptr);
    ~TForm1() override;

    // Start-up, run at creation and again from page 2's cancel in the installation step.
    void FormCreate();

    // Brings page 1 to 4 to the front; the step is the Wizard's.
    void ShowPage(int page) override;
    void AddStatusLine(const std::string& text) override;
    // The page now in front, 1 to 4.
    int VisiblePage() const override;
    // The wizard's step.
    WizardStep Step() const { return wizard_.Step(); }
    // How the update check retries a download cut on the way; tests shorten the pauses.
    void SetDownloadRetryPauses(update::RetryPauses pauses) {
        updateSession_.SetRetryPauses(std::move(pauses));
    }

    // Texts and languages.
    void ApplyTexts();
    void LoadTextFile();
    void FillLanguageList();
    i18n::LanguageChoice ChooseLanguage(const std::string& name);
    void ComboBox_LanguageChange();

    void CheckInstallation();

    // Service-mode login.
    void Label_P1_VerDblClick();
    void Edit_P1_PasswordKeyPress(char key);
    void But_P1_LoginClick();
    void EnterServiceMode();

    // Page flow.
    void But_P3_UpdateClick();
    void But_P1_UpdatePlantrixClick();
    void But_P1_UpdateTessaraClick();
    // The Granulo run from its fixed package, its result in a message box. No control of
    // the layout is bound to it.
    void But_P1_UpdatePlantrixGranuloClick();
    void But_P1_RegisterClick();
    void But_P3_NextClick();
    void But_P2_CancelClick();
    void But_P3_CancelClick();
    void But_P4_cancelClick();
    void But_P1_TestClick();
    void But_P1_ExitClick();
    void ComboBox_P3Change();

    // The programming progress bar: 0 hides it, else it runs from 0 to `steps`.
    void SetupProgress(int steps) override;
    void StepProgress() override;

    // Timer ticks.
    void TimerAnimateTimer();

    // The update server (update_check_handlers.cpp, signup_handlers.cpp). The client's
    // events go to the session that opened the connection, which takes them itself.
    void But_P4_RegisterClick();
    void Timer_AutoUpdateTimer();
    // How the generated scripts are started; empty: /bin/sh in ProgramDir. Tests record.
    update::ScriptStarter StartScript;
    // The file a self-update replaces and restarts: the running executable. Tests set it.
    update::ProgramFile ProgramFile = update::RunningProgramFile();

    // True once the program has been asked to end (Exit, or Cancel on the Installation page).
    bool ProgramEndRequested = false;

    // Line buffers that are never shown.
    LineList ListBox1;
    LineList ListBox_s19;
    LineList ListBox_bootloader;
    LineList ListBox_P1_test;

    // Where the components tell the user something; declared first so that it outlives them.
    platform::DialogMessageSink UserMessages;
    // Components the window owns; their jobs wire their events to the window's handlers.
    zp::TZpComPort ComPort;
    ziparchive::TZipReader ZipReader;
    zp::TZpFtpClient FTPclient;

    platform::WindowTimer TimerAnimate;
    platform::WindowTimer Timer_Event;
    platform::WindowTimer Timer_AutoUpdate;

    // The serial link of the programming runs, on ComPort.
    device::SerialLink& Link() { return *link_; }

  protected:
    // The window's close (title bar, Alt+F4, Exit): while a run writes to the terminal the
    // user is asked first. A close that goes ahead stops whatever runs and ends every wait.
    void closeEvent(QCloseEvent* event) override;

  private:
    // The controls, each with an objectName equal to its member's name. Tests and tools reach
    // them by that name (findChild), so the window alone decides what they show.

    // Left strip.
    QLabel* Image1 = nullptr;
    QLabel* Label_ServiceMode = nullptr;

    // Pages.
    QWidget* Panel1 = nullptr;
    QWidget* Panel2 = nullptr;
    // Page 2 redrawn at most 20 times a second while a check fills its log.
    std::unique_ptr<RepaintThrottle> downloadPageRepaints_;
    QWidget* Panel3 = nullptr;
    QWidget* Panel4 = nullptr;

    // Page 1.
    QPushButton* But_P1_Update = nullptr;
    QPushButton* But_P1_UpdatePlantrix = nullptr;
    QPushButton* But_P1_UpdateTessara = nullptr;
    QLabel* Label_P1_Language = nullptr;
    QComboBox* ComboBox_Language = nullptr;
    QLabel* Label_P1_Password = nullptr;
    QLineEdit* Edit_P1_Password = nullptr;
    QPushButton* But_P1_Login = nullptr;
    QPushButton* But_P1_Exit = nullptr;
    ClickableLabel* Label_P1_Ver = nullptr;
    QPushButton* But_P1_Test = nullptr;

    // Page 2.
    QLabel* Label_P2_Headline = nullptr;
    QListWidget* ListBox_P2 = nullptr;
    QPushButton* But_P2_Cancel = nullptr;
    QLabel* Label_P2_Info2 = nullptr;
    QLabel* Label_P2_FTP_Info = nullptr;
    QLabel* Label_P2_Ver = nullptr;

    // Page 3.
    QLabel* Label_P3_Headline = nullptr;
    QLabel* Label_P3_Headline2 = nullptr;
    QLabel* Label_P3_Info = nullptr;
    QComboBox* ComboBox_P3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* Label_P3_Progress = nullptr;  // the share done and the time left, under the bar
    QLabel* Label_P3_Port = nullptr;      // where the terminal was found
    QLabel* Label_P3_Baseline = nullptr;
    QPushButton* But_P3_Update = nullptr;
    QPushButton* But_P3_Next = nullptr;
    QPushButton* But_P3_Cancel = nullptr;
    QLabel* Label_P3_Ver = nullptr;

    // Page 4.
    QLabel* Label_P4_Headline = nullptr;
    QLabel* Label_P4_Info = nullptr;
    QLabel* Label_P4_Name = nullptr;
    QLineEdit* Edit_P4_Name = nullptr;
    QLabel* Label_P4_Email = nullptr;
    QLineEdit* Edit_P4_Email = nullptr;
    QLabel* Label_P4_Email2 = nullptr;
    QLineEdit* Edit_P4_Email2 = nullptr;
    QPushButton* But_P4_Register = nullptr;
    QPushButton* But_P4_cancel = nullptr;
    QLabel* Label_P4_Ver = nullptr;

    void BuildLayout();
    void BuildStartPage();
    void BuildDownloadPage();
    void BuildWizardPage();
    void BuildNewsletterPage();
    void WireHandlers();
    void RequestProgramEnd() override;
    void CreateProgrammingJobs();
    void CreateFlows();

    // Page 3 as the wizards see it (wizard_page_controls.cpp).
    void SetHeadline(const std::string& text) override;
    void StopSearchAnimation() override;
    void ShowInfo(const std::string& text) override;
    void ShowPortLine(const std::string& text) override;
    void SetHeadline2(const std::string& text) override;
    void SetBaseline(const std::string& text) override;
    void ShowChoices(const std::vector<std::string>& entries, int selected) override;
    void HideChoices() override;
    int ChosenIndex() const override;
    std::string ChoiceAt(int index) const override;
    void ShowNext(bool shown) override;
    void ShowUpdateButton(bool shown) override;
    void SetCancel(const std::string& caption, bool enabled) override;
    void StartSearchAnimation() override;

    // The update server's sessions and what they see of the window.
    void WireUpdateServer();
    void SetByteCounter(const std::string& caption) override;
    void SetDownloadPageButton(const std::string& caption) override;
    void InstallationFilesFetched() override;
    void RefreshLanguage() override;
    update::OfferWindowParts InstallerOfferParts() override;
    void ClearStatusLog() override;
    void StartOver() override;
    void ShowSignupInfo(const std::string& text,
                        std::optional<update::LabelColour> colour) override;
    void SignupEnded(const std::string& finishCaption) override;
    void ClearSignupPage(const std::string& cancelCaption) override;
    Typed SignupTyped() const override;

    // The folder of the engine an installed copy brings; empty for a copy that fetches it.
    const std::string packagedEngineDir_;
    Wizard wizard_{*this};
    update::UpdateSession updateSession_{{FTPclient, Texts, UserMessages, Timer_Event, *this}};
    update::SignupSession signupSession_{{FTPclient, Texts, UserMessages, *this}};

    std::vector<std::string> args_;
    bool commandLineChecked_ = false;
    bool languageListShown_ = false;
    device::RunProgress runProgress_;

    // The programming jobs, on the components above; destroyed before them.
    std::unique_ptr<device::SerialLink> link_;
    std::unique_ptr<device::PlantrixRun> plantrixRun_;
    std::unique_ptr<device::TessaraRun> tessaraRun_;
    std::unique_ptr<device::GranuloRun> granuloRun_;

    // The wizard's flows, on the jobs above; destroyed before them.
    std::unique_ptr<UpdateCheckFlow> updateCheck_;
    std::unique_ptr<SignupFlow> signup_;
    std::unique_ptr<ProgrammingWizard> plantrixWizard_;
    std::unique_ptr<ProgrammingWizard> tessaraWizard_;
};

}  // namespace app
