#pragma once
// Text from the files the program reads (language files, archive comments and names):
// 8-bit Windows-1252 text from older tools, or UTF-8. The program holds every string as UTF-8.
#include <string>

namespace platform {

bool IsValidUtf8(const std::string& bytes);

// Windows-1252 to UTF-8; the five unassigned bytes map to U+FFFD.
std::string Windows1252ToUtf8(const std::string& bytes);

// UTF-8 kept as it is when valid, else read as Windows-1252.
std::string DecodeText(const std::string& bytes);

// Appends the UTF-8 encoding of one code point.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace platform
