// Fuzz target: arbitrary bytes, split at NUL into arguments, as a shell would hand them to
// arvex. Reading them may not crash; a refusal is one line without control characters, and
// what is accepted holds only values the jobs can use safely.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "comm/serial/com_device_path.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

bool Printable(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    const cli::ParseResult result = cli::ParseArguments(args);
    switch (result.kind) {
        case cli::ParseResult::Kind::UsageError:
            Check(!result.text.empty() && Printable(result.text));
            break;
        case cli::ParseResult::Kind::Run: {
            const cli::Invocation& run = result.invocation;
            if (run.port) Check(*run.port >= 1 && !zp::ComDevicePath(*run.port).empty());
            if (run.machine)
                Check(!run.machine->empty() && Printable(*run.machine) &&
                      run.machine->find_first_of("/\\*?_") == std::string::npos);
            if (run.release)
                Check(run.service && !run.release->empty() && Printable(*run.release) &&
                      run.release->find_first_of("/\\*?") == std::string::npos);
            if (run.folder) Check(!run.folder->empty() && Printable(*run.folder));
            if (run.tessara) Check(run.service && !run.machine);
            break;
        }
        case cli::ParseResult::Kind::Help:
        case cli::ParseResult::Kind::Version:
            break;
    }
    return 0;
}
