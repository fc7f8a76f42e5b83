#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/help_text.h"
#include "comm/serial/com_device_path.h"
#include "device/terminal_search.h"

namespace cli {

namespace {

// Long enough for any folder a user types; a value beyond it is a mistake or an attack.
constexpr size_t kMaxFolderLength = 4096;
// Machine types and releases are parts of file names on the update server.
constexpr size_t kMaxNameLength = 64;
constexpr size_t kMaxShownLength = 40;

// `text` without any control character, line ends and tabs included: an argument is
// quoted on one line.
std::string OnOneLine(std::string_view text) {
    std::string line = Printable(std::string(text));
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\n' || c == '\t'; }, '?');
    return line;
}

bool HasControlCharacters(std::string_view text) { return OnOneLine(text) != text; }

// An argument as a message quotes it: short, on one line, and harmless to the terminal.
std::string Quoted(std::string_view argument) {
    std::string shown(argument.substr(0, kMaxShownLength));
    // Not cut inside a UTF-8 sequence.
    while (shown.size() < argument.size() && !shown.empty() &&
           (static_cast<unsigned char>(argument[shown.size()]) & 0xC0) == 0x80)
        shown.pop_back();
    if (shown.size() < argument.size()) shown += "...";
    return "'" + OnOneLine(shown) + "'";
}

ParseResult Usage(std::string text) {
    ParseResult result;
    result.text = std::move(text);
    return result;
}

ParseResult Help(std::string text) {
    ParseResult result;
    result.kind = ParseResult::Kind::Help;
    result.text = std::move(text);
    return result;
}

// A name that becomes part of a file pattern in the data folder: no folder separators, no
// wildcards, and for a machine type no "_", which ends it in a file name.
std::string CheckName(std::string_view value, std::string_view forbidden) {
    if (value.size() > kMaxNameLength) return Quoted(value) + " is too long";
    if (HasControlCharacters(value) || value.find_first_of(forbidden) != std::string_view::npos)
        return Quoted(value) + " may not contain control characters or any of " +
               std::string(forbidden);
    return {};
}

// Stores the value of `option`; the reason when it is not acceptable.
std::string StoreOption(Invocation& invocation, Option option, std::string_view value) {
    switch (option) {
        case Option::Port: {
            const auto port = ParseComPort(value);
            if (!port)
                return Quoted(value) + " is not a COM port: COM1 to COM" +
                       std::to_string(device::kHighestComPort) + ", or the number alone";
            if (zp::ComDevicePath(*port).empty())
                return "COM" + std::to_string(*port) +
                       " names no device on this system (without ARVEX_COM_PORTS: COM1 to COM96)";
            invocation.port = *port;
            return {};
        }
        case Option::Machine:
            if (auto fault = CheckName(value, "/\\*?_"); !fault.empty()) return fault;
            invocation.machine = std::string(value);
            return {};
        case Option::Release:
            if (auto fault = CheckName(value, "/\\*?"); !fault.empty()) return fault;
            invocation.release = std::string(value);
            return {};
        case Option::Folder:
            if (value.size() > kMaxFolderLength) return "the folder's name is too long";
            if (HasControlCharacters(value)) return Quoted(value) + " contains control characters";
            invocation.folder = std::string(value);
            return {};
        case Option::Service:
            invocation.service = true;
            return {};
        case Option::Tessara:
            invocation.tessara = true;
            return {};
    }
    return {};
}

// Rules between options, as the window offers its choices.
std::string CheckCombination(const Invocation& invocation) {
    if (invocation.tessara && !invocation.service)
        return "--tessara needs --service: the Tessara is programmed in service mode";
    if (invocation.tessara && invocation.machine)
        return "--tessara and --machine do not go together: the Tessara's firmware has no "
               "machine type";
    if (invocation.release && !invocation.service)
        return "--release needs --service: a release is chosen by hand in service mode only";
    return {};
}

ParseResult ParseCommand(const CommandInfo& info, const std::vector<std::string>& args) {
    const std::string name = info.name;
    auto usage = [&](const std::string& fault) {
        return Usage("arvex " + name + ": " + fault + " (see arvex " + name + " --help)");
    };
    ParseResult result;
    result.kind = ParseResult::Kind::Run;
    result.invocation.command = info.command;
    std::set<Option> given;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") return Help(CommandHelp(info));
        if (!arg.starts_with("--")) return usage("unexpected argument " + Quoted(arg));
        const size_t equals = arg.find('=');
        const std::string_view optionName = arg.substr(0, equals);
        const OptionInfo* option = FindOption(optionName);
        if (option == nullptr) return usage("unknown option " + Quoted(optionName));
        if (std::find(info.options.begin(), info.options.end(), option->option) ==
            info.options.end())
            return usage("option " + std::string(option->name) + " does not apply to " + name);
        if (!given.insert(option->option).second)
            return usage("option " + std::string(option->name) + " is given twice");

        std::string_view value;
        if (option->value == nullptr) {
            if (equals != std::string_view::npos)
                return usage("option " + std::string(option->name) + " takes no value");
        } else if (equals != std::string_view::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size() && !std::string_view(args[i + 1]).starts_with("--")) {
            value = args[++i];
        }
        if (option->value != nullptr && value.empty())
            return usage("option " + std::string(option->name) + " needs a value, " +
                         option->value);
        if (auto fault = StoreOption(result.invocation, option->option, value); !fault.empty())
            return usage(std::string(option->name) + ": " + fault);
    }
    if (auto fault = CheckCombination(result.invocation); !fault.empty()) return usage(fault);
    return result;
}

}  // namespace

std::optional<unsigned> ParseComPort(std::string_view text) {
    if (text.size() >= 3) {
        std::string prefix(text.substr(0, 3));
        std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (prefix == "COM") text.remove_prefix(3);
    }
    if (text.empty()) return std::nullopt;
    unsigned number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
        if (number > static_cast<unsigned>(device::kHighestComPort)) return std::nullopt;
    }
    if (number == 0) return std::nullopt;
    return number;
}

ParseResult ParseArguments(const std::vector<std::string>& args) {
    if (args.empty()) return Usage("arvex: no command given (see arvex --help)");
    const std::string_view first = args[0];
    if (first == "--help" || first == "-h") {
        if (args.size() == 1) return Help(GeneralHelp());
        const CommandInfo* info = FindCommand(args[1]);
        if (args.size() == 2 && info != nullptr) return Help(CommandHelp(*info));
        return Usage("arvex: --help takes a command's name at most (see arvex --help)");
    }
    if (first == "--version") {
        if (args.size() > 1) return Usage("arvex: --version takes no arguments");
        ParseResult result;
        result.kind = ParseResult::Kind::Version;
        return result;
    }
    if (first.starts_with("-"))
        return Usage("arvex: unknown option " + Quoted(first) + " (see arvex --help)");
    const CommandInfo* info = FindCommand(first);
    if (info == nullptr)
        return Usage("arvex: unknown command " + Quoted(first) + " (see arvex --help)");
    return ParseCommand(*info, args);
}

}  // namespace cli
