#pragma once
// Reading the members of a firmware package (a zip archive). The members share the base
// name of the archive's first entry and differ in their 3-letter extension: vif (the
// sums and the vgf address), vgf, vtf and s19.
#include <cstdint>
#include <optional>
#include <string>

#include "archive/zip_reader.h"

namespace device {

// Opens the package in `reader` and extracts the member with `extension`. The stream is
// the reader's, positioned at 0; nullptr when the package or member cannot be read (a
// package without entries also tells the reader's message sink "LoadZIP error").
ziparchive::TZipStream* LoadZIP(ziparchive::TZipReader& reader, const std::string& packagePath,
                                const std::string& extension);

// The member's bytes when their byte sum (each byte 0..255, 32-bit) equals `expectedSum`;
// empty when it does not, or when the member is missing or empty.
std::string ReadCheckedMember(ziparchive::TZipReader& reader, const std::string& packagePath,
                              const std::string& extension, uint32_t expectedSum);

// "S00" when the member begins with it (a Granulo package's s19 member), else empty.
std::string ReadS19Head(ziparchive::TZipReader& reader, const std::string& packagePath,
                        const std::string& extension);

// The 32-bit little-endian number at `offset` of a vif member's bytes; nothing when the
// member ends before it.
std::optional<uint32_t> PackageValueAt(const std::string& vif, size_t offset);

// The four values of a package's vif member.
struct PackageIndex {
    uint32_t vgfSum = 0;
    uint32_t vtfSum = 0;
    uint32_t s19Sum = 0;
    uint32_t vgfAddress = 0;
};

// Reads the vif member of the package. Nothing when it cannot be read or holds fewer than
// the 16 bytes of its four values: a short member would otherwise read as sums of 0, which
// an empty or zero-filled member matches.
std::optional<PackageIndex> ReadPackageIndex(ziparchive::TZipReader& reader,
                                             const std::string& packagePath);

}  // namespace device
