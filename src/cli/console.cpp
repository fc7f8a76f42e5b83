#include "cli/console.h"

#include "cli/terminal.h"

namespace cli {

Console::Console(std::FILE* out, std::FILE* err, bool outIsTerminal)
    : out_(out), err_(err), outIsTerminal_(outIsTerminal) {}

void Console::Write(std::FILE* stream, const std::string& text) {
    // A line left drawn would run into the text otherwise, on the same terminal.
    EndRedrawn();
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

namespace {
std::string Line(const std::string& text) {
    return text.ends_with('\n') ? Printable(text) : Printable(text) + "\n";
}
}  // namespace

void Console::Print(const std::string& text) { Write(out_, Line(text)); }

void Console::Error(const std::string& text) { Write(err_, Line(text)); }

void Console::Prompt(const std::string& text) { Write(err_, Printable(text)); }

void Console::Redraw(const std::string& line) {
    if (!outIsTerminal_) return;
    std::string shown = Printable(line);
    const size_t width = shown.size();
    // Blanks over what is left of a longer line before.
    if (width < drawnWidth_) shown += std::string(drawnWidth_ - width, ' ');
    std::fputs(("\r" + shown).c_str(), out_);
    std::fflush(out_);
    drawnWidth_ = width;
    drawn_ = true;
}

void Console::EndRedrawn() {
    if (!drawn_) return;
    drawn_ = false;
    drawnWidth_ = 0;
    std::fputs("\n", out_);
    std::fflush(out_);
}

std::string Printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7F) {
            out += '?';
        } else if (c == 0xC2 && i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80) {
            // U+0080 to U+009F: some terminals take U+009B as the start of a sequence.
            out += '?';
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

Console& StandardConsole() {
    static Console console(stdout, stderr, IsTerminal(stdout));
    return console;
}

}  // namespace cli
