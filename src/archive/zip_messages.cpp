#include "archive/zip_messages.h"

#include <algorithm>
#include <array>

namespace ziparchive {

namespace {

struct MessageEntry {
    int id;
    const char* text;
};

// Sorted by id for the binary search below.
constexpr std::array kDefaultTexts{
    MessageEntry{10102, "Error - no zip file specified!"},
    MessageEntry{10103, "Requested memory not available"},
    MessageEntry{10106, "Error in event handler"},
    MessageEntry{10118, "DLL Error - Aborting"},
    MessageEntry{10120, "DLL Error - User Cancelled"},
    MessageEntry{10121, "DLL Error - Not enough memory"},
    MessageEntry{10122, "DLL Error - Invalid structure"},
    MessageEntry{10123, "DLL Error - Exception in handler "},
    MessageEntry{10124, "critical DLL Error %d"},
    MessageEntry{10125, "Error - archive member too large to extract: %s"},
    MessageEntry{10126, "Error - archive member is encrypted, which is not supported: %s"},
    MessageEntry{10127, "Error - compression method %d of the archive member is not supported"},
    MessageEntry{10151, "Error - no extract password given"},
    MessageEntry{10201, "Seek error reading Zip archive!"},
    MessageEntry{10202, "Unknown error in List() function\n"},
    MessageEntry{10203, "Warning - Error in zip structure!"},
    MessageEntry{10204, "Warning - Garbage at the end of the zipfile!"},
    MessageEntry{10301, "Error - no files to zip!"},
    MessageEntry{10650, "Failed to load %s"},
    MessageEntry{10651, "Unable to load %s - It is old or corrupt"},
    MessageEntry{10652, "Loaded %s"},
    MessageEntry{10653, "Unloaded %s"},
    MessageEntry{11002, "Zip file could not be opened"},
    MessageEntry{11007, "User canceled operation"},
    MessageEntry{11011, "Error while reading the End Of Central Directory"},
    MessageEntry{11013, "Error while reading a central header"},
    MessageEntry{11015, "A central header signature is wrong"},
    MessageEntry{11017, "Error while reading a central file name"},
    MessageEntry{11022, "Error while reading a file comment"},
    MessageEntry{11036, "This archive is not a valid Zip archive"},
    MessageEntry{11409, "*Loading Directory"},
};

static_assert(std::is_sorted(kDefaultTexts.begin(), kDefaultTexts.end(),
                             [](const MessageEntry& a, const MessageEntry& b) { return a.id < b.id; }));

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::string Fill(const std::string& text, const char* placeholder, const std::string& value) {
    const size_t at = text.find(placeholder);
    if (at == std::string::npos) return text;
    return text.substr(0, at) + value + text.substr(at + 2);
}

}  // namespace

std::string ZipMessageText(int id) {
    const auto it = std::lower_bound(kDefaultTexts.begin(), kDefaultTexts.end(), id,
                                     [](const MessageEntry& e, int key) { return e.id < key; });
    if (it == kDefaultTexts.end() || it->id != id) return "Resource missing for " + std::to_string(id);
    return WithCrLf(it->text);
}

std::string ZipMessage(int id, const std::string& argument) { return Fill(ZipMessageText(id), "%s", argument); }

std::string ZipMessage(int id, long long argument) {
    return Fill(ZipMessageText(id), "%d", std::to_string(argument));
}

}  // namespace ziparchive
