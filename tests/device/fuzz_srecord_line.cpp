// Fuzz target: arbitrary text is split into lines as the programming runs load them; every
// line is read as an S-record, and the lines as a whole go through every builder a run
// uses. None may crash, and what they build must have the shape the device expects.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "device/bootloader_frames.h"
#include "device/granulo_frames.h"
#include "device/granulo_image.h"
#include "device/record_frames.h"
#include "device/tessara_frames.h"
#include "device/tessara_image.h"
#include "platform/files.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

void CheckImage(const std::variant<device::FlashImage, device::LineFault>& built, size_t size,
                size_t lines, size_t frameSize,
                std::vector<device::Frame> (*frames)(const device::FlashImage&)) {
    if (const auto* fault = std::get_if<device::LineFault>(&built)) {
        // A cut file is named by the line after its last one.
        Check(fault->fault == device::RecordFault::NoEndRecord ? fault->line == lines
                                                               : fault->line < lines);
        return;
    }
    const device::FlashImage& image = std::get<device::FlashImage>(built);
    Check(image.bytes.size() == size);
    Check(!image.dataBlocks.empty());  // the checksum's block is always sent
    for (const uint32_t at : image.dataBlocks) Check(at % 64 == 0 && at + 64 <= size);
    for (const device::Frame& f : frames(image)) Check(f.size() == frameSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = platform::SplitLines(text);
    for (const std::string& line : lines) {
        const auto record = device::ReadSRecordLine(line);
        if (record && (record->type == '1' || record->type == '2')) {
            // What was read must be what the line says it holds.
            const size_t overhead = record->type == '1' ? 3 : 4;
            Check(record->data.size() + overhead == record->count);
            const auto frame = device::BuildFlashRecord(*record);
            if (const auto* f = std::get_if<device::Frame>(&frame)) {
                // Command, count, 3 address bytes, count − 4 data bytes, checksum.
                Check(f->size() == 1 + 1 + 3 + record->data.size() + 1);
                Check(static_cast<uint8_t>((*f)[1]) == record->data.size() + 4);
            }
        }
        (void)device::HexAddr24(line);
    }

    for (const device::Frame& f : device::LoadRecordsFor(lines).frames)
        Check(f.size() >= 8 && static_cast<uint8_t>(f[5]) == f.size() - 8);
    const auto flash = device::FlashRecordsFor(lines, *device::FlashWindowFor(3));
    Check(!flash.fault || flash.fault->line <= lines.size());
    CheckImage(device::BuildTessaraImage(lines), device::kTessaraImageSize, lines.size(), 69,
               device::TessaraPageWritesFor);
    CheckImage(device::BuildGranuloImage(lines), device::kGranuloImageSize, lines.size(), 68,
               device::GranuloBlockFlashWritesFor);
    return 0;
}
