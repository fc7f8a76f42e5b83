#include "cli/language_texts.h"

#include "i18n/language_file.h"
#include "i18n/language_folder.h"
#include "platform/files.h"

namespace cli {

std::string LoadLanguageInUse(const std::string& programDir, i18n::TextTable& texts) {
    texts.Clear();
    i18n::SetDefaultTexts(texts);
    const std::string path = programDir + i18n::kDefaultLanguageFile;
    if (!platform::FileExists(path)) return {};
    const auto lines = i18n::ReadLanguageFileLines(path);
    const i18n::LanguageFile file =
        i18n::ParseLanguageFile(lines.value_or(std::vector<std::string>{}));
    if (file.status != i18n::LanguageFile::Status::Ok)
        return "Error in text file " + path + "; the texts are English";
    for (const auto& [key, text] : file.texts) texts.Set(key, text);
    return {};
}

}  // namespace cli
