#pragma once
// What the command line asks arvex to do, once every argument has been read and checked.
#include <optional>
#include <string>

namespace cli {

enum class Command { Ports, Identify, Check, Program };

// Exit statuses every command shares. A programming run that fails with an error code
// (1 to 9) ends with that code, so the statuses of arvex itself stay clear of them; a
// mistake in the arguments is the usual status for one, and a stop by Ctrl+C the one a
// shell gives a program that SIGINT ended.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 10;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitInterrupted = 130;

struct Invocation {
    Command command = Command::Ports;
    std::optional<unsigned> port;        // --port: look only at this COM number
    std::optional<std::string> machine;  // --machine
    std::optional<std::string> release;  // --release (service mode)
    std::optional<std::string> folder;   // --folder, as given
    bool service = false;                // --service
    bool tessara = false;                // --tessara (service mode)
};

}  // namespace cli
