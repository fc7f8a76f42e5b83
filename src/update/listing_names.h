#pragma once
// The names of a server folder listing (NLST output) and which of them may name a local
// file. The listing comes from outside: a name that could reach another folder, that no
// file can carry, or that means a device or a pattern on the systems the files may be
// copied to, is never used to build a path and is handed back for the status log.
#include <string>
#include <vector>

namespace update {

enum class UnsafeName {
    None,
    FolderSeparator,    // "/" or "\"
    ControlCharacter,   // NUL or any other byte below the space, or DEL
    FolderName,         // "." or ".."
    TooLong,            // more than a file name can hold
    ReservedCharacter,  // one of : * ? " < > |
    DeviceName,         // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with any extension
};

// Longest name a local file can carry, in bytes.
inline constexpr size_t kMaxFileNameBytes = 255;

// Why `name` must not name a local file; None when it may.
UnsafeName CheckServerName(const std::string& name);

struct SkippedName {
    std::string name;
    UnsafeName reason;
};

struct ListingNames {
    std::vector<std::string> names;    // names that may name local files, in listing order
    std::vector<SkippedName> skipped;  // the others, in listing order
};

// CR LF, a lone CR and a lone LF each end a name; a last name without a line end counts
// too, since servers differ there. Empty lines, "." and ".." (some servers list the
// folder's own entries) are no names.
ListingNames SplitListing(const std::string& listing);

// The status line for a skipped name, its control characters shown as \xNN.
std::string SkippedNameLine(const SkippedName& skipped);

// A name as the status log shows it: control characters as \xNN, long names shortened.
std::string PrintableName(const std::string& name);

}  // namespace update
