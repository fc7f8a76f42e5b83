#include "update/batch_scripts.h"

namespace update {

namespace {

bool NeedsQuotes(const std::string& argument) {
    return argument.empty() || argument.find_first_of(" \t\"&|<>^\r\n") != std::string::npos;
}

}  // namespace

std::string QuoteBatchArgument(const std::string& argument) {
    const bool quoted = NeedsQuotes(argument);
    std::string out = quoted ? "\"" : "";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count as escapes only in front of a quote: there they are doubled.
        out.append(c == '"' ? 2 * backslashes : backslashes, '\\');
        backslashes = 0;
        if (c == '"') {
            out += "\"\"";
        } else if (c == '%') {
            out += "%%";
        } else if (c == '\r' || c == '\n') {
            out += ' ';
        } else {
            out += c;
        }
    }
    out.append(quoted ? 2 * backslashes : backslashes, '\\');
    if (quoted) out += '"';
    return out;
}

std::vector<std::string> DriverInstallBatch(const std::string& dataDir,
                                            const std::string& installer) {
    const std::string file = dataDir + installer;
    return {
        "@echo off",
        "start \"\" /wait \"" + file + "\"",
        "del \"ArvexDriver_*.exe\"",
        "move \"" + file + "\"",
        std::string("del ") + kDriverBatchName,
    };
}

std::vector<std::string> SelfUpdateBatch(const std::string& dataDir, const std::string& installer,
                                         const std::vector<std::string>& arguments) {
    const std::string file = dataDir + installer;
    std::string restart = "start ArvexUpdate.exe";
    for (const auto& argument : arguments) restart += " " + QuoteBatchArgument(argument);
    return {
        "@echo off",
        "set /A timeout = 0",
        ":Retry",
        "set /A timeout += 1",
        "if %timeout% GTR 100 goto :StopTrying",
        "xcopy \"" + file + "\" ArvexUpdate.exe /y",
        "if errorlevel 4 goto Retry",
        "goto Finish",
        ":StopTrying",
        "echo MsgBox \"Unable to update program due to restricted access.\", 16, \"Error "
        "message\" > message.vbs",
        "message.vbs",
        "del message.vbs",
        ":Finish",
        "del \"" + file + "\"",
        restart,
        std::string("del ") + kSelfUpdateBatchName,
    };
}

}  // namespace update
