#pragma once
// Reading a language file: line 1 names the language, line 2 gives its version, every
// later line with "=" sets one text by its number.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace i18n {

// The text after the first "=", cut before the first "#", without blanks and control
// characters at either end.
std::string LineValue(const std::string& line);

struct LanguageFile {
    enum class Status {
        Ok,
        BadNameLine,     // line 1 missing or without "Language="
        BadVersionLine,  // line 2 missing, without "Version=", or not a whole number
    };
    Status status = Status::BadNameLine;
    std::string name;  // set whenever line 1 was good, also when line 2 is not
    int version = 0;
    // Keyed texts in file order; keys are within 1..100.
    std::vector<std::pair<int, std::string>> texts;
};

// Parses the lines of a language file. Lines are decoded as UTF-8 when valid, else as
// Windows-1252. Keyed lines whose key is not a whole number in 1..100 are ignored.
LanguageFile ParseLanguageFile(const std::vector<std::string>& lines);

}  // namespace i18n
