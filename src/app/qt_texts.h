#pragma once
// Qt's own texts, the buttons of the message boxes (Yes, No, OK, Cancel) among them,
// in the language in use.
#include <string>

namespace app {

// Takes Qt's translation for the language a language file names, by its own name
// ("Deutsch") or its English one ("German"), case aside. A language Qt has no
// translation for, and an empty name, leave Qt's texts English.
void UseQtTextsFor(const std::string& language);

}  // namespace app
