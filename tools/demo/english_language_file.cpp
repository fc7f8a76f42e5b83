// arvex-english-language-file [VERSION]: writes the program's built-in English texts as a
// language file on standard output, so that an English file on the demo server says
// exactly what the program says without one.
#include <cstdio>
#include <optional>
#include <string>

#include "i18n/language_file.h"
#include "i18n/text_table.h"
#include "platform/strings.h"

int main(int argc, char** argv) {
    const auto version = argc > 1 ? platform::ParseWholeNumber(argv[1]) : std::optional<int>(1);
    if (argc > 2 || !version || *version < 1) {
        std::fputs("usage: arvex-english-language-file [VERSION (1 or more)]\n", stderr);
        return 2;
    }
    i18n::TextTable texts;
    i18n::SetDefaultTexts(texts);

    std::string file = "Language=English\r\nVersion=" + std::to_string(*version) + "\r\n";
    for (int n = i18n::TextTable::kFirst; n <= i18n::kLastBuiltInText; ++n) {
        const std::string line = std::to_string(n) + "=" + texts[n];
        // A "#" or a blank at either end would not survive the reader.
        if (i18n::LineValue(line) != texts[n]) {
            std::fprintf(stderr, "arvex-english-language-file: text %d cannot be written: %s\n", n,
                         texts[n].c_str());
            return 1;
        }
        file += line + "\r\n";
    }
    return std::fwrite(file.data(), 1, file.size(), stdout) == file.size() ? 0 : 1;
}
