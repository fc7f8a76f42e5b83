// arvex identify: the search the runs begin with, on its own.
#include "cli/command_runners.h"
#include "cli/serial_job.h"
#include "device/run_texts.h"

namespace cli {

int RunIdentify(Context& context) {
    SerialJob job(context);
    device::SerialLink& link = job.Link();
    const int code = link.FindTerminal();
    link.ClosePort();
    if (job.Interrupted()) return job.ReportStop();
    if (code == 0) {
        context.console.Error(device::TerminalNotFoundText(
            context.texts, i18n::TextId::MakeSureInProgramMode, link.LastSearch()));
        return kExitFailed;
    }
    context.console.Print(device::FoundPortLine(link.LastSearch()));
    context.console.Print("Hardware code: " + std::to_string(code));
    return kExitOk;
}

}  // namespace cli
