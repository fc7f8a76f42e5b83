#include "window_update_check.h"

#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "ftp_server_process.h"
#include "platform/message_wait.h"

namespace ftpbench {

namespace {
// Without them the window opens on the Installation page.
constexpr const char* kRequiredFiles[] = {"ZipEngine.so", "BLaz60A.prg", "BLdg128A.prg",
                                          "BLS12G128.prg"};
}  // namespace

WindowUpdateCheck::WindowUpdateCheck(std::uint16_t port, const std::string& programDir)
    : server_("ARVEX_FTP_SERVER", "127.0.0.1:" + std::to_string(port)),
      user_("ARVEX_FTP_USER", testsupport::FtpServerProcess::kUser) {
    std::filesystem::create_directories(programDir);
    for (const char* f : kRequiredFiles) std::ofstream(programDir + f);
    cwd_ = std::make_unique<testsupport::WorkingDirectory>(programDir);
    form_ = std::make_unique<app::TForm1>(std::vector<std::string>{});
    form_->show();
    // Each line as it comes into page 2's status log.
    auto* log = form_->findChild<QListWidget*>(QStringLiteral("ListBox_P2"));
    QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, form_.get(),
                     [this, log](const QModelIndex&, int first, int last) {
                         for (int row = first; row <= last; ++row)
                             arrivals_.Line(log->item(row)->text().toStdString());
                     });
}

// The window goes before the folder it works in is left.
WindowUpdateCheck::~WindowUpdateCheck() { form_.reset(); }

bool WindowUpdateCheck::Run(int limitMs) {
    form_->findChild<QPushButton*>(QStringLiteral("But_P1_Update"))->click();
    const double cpu0 = ThreadCpuSeconds();
    record.started = record.lastFileDone = Clock::now();
    form_->findChild<QPushButton*>(QStringLiteral("But_P3_Next"))->click();
    const bool done =
        platform::ProcessMessagesUntil([this] { return !form_->FTPclient.IsActive(); }, limitMs);
    record.ended = Clock::now();
    record.guiCpuSeconds = ThreadCpuSeconds() - cpu0;
    return done;
}

}  // namespace ftpbench
