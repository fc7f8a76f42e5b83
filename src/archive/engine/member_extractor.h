#pragma once
// Decoding one archive member into a caller's block of exactly its uncompressed size,
// with the member's CRC-32 and both sizes checked.
#include <atomic>
#include <cstdint>

#include "archive/format/byte_source.h"
#include "archive/format/central_directory.h"

namespace zipengine {

// 0 on success, else a negative ZE_Error.
int32_t ExtractMember(ziparchive::ByteSource& archive, int64_t archiveOffset,
                      const ziparchive::CentralHeader& header, uint8_t* block, uint64_t blockSize,
                      const std::atomic<bool>& abortRequested);

}  // namespace zipengine
