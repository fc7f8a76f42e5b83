#include "update/shell_scripts.h"

#include <initializer_list>

namespace update {

std::string QuoteShellArgument(const std::string& argument) {
    std::string out = "'";
    for (const char c : argument) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

namespace {

// A script built line by line.
struct Script {
    Script& operator<<(std::string line) {
        lines.push_back(std::move(line));
        return *this;
    }
    std::vector<std::string> lines;
};

// Both scripts begin alike: what they are for, then into the program folder, whoever
// started them from where, and the installer they work on.
Script ScriptHead(std::initializer_list<const char*> purpose, const std::string& programDir,
                  const std::string& installer) {
    Script script;
    script << "#!/bin/sh";
    for (const char* line : purpose) script << std::string("# ") + line;
    script << "cd " + QuoteShellArgument(programDir) + " || exit 1"
           << "installer=" + QuoteShellArgument(installer);
    return script;
}

}  // namespace

std::vector<std::string> DriverInstallShell(const std::string& programDir,
                                            const std::string& dataDir,
                                            const std::string& installer) {
    Script script = ScriptHead(
        {"Written by ArvexUpdate: runs the new driver's installer, then files it as installed."},
        programDir, dataDir + installer);
    // Two accepted offers of one installer start two scripts: the second finds it filed
    // already. The installed drivers go only once the new one stands in their place.
    // clang-format off
    script << "name=" + QuoteShellArgument(installer)
           << "if [ -f \"$installer\" ]; then"
           << "    chmod +x \"$installer\""
           << "    \"$installer\""
           << "    if mv -f \"$installer\" \"./$name\"; then"
           << "        for old in ArvexDriver_*.exe; do"
           << "            [ \"$old\" = \"$name\" ] || rm -f \"$old\""
           << "        done"
           << "    fi"
           << "fi"
           << std::string("rm -f ") + kDriverShellName;
    // clang-format on
    return script.lines;
}

std::vector<std::string> SelfUpdateShell(const std::string& programDir, const std::string& dataDir,
                                         const std::string& installer,
                                         const std::string& programFile,
                                         const std::vector<std::string>& arguments,
                                         long programPid) {
    const std::string program = "\"$program\"";
    const std::string temporary = "\"$program.new\"";
    std::string restart = program;
    for (const auto& argument : arguments) restart += " " + QuoteShellArgument(argument);

    Script script = ScriptHead(
        {"Written by ArvexUpdate: puts the downloaded version in the place of the program",
         "once it has ended, and starts it again with the same arguments."},
        programDir, dataDir + installer);
    script << "program=" + QuoteShellArgument(programFile);
    script << "show_error() {"
           << "    command -v zenity >/dev/null 2>&1 &&"
           << "        zenity --error --title=\"Error message\" --text=\"$1\" 2>/dev/null && return"
           << "    command -v kdialog >/dev/null 2>&1 &&"
           << "        kdialog --title \"Error message\" --error \"$1\" 2>/dev/null && return"
           << "    command -v xmessage >/dev/null 2>&1 &&"
           << "        xmessage -title \"Error message\" \"$1\" 2>/dev/null && return"
           << "    echo \"Error message: $1\" >&2"
           << "}";
    // Without a process to wait for (kill -0 0 would ask about the whole group) the
    // copy starts at once.
    if (programPid > 0) {
        script << "waited=0"
               << "while kill -0 " + std::to_string(programPid) +
                      " 2>/dev/null && [ \"$waited\" -lt 30 ]; do"
               << "    sleep 1"
               << "    waited=$((waited + 1))"
               << "done";
    }
    // clang-format off
    script << "tries=0"
           << "until cp -f \"$installer\" " + temporary + " && chmod +x " + temporary +
                  " && mv -f " + temporary + " " + program + "; do"
           << "    rm -f " + temporary
           << "    tries=$((tries + 1))"
           << "    if [ \"$tries\" -ge 100 ]; then"
           << "        show_error \"Unable to update program due to restricted access.\""
           << "        break"
           << "    fi"
           << "done"
           << "rm -f \"$installer\""
           << restart + " &"
           << std::string("rm -f ") + kSelfUpdateShellName;
    // clang-format on
    return script.lines;
}

}  // namespace update
