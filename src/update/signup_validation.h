#pragma once
// The checks of the sign-up page before a registration is sent. The registration travels
// as the name of an empty file, in DataDir and on the server, so a name or address that no
// file name can hold is refused here, before any path is built from it.
#include <optional>
#include <string>

#include "i18n/text_id.h"
#include "update/label_colour.h"

namespace update {

struct SignupVerdict {
    bool valid = false;
    i18n::TextId text{};                // the entry of the text table the label shows
    std::optional<LabelColour> colour;  // nothing: the label keeps its colour
    std::string signupName;             // when valid: name + " [" + address + "]", trimmed
};

// In this order: the name as typed must not be empty (text 54) and, trimmed, must hold no
// character a file name cannot (text 54); the two addresses, trimmed, must be equal
// (text 50); the address must hold no blank and no character a file name cannot, an "@"
// and a "." after it (text 51). Failures are red; success shows text 53 and leaves the
// colour.
SignupVerdict ValidateSignup(const std::string& name, const std::string& email,
                             const std::string& emailAgain);

}  // namespace update
