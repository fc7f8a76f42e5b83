#include "archive/format/central_directory.h"

#include <algorithm>
#include <cstring>

namespace ziparchive {

namespace {

constexpr uint64_t kFourGiB = 0x100000000ull;
// The record plus the longest comment it can announce.
constexpr size_t kEndSearchSpan = kEndRecordSize + 0xFFFF;
// Some writers pad archives with a few control bytes; that much is not worth a warning.
constexpr uint64_t kHarmlessPadding = 511;

EndRecord ParseEndRecord(const uint8_t* p) {
    EndRecord r;
    r.thisDisk = Get16(p + 4);
    r.centralDisk = Get16(p + 6);
    r.entriesOnDisk = Get16(p + 8);
    r.totalEntries = Get16(p + 10);
    r.centralSize = Get32(p + 12);
    r.centralOffset = Get32(p + 16);
    r.commentLength = Get16(p + 20);
    return r;
}

bool TrailingBytesAreGarbage(ByteSource& source, uint64_t from) {
    const uint64_t size = source.Size();
    if (from >= size) return false;
    if (size - from > kHarmlessPadding) return true;
    uint8_t tail[kHarmlessPadding];
    const size_t n = static_cast<size_t>(size - from);
    if (source.ReadAt(from, tail, n) != n) return true;
    return std::any_of(tail, tail + n, [](uint8_t b) { return b >= 0x2F; });
}

CentralHeader ParseCentralHeader(const uint8_t* p) {
    CentralHeader h;
    h.versionMadeBy = p[4];
    h.hostSystem = p[5];
    h.versionNeeded = Get16(p + 6);
    h.flags = Get16(p + 8);
    h.method = Get16(p + 10);
    h.modTime = Get16(p + 12);
    h.modDate = Get16(p + 14);
    h.crc32 = Get32(p + 16);
    h.compressedSize = Get32(p + 20);
    h.uncompressedSize = Get32(p + 24);
    h.nameLength = Get16(p + 28);
    h.extraLength = Get16(p + 30);
    h.commentLength = Get16(p + 32);
    h.diskNumberStart = Get16(p + 34);
    h.internalAttributes = Get16(p + 36);
    h.externalAttributes = Get32(p + 38);
    h.localHeaderOffset = Get32(p + 42);
    return h;
}

bool ReadField(ByteSource& source, uint64_t& pos, size_t length, std::string& out) {
    out.resize(length);
    if (length == 0) return true;
    if (source.ReadAt(pos, out.data(), length) != length) return false;
    pos += length;
    return true;
}

}  // namespace

EndRecordSearch FindEndRecord(ByteSource& source) {
    EndRecordSearch result;
    const uint64_t size = source.Size();
    if (size < kEndRecordSize || size >= kFourGiB) return result;

    uint8_t last[kEndRecordSize];
    if (source.ReadAt(size - kEndRecordSize, last, kEndRecordSize) == kEndRecordSize &&
        Get32(last) == kEndSignature) {
        result.found = true;
        result.position = size - kEndRecordSize;
        result.record = ParseEndRecord(last);
    } else {
        const size_t span = static_cast<size_t>(std::min<uint64_t>(size, kEndSearchSpan));
        if (span <= kEndRecordSize) return result;
        std::string tail(span, '\0');
        const uint64_t tailStart = size - span;
        if (source.ReadAt(tailStart, tail.data(), span) != span) return result;
        const auto* t = reinterpret_cast<const uint8_t*>(tail.data());
        // The record at the very end was ruled out above, so a candidate starts at least
        // one byte earlier and always has its 22 bytes inside the buffer.
        for (size_t i = span - kEndRecordSize - 1;; --i) {
            if (Get32(t + i) == kEndSignature) {
                result.found = true;
                result.position = tailStart + i;
                result.record = ParseEndRecord(t + i);
                break;
            }
            if (i == 0) break;
        }
        if (!result.found) return result;
    }

    const uint64_t commentStart = result.position + kEndRecordSize;
    const size_t available = static_cast<size_t>(size - commentStart);
    const size_t commentLength = std::min<size_t>(result.record.commentLength, available);
    result.comment.resize(commentLength);
    if (commentLength > 0) source.ReadAt(commentStart, result.comment.data(), commentLength);
    result.trailingGarbage = TrailingBytesAreGarbage(source, commentStart + commentLength);
    return result;
}

CentralDirectory ReadCentralDirectory(ByteSource& source, const std::function<bool()>& cancelled) {
    CentralDirectory dir;
    const EndRecordSearch end = FindEndRecord(source);
    if (!end.found) {
        dir.errorId = zipid::kNotAZip;
        return dir;
    }
    dir.comment = end.comment;
    dir.garbageAfterEnd = end.trailingGarbage;

    uint64_t start = end.record.centralOffset;
    if (end.record.thisDisk == end.record.centralDisk) {
        if (end.record.centralSize > end.position) {
            dir.errorId = zipid::kSeekError;
            return dir;
        }
        start = end.position - end.record.centralSize;
        dir.archiveOffset = static_cast<int64_t>(start) - static_cast<int64_t>(end.record.centralOffset);
        dir.structureWarning = dir.archiveOffset != 0;
    }
    if (start > source.Size()) {
        dir.errorId = zipid::kSeekError;
        return dir;
    }

    uint64_t pos = start;
    dir.headers.reserve(std::min<size_t>(end.record.totalEntries, 1024));
    for (unsigned i = 0; i < end.record.totalEntries; ++i) {
        uint8_t fixed[kCentralHeaderSize];
        if (source.ReadAt(pos, fixed, kCentralHeaderSize) != kCentralHeaderSize) {
            dir.errorId = zipid::kHeaderReadError;
            return dir;
        }
        if (Get32(fixed) != kCentralSignature) {
            dir.errorId = zipid::kHeaderSignatureError;
            return dir;
        }
        pos += kCentralHeaderSize;
        CentralHeader h = ParseCentralHeader(fixed);
        if (h.nameLength > kMaxNameLength || !ReadField(source, pos, h.nameLength, h.rawName)) {
            dir.errorId = zipid::kNameReadError;
            return dir;
        }
        if (!ReadField(source, pos, h.extraLength, h.extra)) {
            dir.errorId = zipid::kSeekError;
            return dir;
        }
        if (!ReadField(source, pos, h.commentLength, h.rawComment)) {
            dir.errorId = zipid::kCommentReadError;
            return dir;
        }
        dir.headers.push_back(std::move(h));
        if (cancelled && cancelled()) {
            dir.errorId = zipid::kCancelled;
            return dir;
        }
    }

    uint8_t endCheck[kEndRecordSize];
    if (source.ReadAt(pos, endCheck, kEndRecordSize) != kEndRecordSize ||
        Get32(endCheck) != kEndSignature) {
        dir.errorId = zipid::kEndRecordError;
    }
    return dir;
}

}  // namespace ziparchive
