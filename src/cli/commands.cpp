#include "cli/commands.h"

#include <algorithm>

#include "cli/command_runners.h"

namespace cli {

namespace {

constexpr OptionInfo kOptions[] = {
    {Option::Port, "--port", "COMn",
     "look for the terminal on this port only, instead of searching every port (COM5 or 5)"},
    {Option::Machine, "--machine", "TYPE",
     "the machine type to program firmware for; needed when the data folder holds firmware "
     "of more than one type for the terminal"},
    {Option::Release, "--release", "R",
     "the release to program instead of the newest (service mode only)"},
    {Option::Folder, "--folder", "DIR",
     "the program folder: its language, data and program files (default: "
     "$XDG_DATA_HOME/ArvexUpdate, or ~/.local/share/ArvexUpdate: the folder the installed "
     "window works in)"},
    {Option::Service, "--service", nullptr,
     "service mode: test releases are fetched and may be chosen, and the Tessara programmed"},
    {Option::Tessara, "--tessara", nullptr,
     "program the Tessara connected to the terminal, which was started with the C button "
     "held (service mode only)"},
};

constexpr Option kPortsOptions[] = {Option::Folder};
constexpr Option kIdentifyOptions[] = {Option::Port, Option::Folder};
constexpr Option kCheckOptions[] = {Option::Folder, Option::Service};
constexpr Option kProgramOptions[] = {Option::Port,   Option::Machine, Option::Release,
                                      Option::Folder, Option::Service, Option::Tessara};

constexpr CommandInfo kCommands[] = {
    {Command::Ports, "ports", "list the serial ports, their devices and who may use them",
     "Lists each serial port that exists: its COM number, its device, and whether it is\n"
     "present, in use by another program, or not accessible to this user. When\n"
     "ARVEX_COM_PORTS names a folder, the ports are the links COM1, COM2, ... in it.",
     kPortsOptions, RunPorts},
    {Command::Identify, "identify", "find the terminal on the serial ports and its hardware code",
     "Searches the serial ports for a Plantrix started in program mode (B button held\n"
     "while switching it on) and prints the port it answered on and its hardware code.",
     kIdentifyOptions, RunIdentify},
    {Command::Check, "check", "check the update server and bring the folders up to date",
     "Checks the update server for firmware packages, installers and language files,\n"
     "as the window's \"Check for updates\" does, with the same rules and folders; the\n"
     "first check in a new folder fetches the program files. Prints the status lines\n"
     "and exits 0 when the check ended without error.",
     kCheckOptions, RunCheck},
    {Command::Program, "program", "write the newest firmware into the terminal",
     "Writes firmware from the data folder into the Plantrix (or, with --tessara, into\n"
     "the Tessara behind it): prints the package it programs, then the progress. Exits\n"
     "0 on success, else with the run's error code; a run refused before anything was\n"
     "sent exits non-zero with the reason.",
     kProgramOptions, RunProgram},
};

// The row of `table` that `match` accepts; nullptr when there is none.
template <typename Row, size_t N, typename Match>
const Row* Find(const Row (&table)[N], Match match) {
    const Row* found = std::find_if(std::begin(table), std::end(table), match);
    return found == std::end(table) ? nullptr : found;
}

}  // namespace

std::span<const CommandInfo> Commands() { return kCommands; }

const CommandInfo* FindCommand(std::string_view name) {
    return Find(kCommands, [&](const CommandInfo& c) { return c.name == name; });
}

const CommandInfo& InfoOf(Command command) {
    return *Find(kCommands, [&](const CommandInfo& c) { return c.command == command; });
}

const OptionInfo* FindOption(std::string_view name) {
    return Find(kOptions, [&](const OptionInfo& o) { return o.name == name; });
}

const OptionInfo& InfoOf(Option option) {
    return *Find(kOptions, [&](const OptionInfo& o) { return o.option == option; });
}

}  // namespace cli
