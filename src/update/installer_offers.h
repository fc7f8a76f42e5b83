#pragma once
// The offers at the end of an update check: install a newer driver, then replace the
// program with a newer version. Each writes a script into ProgramDir and starts it
// detached; the self-update then asks for the program's end, and the script restarts it.
#include <functional>
#include <string>
#include <vector>

#include "i18n/text_table.h"
#include "platform/message_sink.h"
#include "update/local_folders.h"
#include "update/program_file.h"

namespace update {

// Starts the script at `path` detached; false with the reason in `error`.
using ScriptStarter = std::function<bool(const std::string& path, std::string& error)>;

struct InstallerOffer {
    LocalFolders folders;
    const i18n::TextTable& texts;
    platform::MessageSink& sink;
    std::string caption;                 // the window's caption, the title of every box
    std::vector<std::string> arguments;  // the program's arguments, for the restart
    ScriptStarter startScript;
    std::function<void()> requestEnd;  // the program ends once the handler has returned
    long programPid = 0;               // the process the self-update waits for; 0: this one
    ProgramFile program{};             // what the self-update replaces and restarts
    std::string programNotFetched{};   // a newer installer the check left on the server
};

enum class OfferResult {
    NothingToOffer,  // no installer in DataDir, or none newer
    Declined,
    Started,  // the script runs (and, for the self-update, the end was requested)
    Failed,   // the script could not be written or started; the user was told
};

// The last "ArvexDriver_*.exe" of DataDir, when newer than the installed driver: asks
// (texts 68 and 69, Yes/No); Yes writes and starts the driver script, No says text 70.
OfferResult OfferDriverInstall(const InstallerOffer& offer);

// The last "ArvexUpdate_*.exe" of DataDir, when newer than this program: asks (texts 32
// and 33, OK/Cancel); OK writes and starts the update script and requests the end,
// Cancel says text 70. A program file that is not replaceable is never offered: a newer
// installer, in DataDir or left on the server, is declined with a box saying that the
// package manager updates the program.
OfferResult OfferSelfUpdate(const InstallerOffer& offer);

// The starter for this platform's scripts: /bin/sh, detached, in `programDir`.
ScriptStarter ShellScriptStarter(const std::string& programDir);

}  // namespace update
