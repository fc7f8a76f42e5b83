#pragma once
// The table of user-interface texts: entries 1 to 100, all empty until filled from the
// built-in English texts or a language file.
#include <array>
#include <string>

#include "i18n/text_id.h"

namespace i18n {

class TextTable {
public:
    static constexpr int kFirst = 1;
    static constexpr int kLast = 100;

    static bool IsKey(int n) { return n >= kFirst && n <= kLast; }

    // Text n; an index outside 1..100 gives the empty text rather than undefined memory.
    const std::string& operator[](int n) const { return IsKey(n) ? texts_[n] : empty_; }
    const std::string& operator[](TextId id) const { return (*this)[static_cast<int>(id)]; }
    void Set(int n, std::string text) {
        if (IsKey(n)) texts_[n] = std::move(text);
    }
    void Clear() { texts_.fill(std::string()); }

private:
    std::array<std::string, kLast + 1> texts_{};
    std::string empty_;
};

// Fills entries 1..71 with the built-in English texts; entries 72..100 are left as they are.
void SetDefaultTexts(TextTable& texts);

}  // namespace i18n
