#include "device/run_texts.h"

#include "device/terminal_search.h"

namespace device {

using i18n::TextId;

std::string TerminalNotFoundText(const i18n::TextTable& texts, TextId secondLine,
                                 const std::vector<DeniedPort>& denied) {
    std::string text = texts[TextId::PlantrixNotFound] + kLineBreak + texts[secondLine];
    for (const DeniedPort& port : denied)
        text += kLineBreak + std::string(kLineBreak) + AccessDeniedNote(port);
    return text;
}

std::string ErrorCodeText(const i18n::TextTable& texts, int code, const std::string& separator) {
    return texts[TextId::AnErrorOccurred] + kLineBreak + texts[TextId::ErrorCode] + separator +
           std::to_string(code);
}

}  // namespace device
