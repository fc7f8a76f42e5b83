#include "update/listing_sync.h"

#include <algorithm>
#include <set>

#include "i18n/language_folder.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "update/listing_names.h"
#include "update/partial_files.h"
#include "update/program_file.h"

namespace update {

namespace {

ListingNames SplitAndLogSkipped(const std::string& listing, SyncResult& result) {
    ListingNames names = SplitListing(listing);
    for (const auto& skipped : names.skipped) result.log.push_back(SkippedNameLine(skipped));
    return names;
}

bool PresentLocally(const std::string& name, const LocalFolders& folders) {
    return platform::FileExists(folders.dataDir + name) ||
           platform::FileExists(folders.languageDir + name);
}

// The files of DataDir that the listing does not hold.
std::vector<std::string> StaleFiles(const ListingNames& listed, const std::string& dataDir) {
    // Skipped names count as listed: a name that is still on the server keeps its copy.
    std::set<std::string> onServer(listed.names.begin(), listed.names.end());
    for (const auto& skipped : listed.skipped) onServer.insert(skipped.name);
    std::vector<std::string> stale;
    for (auto& local : platform::ListFiles(dataDir, "*.*")) {
        // A partial download is the check's own to keep or drop.
        if (onServer.count(local) == 0 && !IsPartialName(local)) stale.push_back(std::move(local));
    }
    return stale;
}

void DeleteStaleFiles(const std::vector<std::string>& stale, const std::string& dataDir,
                      SyncResult& result) {
    for (const auto& local : stale) {
        if (platform::DeleteFile(dataDir + local)) {
            result.deleted.push_back(local);
        } else {
            result.log.push_back("Could not delete old file \"" + PrintableName(local) + "\"");
        }
    }
}

}  // namespace

SyncResult QueueInstallFiles(const std::string& listing, const std::vector<std::string>& packaged) {
    SyncResult result;
    for (auto& name : SplitAndLogSkipped(listing, result).names) {
        if (std::find(packaged.begin(), packaged.end(), name) != packaged.end()) {
            result.log.push_back("Skipped file \"" + PrintableName(name) +
                                 "\": it comes with this copy's package");
        } else {
            result.queue.push_back(std::move(name));
        }
    }
    return result;
}

SyncResult SyncWithListing(const std::string& listing, ListingEnd end, const WantedRules& rules) {
    SyncResult result;
    const ListingNames listed = SplitAndLogSkipped(listing, result);
    bool anyWanted = false;
    for (const auto& name : listed.names) {
        const Wanted wanted = IsWantedFile(name, rules);
        anyWanted = anyWanted || wanted == Wanted::Yes;
        if (PresentLocally(name, rules.folders)) continue;
        switch (wanted) {
            case Wanted::Yes:
                if (FileKind(name) != kLanguageFileKind ||
                    !i18n::SameOrNewerVersionHeld(rules.folders.languageDir, name)) {
                    result.queue.push_back(name);
                }
                break;
            case Wanted::BadVersion:
                result.log.push_back("Skipped installer \"" + PrintableName(name) +
                                     "\": its version is not a whole number");
                break;
            case Wanted::LeftToPackageManager:
                result.log.push_back(NotFetchedForPackageManagerLine(PrintableName(name)));
                result.programNotFetched = name;
                break;
            case Wanted::No:
                break;
        }
    }
    if (end == ListingEnd::Cut) {
        result.log.push_back("The server's file list was incomplete: no local file was deleted");
    } else if (listed.names.empty()) {
        result.log.push_back("The server's file list is empty: no local file was deleted");
    } else {
        const std::vector<std::string> stale = StaleFiles(listed, rules.folders.dataDir);
        if (anyWanted) {
            DeleteStaleFiles(stale, rules.folders.dataDir, result);
        } else if (!stale.empty()) {
            // Folder names only, say: the server showed another folder than the update one.
            result.log.push_back(
                "The server's file list holds no update file: no local file was deleted");
        }
    }
    return result;
}

}  // namespace update
