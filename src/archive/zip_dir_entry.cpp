#include "archive/zip_dir_entry.h"

#include <algorithm>

#include "archive/oem_text.h"
#include "platform/text_codec.h"

namespace ziparchive {

namespace {

constexpr uint8_t kHostFat = 0;
constexpr uint8_t kHostHpfs = 6;
constexpr uint8_t kHostNtfs = 11;
constexpr uint16_t kEncryptedFlag = 0x0001;
// Set by writers that store names as UTF-8; such names are never OEM text.
constexpr uint16_t kUtf8NamesFlag = 0x0800;

bool StoredAsOem(const CentralHeader& h, ZipCodePage codePage) {
    if (h.flags & kUtf8NamesFlag) return false;
    if (codePage == ZipCodePage::cpOEM) return true;
    if (codePage != ZipCodePage::cpAuto) return false;
    return h.hostSystem == kHostFat || h.hostSystem == kHostHpfs ||
           (h.hostSystem == kHostNtfs && h.versionMadeBy == 50);
}

std::string Decode(const std::string& raw, bool oem) {
    return oem ? OemToUtf8(raw) : platform::DecodeText(raw);
}

char FoldForName(char c) {
    if (c == '\\') return '/';
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

ZipDirEntry MakeDirEntry(const CentralHeader& h, ZipCodePage codePage) {
    ZipDirEntry e;
    static_cast<CentralHeader&>(e) = h;
    const bool oem = StoredAsOem(h, codePage);
    e.fileName = Decode(h.rawName, oem);
    std::replace(e.fileName.begin(), e.fileName.end(), '/', kPathSeparator);
    e.fileComment = Decode(h.rawComment, oem);
    e.encrypted = (h.flags & kEncryptedFlag) != 0;
    return e;
}

bool HasFilePart(const std::string& name) {
    return !name.empty() && name.back() != '/' && name.back() != '\\';
}

bool SameMemberName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return FoldForName(x) == FoldForName(y); });
}

}  // namespace ziparchive
