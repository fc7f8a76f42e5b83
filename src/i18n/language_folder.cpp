#include "i18n/language_folder.h"

#include <optional>

#include "i18n/language_file.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/strings.h"

namespace i18n {

namespace {
constexpr size_t kMaxLanguageFileBytes = 1024 * 1024;

std::string LanguageOf(const std::string& fileName) {
    const size_t underscore = fileName.find('_');
    return underscore == std::string::npos ? std::string() : fileName.substr(0, underscore);
}

// The number between the first "_" and the first "." of the name.
std::optional<int> VersionOf(const std::string& fileName) {
    const size_t underscore = fileName.find('_');
    const size_t dot = fileName.find('.');
    if (underscore == std::string::npos || dot == std::string::npos || dot < underscore)
        return std::nullopt;
    return platform::ParseWholeNumber(fileName.substr(underscore + 1, dot - underscore - 1));
}
}  // namespace

std::optional<std::vector<std::string>> ReadLanguageFileLines(const std::string& path) {
    return platform::ReadTextLines(path, kMaxLanguageFileBytes);
}

std::vector<std::string> LanguageNames(const std::string& languageDir) {
    std::vector<std::string> names;
    for (const auto& file : platform::ListFiles(languageDir, "*.lan")) {
        const std::string name = LanguageOf(file);
        if (name.empty()) continue;
        bool known = false;
        for (const auto& n : names) known = known || platform::SameTextIgnoringCase(n, name);
        if (!known) names.push_back(name);
    }
    return names;
}

bool SameOrNewerVersionHeld(const std::string& languageDir, const std::string& fileName) {
    const std::string language = LanguageOf(fileName);
    const auto version = VersionOf(fileName);
    if (language.empty() || !version) return false;
    for (const auto& file : platform::ListFiles(languageDir, "*.lan")) {
        if (!platform::SameTextIgnoringCase(LanguageOf(file), language)) continue;
        if (const auto held = VersionOf(file); held && *held >= *version) return true;
    }
    return false;
}

LanguageChoice ChooseLanguageFile(const std::string& languageDir, const std::string& programDir,
                                  const std::string& name) {
    if (name.empty()) return {ChooseResult::NothingFound, {}};
    std::vector<std::pair<std::string, int>> files;
    for (const auto& file : platform::ListFiles(languageDir, name + "*.lan")) {
        if (file.find('_') == std::string::npos) continue;
        if (!platform::SameTextIgnoringCase(LanguageOf(file), name)) continue;
        const auto version = VersionOf(file);
        // Decide before deleting anything, so a stray name cannot cost the good files.
        if (!version) return {ChooseResult::BadFileName, file};
        files.emplace_back(file, *version);
    }
    if (files.empty()) return {ChooseResult::NothingFound, {}};

    const std::pair<std::string, int>* best = nullptr;
    for (const auto& f : files)
        if (f.second > (best ? best->second : 0)) best = &f;
    if (best == nullptr) return {ChooseResult::NoVersion, files.front().first};

    const auto lines = ReadLanguageFileLines(languageDir + best->first);
    if (!lines) return {ChooseResult::Unreadable, best->first};
    if (!platform::WriteTextLines(programDir + kDefaultLanguageFile, *lines))
        return {ChooseResult::CopyFailed, best->first};
    // Only once the copy stands are the older files removed; a failed delete is left alone.
    for (const auto& f : files)
        if (&f != best) platform::DeleteFile(languageDir + f.first);
    return {ChooseResult::Chosen, best->first};
}

std::string ChoiceRefusalText(const LanguageChoice& choice, const std::string& name) {
    const std::string quoted = "\"" + choice.file + "\"";
    switch (choice.result) {
        case ChooseResult::NothingFound:
            return "No file of the language \"" + name + "\" is left in the language folder.";
        case ChooseResult::NoVersion:
            return "The language file " + quoted + " has no version of 1 or more.";
        case ChooseResult::BadFileName:
            return "The version in the name of the language file " + quoted +
                   " is not a whole number.";
        case ChooseResult::Unreadable:
            return "The language file " + quoted + " cannot be read or is larger than 1 MiB.";
        case ChooseResult::CopyFailed:
            return std::string("The language could not be stored as \"") + kDefaultLanguageFile +
                   "\" in the program folder.";
        case ChooseResult::Chosen:
            break;
    }
    return {};
}

}  // namespace i18n
