#pragma once
// What a firmware file's name says: machine type, release, test release, s12 hardware.
// A name is the bare file name with its extension, as the folder listing gives it.
#include <optional>
#include <string>

namespace device {

// The characters before the first "_"; empty when there is none.
std::string MachineTypeOf(const std::string& fileName);

// The characters after the first "_" (the whole name when there is none) without the
// 4-character extension; a result containing "_s12" also loses its last 4 characters.
// KX_R0104.vbf and KX_R0104_s12.vbf both give R0104.
std::string ReleaseTextOf(const std::string& fileName);

// 0 for a name without "_R"; otherwise the release text from its second character on as
// a decimal number (R0104 gives 104). Nothing when that text is not a decimal number
// (KX_R01_04.vbf): such a file cannot take part in choosing the newest release.
std::optional<long> ReleaseNumberOf(const std::string& fileName);

// Case as written: "_T" marks a test release, "_s12.vbf" a package for hardware code 3.
bool IsTestRelease(const std::string& fileName);
bool IsS12File(const std::string& fileName);

}  // namespace device
