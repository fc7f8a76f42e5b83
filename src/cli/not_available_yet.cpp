// identify, check and program read their options in full, but their jobs are not wired to
// arvex yet: each says so and fails, so that no script takes it for a job done.
#include "cli/command_runners.h"
#include "cli/commands.h"

namespace cli {

namespace {

int NotAvailableYet(Context& context) {
    context.console.Error("arvex " + std::string(InfoOf(context.invocation.command).name) +
                          ": not available yet in this version; use the ArvexUpdate window");
    return kExitFailed;
}

}  // namespace

int RunIdentify(Context& context) { return NotAvailableYet(context); }
int RunCheck(Context& context) { return NotAvailableYet(context); }
int RunProgram(Context& context) { return NotAvailableYet(context); }

}  // namespace cli
