#pragma once
// Wildcard listings of a folder. Names match and sort without regard to ASCII case, so that
// "*.lan" finds "English_3.LAN"; the sorted order makes every listing, and every choice
// made from one, the same on every run.
#include <string>
#include <vector>

namespace platform {

// '*' matches any run of characters, '?' any one character; letters compare without
// regard to ASCII case. "*.*" matches every name, also one without a dot.
bool WildcardMatch(const std::string& pattern, const std::string& name);

// Names (not paths) of the regular files in `folder` that match `pattern`, sorted without
// regard to case (ties broken by the exact name). A missing folder gives an empty list.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

// Case-insensitive ASCII comparison helpers used wherever names are compared.
bool SameTextIgnoringCase(const std::string& a, const std::string& b);
std::string ToUpperAscii(std::string s);

}  // namespace platform
