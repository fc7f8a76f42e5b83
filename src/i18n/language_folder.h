#pragma once
// The language folder: which languages it offers, and making the newest file of one
// language the program's "default.lan".
#include <optional>
#include <string>
#include <vector>

namespace i18n {

inline constexpr const char* kDefaultLanguageFile = "default.lan";

// The lines of a language file as stored, or nothing when it cannot be read or is larger
// than any real language file (1 MiB).
std::optional<std::vector<std::string>> ReadLanguageFileLines(const std::string& path);

// Language names for the list: the part of each "*.lan" file name before the first "_",
// in listing order, each name once (compared without regard to case). Names without "_"
// are not languages.
std::vector<std::string> LanguageNames(const std::string& languageDir);

enum class ChooseResult {
    NothingFound,  // no file of that language; nothing changed
    NoVersion,     // files found, none with a version of 1 or more; nothing changed
    BadFileName,   // a file's version is not a whole number; nothing changed
    Unreadable,    // the newest file cannot be read or is larger than 1 MiB; nothing changed
    CopyFailed,    // "default.lan" could not be written; the old one is kept
    Chosen,        // "default.lan" now holds the newest file of the language
};

struct LanguageChoice {
    ChooseResult result = ChooseResult::NothingFound;
    std::string file;  // the file it is about: the one chosen, refused or with a bad name
};

// Whether `languageDir` holds a file of the language of `fileName` in its version or a
// newer one. Choosing a language deletes its older files, so an older one fetched again
// would be deleted again at every choice.
bool SameOrNewerVersionHeld(const std::string& languageDir, const std::string& fileName);

// Keeps only the newest file of `name` in `languageDir` (the first found of equal versions)
// and copies it to `programDir` + "default.lan". Only files whose part before the first
// "_" equals `name` (without regard to case) belong to the language.
LanguageChoice ChooseLanguageFile(const std::string& languageDir, const std::string& programDir,
                                  const std::string& name);

// Why the choice of `name` changed nothing, for the user; empty when it did not fail.
std::string ChoiceRefusalText(const LanguageChoice& choice, const std::string& name);

}  // namespace i18n
