#include "update/listing_names.h"

#include <cctype>
#include <cstdio>

#include "platform/files.h"

namespace update {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

bool IsDeviceName(const std::string& name) {
    // The part before the first dot names the device, whatever follows it and in any case.
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

const char* ReasonText(UnsafeName reason) {
    switch (reason) {
        case UnsafeName::FolderSeparator:
            return "it holds a folder separator";
        case UnsafeName::ControlCharacter:
            return "it holds a control character";
        case UnsafeName::FolderName:
            return "it names a folder";
        case UnsafeName::TooLong:
            return "it is too long for a file name";
        case UnsafeName::ReservedCharacter:
            return "it holds a character not allowed in file names";
        case UnsafeName::DeviceName:
            return "it is the name of a device";
        case UnsafeName::None:
            break;
    }
    return "it is not a file name";
}

constexpr size_t kShownNameBytes = 80;

}  // namespace

UnsafeName CheckServerName(const std::string& name) {
    if (name == "." || name == "..") return UnsafeName::FolderName;
    for (const char c : name) {
        if (c == '/' || c == '\\') return UnsafeName::FolderSeparator;
        if (IsControl(static_cast<unsigned char>(c))) return UnsafeName::ControlCharacter;
    }
    if (name.size() > kMaxFileNameBytes) return UnsafeName::TooLong;
    if (name.find_first_of(":*?\"<>|") != std::string::npos) return UnsafeName::ReservedCharacter;
    if (IsDeviceName(name)) return UnsafeName::DeviceName;
    return UnsafeName::None;
}

ListingNames SplitListing(const std::string& listing) {
    ListingNames result;
    for (auto& name : platform::SplitLines(listing)) {
        if (name.empty() || name == "." || name == "..") continue;
        const UnsafeName reason = CheckServerName(name);
        if (reason == UnsafeName::None) {
            result.names.push_back(std::move(name));
        } else {
            result.skipped.push_back({std::move(name), reason});
        }
    }
    return result;
}

std::string PrintableName(const std::string& name) {
    std::string shown;
    for (size_t i = 0; i < name.size(); ++i) {
        if (shown.size() >= kShownNameBytes) {
            shown += "...";
            break;
        }
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsControl(c)) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        } else {
            shown += static_cast<char>(c);
        }
    }
    return shown;
}

std::string SkippedNameLine(const SkippedName& skipped) {
    return "Skipped file \"" + PrintableName(skipped.name) + "\": " + ReasonText(skipped.reason);
}

}  // namespace update
