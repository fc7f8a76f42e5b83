#include "archive/engine/member_extractor.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

#include "archive/engine/zip_engine_api.h"
#include "archive/format/crc32.h"

namespace zipengine {

namespace {

using ziparchive::Get16;
using ziparchive::Get32;

constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr uint16_t kEncryptedFlag = 0x0001;
constexpr size_t kInputChunk = 256 * 1024;
constexpr uint64_t kOutputChunk = 1u << 30;

// Where the member's data starts, or a negative error.
int64_t DataStart(ziparchive::ByteSource& archive, int64_t archiveOffset,
                  const ziparchive::CentralHeader& header) {
    int64_t local = 0;
    if (header.localHeaderOffset > static_cast<uint64_t>(INT64_MAX) ||
        __builtin_add_overflow(archiveOffset, static_cast<int64_t>(header.localHeaderOffset),
                               &local) ||
        local < 0) {
        return ZE_ErrStructure;
    }
    uint8_t fixed[ziparchive::kLocalHeaderSize];
    if (archive.ReadAt(static_cast<uint64_t>(local), fixed, sizeof fixed) != sizeof fixed ||
        Get32(fixed) != ziparchive::kLocalSignature) {
        return ZE_ErrStructure;
    }
    const uint64_t start =
        static_cast<uint64_t>(local) + sizeof fixed + Get16(fixed + 26) + Get16(fixed + 28);
    if (start > archive.Size() || header.compressedSize > archive.Size() - start)
        return ZE_ErrStructure;
    return static_cast<int64_t>(start);
}

int32_t CopyStored(ziparchive::ByteSource& archive, uint64_t start, uint8_t* block, uint64_t size,
                   const std::atomic<bool>& abortRequested, uint32_t& crc) {
    uint64_t done = 0;
    while (done < size) {
        if (abortRequested) return ZE_ErrAborted;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kInputChunk * 4, size - done));
        if (archive.ReadAt(start + done, block + done, n) != n) return ZE_ErrStructure;
        crc = ziparchive::Crc32(block + done, n, crc);
        done += n;
    }
    return 0;
}

// Inflates into the block and returns the CRC-32 of what was produced through `crc`; the
// CRC is taken chunk by chunk while the output is still in the cache. Output is handed to
// zlib in pieces it can count, so a block of any size is filled.
int32_t Inflate(ziparchive::ByteSource& archive, uint64_t start, uint64_t compressedSize,
                uint8_t* block, uint64_t size, const std::atomic<bool>& abortRequested,
                uint32_t& crc) {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return ZE_ErrMemory;
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(kInputChunk, std::max<uint64_t>(compressedSize, 1)));
    const std::unique_ptr<uint8_t[]> input(new uint8_t[chunk]);
    uint64_t consumed = 0;
    uint64_t produced = 0;
    uint8_t overflow = 0;  // catches data beyond the declared size
    int32_t result = ZE_ErrStructure;
    for (;;) {
        if (abortRequested) {
            result = ZE_ErrAborted;
            break;
        }
        if (zs.avail_in == 0 && consumed < compressedSize) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(chunk, compressedSize - consumed));
            if (archive.ReadAt(start + consumed, input.get(), n) != n) break;
            consumed += n;
            zs.next_in = input.get();
            zs.avail_in = static_cast<uInt>(n);
        }
        const bool blockFull = produced == size;
        if (blockFull) {
            zs.next_out = &overflow;
            zs.avail_out = 1;
        } else {
            zs.next_out = block + produced;
            zs.avail_out = static_cast<uInt>(std::min<uint64_t>(size - produced, kOutputChunk));
        }
        uint8_t* const from = zs.next_out;
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const size_t got = static_cast<size_t>(zs.next_out - from);
        if (blockFull && got > 0) break;  // more data than declared
        if (!blockFull) {
            crc = ziparchive::Crc32(from, got, crc);
            produced += got;
        }
        if (rc == Z_STREAM_END) {
            if (produced == size) result = 0;
            break;
        }
        if (rc != Z_OK) break;  // damaged data, or input ended before the stream did
        if (zs.avail_in == 0 && consumed == compressedSize && zs.avail_out > 0) {
            // All input given and the stream is not finished: truncated.
            break;
        }
    }
    inflateEnd(&zs);
    return result;
}

}  // namespace

int32_t ExtractMember(ziparchive::ByteSource& archive, int64_t archiveOffset,
                      const ziparchive::CentralHeader& header, uint8_t* block, uint64_t blockSize,
                      const std::atomic<bool>& abortRequested) {
    if (header.flags & kEncryptedFlag) return ZE_ErrUnsupported;
    if (header.method != kStored && header.method != kDeflated) return ZE_ErrUnsupported;
    if (blockSize != header.uncompressedSize || (blockSize > 0 && block == nullptr)) return ZE_ErrMemory;
    const int64_t start = DataStart(archive, archiveOffset, header);
    if (start < 0) return static_cast<int32_t>(start);

    uint32_t crc = 0;
    int32_t rc;
    if (header.method == kStored) {
        if (header.compressedSize != header.uncompressedSize) return ZE_ErrStructure;
        rc = CopyStored(archive, static_cast<uint64_t>(start), block, blockSize, abortRequested,
                        crc);
    } else {
        rc = Inflate(archive, static_cast<uint64_t>(start), header.compressedSize, block, blockSize,
                     abortRequested, crc);
    }
    if (rc != 0) return rc;
    return crc == header.crc32 ? 0 : ZE_ErrStructure;
}

}  // namespace zipengine
