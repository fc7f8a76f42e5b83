#pragma once
// What a server listing means for the local folders: what to fetch, in order, and which
// old files to throw away. The update session shows the log lines, fetches the queue and
// decides from its emptiness whether to log out.
#include <string>
#include <vector>

#include "update/file_rules.h"

namespace update {

struct SyncResult {
    std::vector<std::string> queue;    // names to fetch, in listing order
    std::vector<std::string> deleted;  // names deleted from DataDir
    std::vector<std::string> log;      // status lines, in the order things happened
    std::string programNotFetched;     // a newer program installer left to the package manager
};

// Whether the FTP client received the whole listing; only a whole one may delete files.
enum class ListingEnd { Complete, Cut };

// The installation step ("ProgramFiles"): every usable name is fetched, without any test,
// except the `packaged` ones, which the installed package brings.
SyncResult QueueInstallFiles(const std::string& listing,
                             const std::vector<std::string>& packaged = {});

// The update folder ("UpdateFiles"): a wanted name that is neither in DataDir nor in
// LanguageDir, nor a language file held in that version or a newer one, is queued; then
// every file in DataDir whose name the listing does not hold (compared exactly) is
// deleted. A cut listing, or one without any name the rules want, deletes nothing: a
// server that lost its folder, or shows another one, must not wipe the user's packages.
SyncResult SyncWithListing(const std::string& listing, ListingEnd end, const WantedRules& rules);

}  // namespace update
