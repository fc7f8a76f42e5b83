#include "device/run_texts.h"

#include "device/terminal_search.h"

namespace device {

using i18n::TextId;

std::string TerminalNotFoundText(const i18n::TextTable& texts, TextId secondLine,
                                 const SearchReport& search) {
    const std::string gap = std::string(kLineBreak) + kLineBreak;
    std::string text = texts[TextId::PlantrixNotFound] + kLineBreak + texts[secondLine];
    for (const ComPortDevice& port : search.denied) text += gap + AccessDeniedNote(port);
    for (const ComPortDevice& port : search.busy) text += gap + PortBusyNote(port);
    return text;
}

std::string FoundPortLine(const SearchReport& search) {
    return search.found ? FoundOnText(*search.found) : std::string();
}

std::string ErrorText(const i18n::TextTable& texts, const std::string& what) {
    return texts[TextId::AnErrorOccurred] + kLineBreak + texts[TextId::ErrorCode] + what;
}

}  // namespace device
