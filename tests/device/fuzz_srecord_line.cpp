// Fuzz target: arbitrary text is split into lines as the programming runs load them and
// every line is read as an S-record.
#include <cstddef>
#include <cstdint>
#include <string>

#include "device/srecord.h"
#include "platform/files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const std::string& line : platform::SplitLines(text)) {
        const auto record = device::ReadSRecordLine(line);
        if (record && (record->type == '1' || record->type == '2')) {
            // What was read must be what the line says it holds.
            const size_t overhead = record->type == '1' ? 3 : 4;
            if (record->data.size() + overhead != record->count) __builtin_trap();
        }
        (void)device::HexAddr24(line);
    }
    return 0;
}
