#pragma once
// One listed member of an archive: the central header's fields as stored, plus its name
// and comment converted to the program's text and path conventions.
#include <cstdint>
#include <string>

#include "archive/format/central_directory.h"

namespace ziparchive {

// How stored names are decoded: by the host that wrote them (auto), never from the OEM
// code page (none), or always from it (oem).
enum class ZipCodePage { cpAuto, cpNone, cpOEM };

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

struct ZipDirEntry {
    uint8_t versionMadeBy = 0;
    uint8_t hostSystem = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t compressionMethod = 0;
    uint16_t modTime = 0;
    uint16_t modDate = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t fileNameLength = 0;
    uint16_t extraFieldLength = 0;
    uint16_t fileCommentLength = 0;
    uint16_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t relativeOffset = 0;
    std::string fileName;     // converted; folders separated by kPathSeparator
    std::string fileComment;  // converted like the name, separators as stored
    bool encrypted = false;
    std::string extraField;
    std::string storedName;   // the name's bytes as the archive holds them
};

ZipDirEntry MakeDirEntry(const CentralHeader& header, ZipCodePage codePage);

// False for an empty name and for one that ends with a folder separator (a folder entry).
bool HasFilePart(const std::string& name);

// Member names match without regard to ASCII case, and "/" and "\" are the same separator,
// so that a name written by either platform finds the member.
bool SameMemberName(const std::string& a, const std::string& b);

}  // namespace ziparchive
