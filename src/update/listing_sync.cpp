#include "update/listing_sync.h"

#include <set>

#include "platform/files.h"
#include "platform/folder_listing.h"
#include "update/listing_names.h"
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

void DeleteStaleFiles(const ListingNames& listed, const std::string& dataDir, SyncResult& result) {
    // Skipped names count as listed: a name that is still on the server keeps its copy.
    std::set<std::string> onServer(listed.names.begin(), listed.names.end());
    for (const auto& skipped : listed.skipped) onServer.insert(skipped.name);
    for (const auto& local : platform::ListFiles(dataDir, "*.*")) {
        if (onServer.count(local) != 0) continue;
        if (platform::DeleteFile(dataDir + local)) {
            result.deleted.push_back(local);
        } else {
            result.log.push_back("Could not delete old file \"" + PrintableName(local) + "\"");
        }
    }
}

}  // namespace

SyncResult QueueInstallFiles(const std::string& listing) {
    SyncResult result;
    result.queue = SplitAndLogSkipped(listing, result).names;
    return result;
}

SyncResult SyncWithListing(const std::string& listing, ListingEnd end, const WantedRules& rules) {
    SyncResult result;
    const ListingNames listed = SplitAndLogSkipped(listing, result);
    for (const auto& name : listed.names) {
        if (PresentLocally(name, rules.folders)) continue;
        switch (IsWantedFile(name, rules)) {
            case Wanted::Yes:
                result.queue.push_back(name);
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
        DeleteStaleFiles(listed, rules.folders.dataDir, result);
    }
    return result;
}

}  // namespace update
