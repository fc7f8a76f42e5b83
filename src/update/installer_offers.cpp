#include "update/installer_offers.h"

#include "platform/detached_process.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/process.h"
#include "update/file_rules.h"
#include "update/shell_scripts.h"

namespace update {

using i18n::TextId;

namespace {

// The candidate is the installer the folder listing returns last.
std::string LastInstaller(const std::string& dataDir, const char* prefix) {
    const auto found = platform::ListFiles(dataDir, std::string(prefix) + "*.exe");
    return found.empty() ? std::string() : found.back();
}

// Asks texts `first` and `second`; a refusal is told that the offer comes again.
bool Accepted(const InstallerOffer& offer, i18n::TextId first, i18n::TextId second,
              platform::MessageButtons buttons) {
    const auto accept = buttons == platform::MessageButtons::YesNo ? platform::MessageAnswer::Yes
                                                                   : platform::MessageAnswer::Ok;
    const std::string question = offer.texts[first] + "\n" + offer.texts[second];
    if (offer.sink.Show(question, buttons, offer.caption) == accept) return true;
    offer.sink.Show(offer.texts[TextId::AskedAgainNextTime], platform::MessageButtons::Ok,
                    offer.caption);
    return false;
}

// Writes the script and starts it; tells the user when either fails.
bool WriteAndStart(const InstallerOffer& offer, const std::string& name,
                   const std::vector<std::string>& lines) {
    const std::string path = offer.folders.programDir + name;
    if (!platform::WriteTextLines(path, lines, platform::LineEnd::Lf)) {
        offer.sink.Show("Cannot create file \"" + path + "\".", platform::MessageButtons::Ok,
                        offer.caption);
        return false;
    }
    std::string error;
    if (!offer.startScript || !offer.startScript(path, error)) {
        platform::DeleteFile(path);
        offer.sink.Show("Cannot start \"" + path + "\": " + error, platform::MessageButtons::Ok,
                        offer.caption);
        return false;
    }
    return true;
}

}  // namespace

OfferResult OfferDriverInstall(const InstallerOffer& offer) {
    const std::string candidate = LastInstaller(offer.folders.dataDir, kDriverInstallerPrefix);
    if (candidate.empty()) return OfferResult::NothingToOffer;
    const auto newer = IsNewerDriver(candidate, offer.folders.programDir);
    if (!newer || !*newer) return OfferResult::NothingToOffer;

    if (!Accepted(offer, TextId::NewDriverDownloaded, TextId::InstallDriverNow,
                  platform::MessageButtons::YesNo)) {
        return OfferResult::Declined;
    }
    const auto lines =
        DriverInstallShell(offer.folders.programDir, offer.folders.dataDir, candidate);
    return WriteAndStart(offer, kDriverShellName, lines) ? OfferResult::Started
                                                         : OfferResult::Failed;
}

OfferResult OfferSelfUpdate(const InstallerOffer& offer) {
    std::string candidate = LastInstaller(offer.folders.dataDir, kProgramInstallerPrefix);
    const auto newer = IsNewerProgram(candidate);
    const bool offered = !candidate.empty() && newer && *newer;
    if (!offer.program.replaceable) {
        if (!offered) candidate = offer.programNotFetched;
        if (candidate.empty()) return OfferResult::NothingToOffer;
        offer.sink.Show(UpdatedByPackageManagerText(candidate, offer.program),
                        platform::MessageButtons::Ok, offer.caption);
        return OfferResult::Declined;
    }
    if (!offered) return OfferResult::NothingToOffer;

    if (!Accepted(offer, TextId::NewProgramVersionFound, TextId::RestartToCompleteUpdate,
                  platform::MessageButtons::OkCancel)) {
        return OfferResult::Declined;
    }
    const long pid = offer.programPid > 0 ? offer.programPid : platform::CurrentProcessId();
    const auto lines = SelfUpdateShell(offer.folders.programDir, offer.folders.dataDir, candidate,
                                       offer.program.path, offer.arguments, pid);
    if (!WriteAndStart(offer, kSelfUpdateShellName, lines)) return OfferResult::Failed;
    if (offer.requestEnd) offer.requestEnd();
    return OfferResult::Started;
}

ScriptStarter ShellScriptStarter(const std::string& programDir) {
    return [programDir](const std::string& path, std::string& error) {
        return platform::StartDetached("/bin/sh", {path}, programDir, &error);
    };
}

}  // namespace update
