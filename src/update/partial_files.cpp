#include "update/partial_files.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "platform/files.h"
#include "platform/folder_listing.h"
#include "update/listing_names.h"

namespace update {

namespace {

constexpr const char* kSuffix = ":partial";
constexpr std::size_t kSuffixBytes = 8;

// Stable from run to run: the next check must find the partial this one left.
std::uint64_t NameHash(const std::string& name) {
    std::uint64_t h = 14695981039346656037ull;
    for (const unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

}  // namespace

std::string PartialPath(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    std::string name = target.substr(start);
    if (name.size() + kSuffixBytes > kMaxFileNameBytes) {
        // A long name loses its end, and a hash of the whole keeps two such names apart.
        char hash[18];
        std::snprintf(hash, sizeof hash, "~%016llx",
                      static_cast<unsigned long long>(NameHash(name)));
        name.resize(kMaxFileNameBytes - kSuffixBytes - (sizeof hash - 1));
        name += hash;
    }
    return target.substr(0, start) + name + kSuffix;
}

bool IsPartialName(const std::string& name) {
    return name.size() > kSuffixBytes &&
           name.compare(name.size() - kSuffixBytes, kSuffixBytes, kSuffix) == 0;
}

void DeleteUnwantedPartials(const std::vector<std::string>& folders,
                            const std::vector<std::string>& targets) {
    std::vector<std::string> wanted;
    wanted.reserve(targets.size());
    for (const auto& target : targets) wanted.push_back(PartialPath(target));
    for (const auto& folder : folders) {
        for (const auto& name : platform::ListFiles(folder, std::string("*") + kSuffix)) {
            // The listing ignores case; the partial's name must match exactly.
            if (!IsPartialName(name)) continue;
            const std::string path = folder + name;
            if (std::find(wanted.begin(), wanted.end(), path) == wanted.end())
                platform::DeleteFile(path);
        }
    }
}

}  // namespace update
