#include "cli/run_invocation.h"

#include "cli/commands.h"
#include "cli/context.h"
#include "cli/language_texts.h"
#include "cli/program_folder.h"

namespace cli {

int RunInvocation(const Invocation& invocation, Console& console, platform::MessageSink& sink) {
    const std::string name = "arvex " + std::string(InfoOf(invocation.command).name) + ": ";
    std::string error;
    const std::optional<std::string> folder = ProgramFolder(invocation.folder, error);
    if (!folder) {
        console.Error(name + error);
        return kExitFailed;
    }
    Context context{invocation, *folder, {}, console, sink};
    if (const std::string warning = LoadLanguageInUse(*folder, context.texts); !warning.empty())
        console.Error(name + warning);
    return InfoOf(invocation.command).run(context);
}

}  // namespace cli
