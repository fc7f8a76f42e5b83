#pragma once
// What the command line asks arvex to do, once every argument has been read and checked.
#include <optional>
#include <string>

namespace cli {

enum class Command { Ports, Identify, Check, Program };

// Exit statuses every command shares. A programming run ends with its own error code.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

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
