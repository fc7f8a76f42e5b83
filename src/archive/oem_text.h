#pragma once
// Names in zip archives written on MS-DOS and Windows hosts are in the OEM code page
// (437, the zip format's own default); the program holds text as UTF-8.
#include <string>

namespace ziparchive {

std::string OemToUtf8(const std::string& bytes);

}  // namespace ziparchive
