// arvex: the update check and the programming runs from a terminal. Help, version and
// mistakes in the arguments are answered before anything else is set up.
#include <QCoreApplication>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/run_invocation.h"
#include "cli/terminal_message_sink.h"

int main(int argc, char** argv) {
    using cli::ParseResult;
    cli::Console& console = cli::StandardConsole();
    const ParseResult parsed = cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.kind) {
        case ParseResult::Kind::Help:
            console.Print(parsed.text);
            return cli::kExitOk;
        case ParseResult::Kind::Version:
            console.Print("arvex " ARVEX_VERSION);
            return cli::kExitOk;
        case ParseResult::Kind::UsageError:
            console.Error(parsed.text);
            return cli::kExitUsage;
        case ParseResult::Kind::Run:
            break;
    }
    // The jobs run on the event loop: the ports' events, timers and sockets arrive there.
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Solvenda Control Update"));
    return cli::RunInvocation(parsed.invocation, console, cli::StandardMessageSink());
}
