#pragma once
// The result texts that the programming runs return for the wizard to show.
#include <string>
#include <vector>

#include "device/serial_link.h"
#include "i18n/text_table.h"

namespace device {

// Lines of a result text end with this.
inline constexpr const char* kLineBreak = "\n";

// Text 12, a line break, `secondLine` (text 13 for the terminal, 67 for the Tessara
// path) and, for every port the user may not open and every port another program held,
// a note of its own below them.
std::string TerminalNotFoundText(const i18n::TextTable& texts, i18n::TextId secondLine,
                                 const SearchReport& search);

// "Found on COM5 (/dev/ttyUSB0)" after a search that found the terminal, else empty.
std::string FoundPortLine(const SearchReport& search);

// Text 19, a line break, text 20 and `what`: the error code with or without a blank before
// it (" 5", "1"), or the words that name the step that failed.
std::string ErrorText(const i18n::TextTable& texts, const std::string& what);

}  // namespace device
