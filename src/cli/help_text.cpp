#include "cli/help_text.h"

#include <sstream>
#include <vector>

namespace cli {

namespace {

constexpr size_t kWidth = 78;
constexpr size_t kOptionColumn = 18;

const char* const kQuestions =
    "Questions (for example whether to install a newly fetched driver) are asked on\n"
    "the terminal. When standard input or standard error is not a terminal, nobody is\n"
    "asked and the answer is No.\n";

const char* const kExitStatus =
    "Exit status: 0 when the command succeeded; 1 to 9 when a programming run failed\n"
    "with that error code; 10 for any other failure (no terminal found, a run refused\n"
    "before anything was sent, a check that ended with an error); 64 for a mistake in\n"
    "the arguments; 130 when Ctrl+C stopped it.\n";

// `words` in lines of at most kWidth, every line after the first indented by `indent`.
std::string Wrapped(const std::vector<std::string>& words, size_t indent) {
    std::string out, line;
    for (const std::string& word : words) {
        if (!line.empty() && indent + line.size() + 1 + word.size() > kWidth) {
            out += line + "\n" + std::string(indent, ' ');
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line;
}

std::string Wrapped(const std::string& text, size_t indent) {
    std::istringstream split(text);
    std::vector<std::string> words;
    for (std::string word; split >> word;) words.push_back(word);
    return Wrapped(words, indent);
}

std::string OptionLine(const std::string& left, const std::string& help) {
    std::string line = "  " + left;
    line += line.size() + 1 < kOptionColumn ? std::string(kOptionColumn - line.size(), ' ')
                                            : "\n" + std::string(kOptionColumn, ' ');
    return line + Wrapped(help, kOptionColumn) + "\n";
}

// "arvex NAME [--option VALUE] ...", an option and its value never split.
std::string Synopsis(const CommandInfo& info) {
    std::vector<std::string> words = {"arvex", info.name};
    for (const Option option : info.options) {
        const OptionInfo& o = InfoOf(option);
        words.push_back("[" + std::string(o.name) + (o.value ? " " + std::string(o.value) : "") +
                        "]");
    }
    const std::string usage = "Usage: ";
    return usage + Wrapped(words, usage.size() + words[0].size() + words[1].size() + 2);
}

}  // namespace

std::string GeneralHelp() {
    std::string text =
        "Usage: arvex COMMAND [OPTIONS]\n"
        "       arvex COMMAND --help\n"
        "       arvex --help | --version\n"
        "\n"
        "Checks for updates and programs the Solvenda Plantrix terminal from a terminal\n"
        "or a remote shell, with the same folders and rules as the ArvexUpdate window.\n"
        "\n"
        "Commands:\n";
    for (const CommandInfo& info : Commands()) text += OptionLine(info.name, info.summary);
    return text + "\n" + kQuestions + "\n" + kExitStatus;
}

std::string CommandHelp(const CommandInfo& info) {
    std::string text = Synopsis(info) + "\n\n" + info.description + "\n\nOptions:\n";
    for (const Option option : info.options) {
        const OptionInfo& o = InfoOf(option);
        text +=
            OptionLine(std::string(o.name) + (o.value ? " " + std::string(o.value) : ""), o.help);
    }
    text += OptionLine("--help", "show this text");
    if (info.command == Command::Check) text += std::string("\n") + kQuestions;
    return text + "\n" + kExitStatus;
}

}  // namespace cli
