#include "i18n/language_file.h"

#include "platform/strings.h"
#include "platform/text_codec.h"

namespace i18n {

std::string LineValue(const std::string& line) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return std::string();
    std::string value = line.substr(eq + 1);
    const size_t hash = value.find('#');
    if (hash != std::string::npos) value.resize(hash);
    return platform::TrimControls(value);
}

LanguageFile ParseLanguageFile(const std::vector<std::string>& rawLines) {
    // Decide the encoding on the whole file, so that one line is never read differently
    // from the next.
    std::string all;
    for (const auto& l : rawLines) {
        all += l;
        all += '\n';
    }
    const bool utf8 = platform::IsValidUtf8(all);
    auto decode = [utf8](const std::string& s) {
        return utf8 ? s : platform::Windows1252ToUtf8(s);
    };

    LanguageFile file;
    if (rawLines.empty() || rawLines[0].find("Language=") == std::string::npos) {
        file.status = LanguageFile::Status::BadNameLine;
        return file;
    }
    file.name = decode(LineValue(rawLines[0]));
    file.status = LanguageFile::Status::BadVersionLine;
    if (rawLines.size() < 2 || rawLines[1].find("Version=") == std::string::npos) return file;
    const auto version = platform::ParseWholeNumber(LineValue(rawLines[1]));
    if (!version) return file;
    file.version = *version;
    for (size_t i = 2; i < rawLines.size(); ++i) {
        const std::string& line = rawLines[i];
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const auto key = platform::ParseWholeNumber(line.substr(0, eq));
        if (!key || *key < 1 || *key > 100) continue;
        file.texts.emplace_back(*key, decode(LineValue(line)));
    }
    file.status = LanguageFile::Status::Ok;
    return file;
}

}  // namespace i18n
