#pragma once
// Where a download's bytes gather until the file is whole, so that a cut link, a Cancel or
// a closed program leaves something the next attempt continues instead of starting over.
// The partial sits beside its target under a name no server name can give: the listing
// rules refuse ':', so a partial is never taken for, nor overwrites, a file of the folder.
#include <string>
#include <vector>

namespace update {

// The partial file of the download to `target` (a path).
std::string PartialPath(const std::string& target);

// `name` (no folder) is a partial file's.
bool IsPartialName(const std::string& name);

// Deletes the partial files in `folders` (each ending in "/") whose download is not one of
// `targets`: their file is gone from the server, or has come another way.
void DeleteUnwantedPartials(const std::vector<std::string>& folders,
                            const std::vector<std::string>& targets);

}  // namespace update
