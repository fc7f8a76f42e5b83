// Fuzz target: an archive of arbitrary bytes goes through the directory reader, the name
// decoding and, for every member small enough, the engine's member decoder.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/engine/member_extractor.h"
#include "archive/format/byte_source.h"
#include "archive/format/central_directory.h"
#include "archive/zip_dir_entry.h"

namespace {
constexpr uint64_t kLargestDecoded = 1u << 20;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ziparchive::MemorySource source(data, size);
    const ziparchive::CentralDirectory dir = ziparchive::ReadCentralDirectory(source);
    const std::atomic<bool> noAbort{false};
    for (const ziparchive::CentralHeader& header : dir.headers) {
        const ziparchive::ZipDirEntry entry = ziparchive::MakeDirEntry(header, ziparchive::ZipCodePage::cpAuto);
        (void)ziparchive::HasFilePart(entry.fileName);
        (void)ziparchive::SameMemberName(entry.fileName, "FW0104.s19");
        if (header.uncompressedSize > kLargestDecoded) continue;
        std::unique_ptr<uint8_t[]> block(new uint8_t[header.uncompressedSize + 1]);
        (void)zipengine::ExtractMember(source, dir.archiveOffset, header, block.get(),
                                       header.uncompressedSize, noAbort);
    }
    return 0;
}
