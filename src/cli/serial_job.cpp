#include "cli/serial_job.h"

#include "archive/packaged_engine.h"
#include "platform/process.h"

namespace cli {

std::string OwnPackageFolder() {
    const std::string self = platform::RunningExecutablePath();
    const size_t slash = self.rfind('/');
    return slash == std::string::npos ? std::string()
                                      : ziparchive::PackagedEngineFolder(self.substr(0, slash));
}

std::string EngineFolder(const std::string& programDir) {
    const std::string packaged = OwnPackageFolder();
    return packaged.empty() ? programDir : packaged;
}

SerialJob::SerialJob(Context& context)
    : context_(context), interrupt_([this] {
          stoppedWhileWriting_ = link_->Writing();
          link_->Abandon();
      }) {
    port_.SetMessageSink(&context.sink);
    port_.SetPromptForPort(false);
    port_.SetInSize(8192);
    port_.SetOutSize(8192);
    link_ = std::make_unique<device::SerialLink>(port_, context_.programDir);
    if (context.invocation.port) link_->SearchOnly(static_cast<int>(*context.invocation.port));
    zip_.SetMessageSink(&context.sink);
    zip_.settings.dllDirectory = EngineFolder(context.programDir);
}

SerialJob::~SerialJob() { link_->ClosePort(); }

int SerialJob::ReportStop() {
    link_->ClosePort();
    context_.console.Error(stoppedWhileWriting_
                               ? "Stopped: the terminal was being programmed and has no complete "
                                 "firmware now; program it again."
                               : "Stopped.");
    return kExitInterrupted;
}

}  // namespace cli
