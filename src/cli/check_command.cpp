// arvex check: the window's update check, its page 2 on the console. The status lines go to
// standard output, the boxes (failures, offers) to the message sink.
#include <filesystem>
#include <system_error>

#include "cli/command_runners.h"
#include "cli/interrupt.h"
#include "cli/serial_job.h"
#include "comm/ftp/zp_ftp_client.h"
#include "platform/files.h"
#include "platform/message_wait.h"
#include "platform/window_timer.h"
#include "update/program_files.h"
#include "update/server_settings.h"
#include "update/update_session.h"

namespace cli {

namespace {

using i18n::TextId;

// After Ctrl+C the abort and the logout take a moment; a server that does not answer them
// is not waited for longer than this.
constexpr int kLogoutWaitMs = 15000;

// The window program beside arvex, the copy a self-update replaces.
constexpr const char* kWindowProgram = "ArvexUpdate";

class ConsoleCheckView : public update::UpdateCheckView {
  public:
    explicit ConsoleCheckView(Context& context) : context_(context) {}

    void AddStatusLine(const std::string& line) override {
        context_.console.Print(line);
        // The check ended without error when its last word on the files is one of these.
        if (line == context_.texts[TextId::FilesAreLatest] ||
            line == context_.texts[TextId::DownloadComplete])
            completed_ = true;
    }
    void SetByteCounter(const std::string& caption) override { context_.console.Redraw(caption); }
    void SetDownloadPageButton(const std::string&) override {}
    void InstallationFilesFetched() override {}
    // The console's texts are those of the language in use when arvex started; choosing
    // another is the window's.
    void RefreshLanguage() override {}
    update::OfferWindowParts InstallerOfferParts() override {
        const std::string folder = OwnPackageFolder();
        update::ProgramFile program;
        if (!folder.empty()) program = update::ProgramFileAt(folder + kWindowProgram);
        // The script starts the new program again when it has replaced it: with --version
        // it says which version it is and ends, instead of opening a window over a shell.
        return {"arvex", {"--version"}, program, {}, {}};
    }

    bool Completed() const { return completed_; }

  private:
    Context& context_;
    bool completed_ = false;
};

}  // namespace

int RunCheck(Context& context) {
    const std::string& programDir = context.programDir;
    const update::LocalFolders folders{programDir, programDir + "Data/", programDir + "Language/"};
    // The first check in a new folder makes it, as the launcher does for the window.
    for (const std::string& folder : {folders.dataDir, folders.languageDir}) {
        std::error_code failed;
        std::filesystem::create_directories(folder, failed);
        if (!platform::DirectoryExists(folder)) {
            context.console.Error("Cannot make the folder " + folder + ": " + failed.message());
            return kExitFailed;
        }
    }

    zp::TZpFtpClient ftp;
    ftp.SetMessageSink(&context.sink);
    platform::WindowTimer folderPause;
    ConsoleCheckView view(context);
    update::UpdateSession session({ftp, context.texts, context.sink, folderPause, view});
    InterruptWatch interrupt([&session] {
        if (session.ConnectionOpen()) session.Cancel();
    });

    const std::string packaged = OwnPackageFolder();
    const bool installation = !update::MissingProgramFiles(programDir, packaged).empty();
    std::vector<std::string> problems;
    update::UpdateCheckStart start{folders, context.invocation.service, installation,
                                   update::PackagedProgramFiles(packaged),
                                   update::ServerSettingsFromEnvironment(problems)};
    for (const std::string& problem : problems) context.console.Error(problem);
    view.AddStatusLine(context.texts[TextId::ConnectingToServer]);
    session.Start(start);
    const auto ended = [&session] {
        return session.CurrentPhase() == update::FtpSession::Phase::Idle;
    };
    platform::ProcessMessagesUntil([&] { return ended() || interrupt.Interrupted(); });
    if (interrupt.Interrupted()) {
        platform::ProcessMessagesUntil(ended, kLogoutWaitMs);
        context.console.Error("Stopped: the check was aborted.");
        return kExitInterrupted;
    }
    return view.Completed() ? kExitOk : kExitFailed;
}

}  // namespace cli
