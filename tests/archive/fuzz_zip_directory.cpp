// Fuzz target: an archive of arbitrary bytes goes through the directory reader (ordinary
// and 64-bit end records, 64-bit extra fields), the name decoding and, for every member
// small enough, the engine's member decoder. Besides crashes it stops on a listed name
// holding a NUL and on a member decoded without the CRC-32 its entry declares.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "archive/engine/member_extractor.h"
#include "archive/format/byte_source.h"
#include "archive/format/central_directory.h"
#include "archive/format/crc32.h"
#include "archive/zip_dir_entry.h"

namespace {
constexpr uint64_t kLargestDecoded = 1u << 20;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ziparchive::MemorySource source(data, size);
    const ziparchive::CentralDirectory dir = ziparchive::ReadCentralDirectory(source);
    const std::atomic<bool> noAbort{false};
    for (const ziparchive::CentralHeader& header : dir.headers) {
        if (header.rawName.find('\0') != std::string::npos) std::abort();
        const ziparchive::ZipDirEntry entry = ziparchive::MakeDirEntry(header, ziparchive::ZipCodePage::cpAuto);
        (void)ziparchive::HasFilePart(entry.fileName);
        (void)ziparchive::SameMemberName(entry.fileName, "FW0104.s19");
        if (header.uncompressedSize > kLargestDecoded) continue;
        const size_t length = static_cast<size_t>(header.uncompressedSize);
        std::unique_ptr<uint8_t[]> block(new uint8_t[length + 1]);
        if (zipengine::ExtractMember(source, dir.archiveOffset, header, block.get(), length,
                                     noAbort) == 0 &&
            ziparchive::Crc32(block.get(), length) != header.crc32) {
            std::abort();
        }
    }
    return 0;
}
