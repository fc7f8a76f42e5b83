#include "update/signup_validation.h"

#include "platform/strings.h"

namespace update {

using i18n::TextId;

namespace {

bool FitsFileName(const std::string& text) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) return false;
    }
    return text.find_first_of("/\\:*?\"<>|") == std::string::npos;
}

SignupVerdict Refused(i18n::TextId text) { return {false, text, LabelColour::Red, {}}; }

}  // namespace

SignupVerdict ValidateSignup(const std::string& name, const std::string& email,
                             const std::string& emailAgain) {
    const std::string address = platform::TrimControls(email);
    const std::string trimmedName = platform::TrimControls(name);
    if (name.empty() || !FitsFileName(trimmedName)) return Refused(TextId::NameMissing);
    if (platform::TrimControls(emailAgain) != address) return Refused(TextId::EmailsDiffer);
    if (address.find(' ') != std::string::npos || !FitsFileName(address)) {
        return Refused(TextId::InvalidEmail);
    }
    const size_t at = address.find('@');
    if (at == std::string::npos || address.find('.', at + 1) == std::string::npos) {
        return Refused(TextId::InvalidEmail);
    }
    return {true, TextId::SendingRegistration, std::nullopt, trimmedName + " [" + address + "]"};
}

}  // namespace update
