#pragma once
// One listed member of an archive, with its name and comment converted to the program's
// text and path conventions.
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

// The central header's fields as stored (rawName holds the name's stored bytes), plus:
struct ZipDirEntry : CentralHeader {
    std::string fileName;     // converted; folders separated by kPathSeparator
    std::string fileComment;  // converted like the name, separators as stored
    bool encrypted = false;
};

ZipDirEntry MakeDirEntry(const CentralHeader& header, ZipCodePage codePage);

// False for an empty name and for one that ends with a folder separator (a folder entry).
bool HasFilePart(const std::string& name);

// Member names match without regard to ASCII case, and "/" and "\" are the same separator,
// so that a name written by either platform finds the member.
bool SameMemberName(const std::string& a, const std::string& b);

}  // namespace ziparchive
