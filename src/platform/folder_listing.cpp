#include "platform/folder_listing.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {
char Fold(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool MatchFrom(const std::string& p, size_t pi, const std::string& n, size_t ni) {
    // Iterative matcher with one backtrack point: linear in practice, no recursion depth
    // that a hostile name could exhaust.
    size_t starP = std::string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || (p[pi] != '*' && Fold(p[pi]) == Fold(n[ni])))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::string::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}
}  // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*") return true;
    // A trailing ".*" also matches a name without any dot: "name.*" means that name with
    // any extension or none.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string::npos &&
        MatchFrom(pattern.substr(0, pattern.size() - 2), 0, name, 0)) {
        return true;
    }
    return MatchFrom(pattern, 0, name, 0);
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

std::string ToUpperAscii(std::string s) {
    for (char& c : s) c = Fold(c);
    return s;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder.empty() ? "." : folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        std::string name = it->path().filename().string();
        if (WildcardMatch(pattern, name)) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string ua = ToUpperAscii(a), ub = ToUpperAscii(b);
        return ua != ub ? ua < ub : a < b;
    });
    return names;
}

}  // namespace platform
