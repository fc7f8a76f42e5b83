#pragma once
// The command line of arvex-terminal-sim.
#include <string>
#include <vector>

#include "sim_options.h"

namespace termsim {

struct CommandLine {
    SimOptions sim;
    bool help = false;
    // End when the process that started the simulator ends.
    bool exitWithParent = false;
};

// Reads the arguments after the program name; `portsDefault` is the folder used without
// --ports (the program's ARVEX_COM_PORTS). False, with the reason in `error`, on any
// argument that is unknown, malformed or out of range.
bool ParseCommandLine(const std::vector<std::string>& args, const std::string& portsDefault,
                      CommandLine& out, std::string& error);

std::string HelpText();

}  // namespace termsim
