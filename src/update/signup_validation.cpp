#include "update/signup_validation.h"

#include "platform/strings.h"
#include "update/update_texts.h"

namespace update {

namespace {

bool FitsFileName(const std::string& text) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) return false;
    }
    return text.find_first_of("/\\:*?\"<>|") == std::string::npos;
}

SignupVerdict Refused(int text) { return {false, text, LabelColour::Red, {}}; }

}  // namespace

SignupVerdict ValidateSignup(const std::string& name, const std::string& email,
                             const std::string& emailAgain) {
    const std::string address = platform::TrimControls(email);
    const std::string trimmedName = platform::TrimControls(name);
    if (name.empty() || !FitsFileName(trimmedName)) return Refused(text::kWriteName);
    if (platform::TrimControls(emailAgain) != address) return Refused(text::kEmailsDiffer);
    if (address.find(' ') != std::string::npos || !FitsFileName(address)) {
        return Refused(text::kWriteValidEmail);
    }
    const size_t at = address.find('@');
    if (at == std::string::npos || address.find('.', at + 1) == std::string::npos) {
        return Refused(text::kWriteValidEmail);
    }
    return {true, text::kSendingRegistration, std::nullopt, trimmedName + " [" + address + "]"};
}

}  // namespace update
