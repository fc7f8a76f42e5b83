#pragma once
// Where arvex writes: results on standard output, messages on standard error, and on a
// terminal one line that is drawn again in place (the progress bar). Every text passes
// through Printable first: texts from language files and the update server must not reach
// the terminal as control sequences.
#include <cstdio>
#include <string>

namespace cli {

class Console {
  public:
    // `outIsTerminal`: standard output is a terminal, where a line can be drawn again.
    Console(std::FILE* out, std::FILE* err, bool outIsTerminal);

    bool OutputIsTerminal() const { return outIsTerminal_; }

    // A text on standard output, ended by a line end (one is added when it has none).
    void Print(const std::string& text);
    // A text on standard error, ended by a line end.
    void Error(const std::string& text);
    // A question's prompt on standard error, without a line end.
    void Prompt(const std::string& text);
    // Draws `line` over the one drawn before (terminal only; ignored elsewhere).
    void Redraw(const std::string& line);
    // Leaves the drawn line as it is; what is written next starts below it.
    void EndRedrawn();

  private:
    void Write(std::FILE* stream, const std::string& text);

    std::FILE* out_;
    std::FILE* err_;
    bool outIsTerminal_;
    size_t drawnWidth_ = 0;
    bool drawn_ = false;
};

// `text` with every control character but line end and tab, including the 8-bit ones in
// their UTF-8 form, replaced by "?".
std::string Printable(const std::string& text);

// The console of the process: standard output and error, a terminal found as it is.
Console& StandardConsole();

}  // namespace cli
