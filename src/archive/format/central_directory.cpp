#include "archive/format/central_directory.h"

#include <algorithm>
#include <cstdint>
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

bool IsZip64EndRecord(ByteSource& source, uint64_t at, uint8_t (&record)[kZip64EndRecordSize]) {
    return source.ReadAt(at, record, kZip64EndRecordSize) == kZip64EndRecordSize &&
           Get32(record) == kZip64EndSignature;
}

// Looks for the 64-bit end record that a locator in front of the ordinary record announces.
// Writers put it right before the locator; the locator's offset counts from the archive's
// start, which differs from the file's when a stub is prepended, so it is the second place
// to look.
void ReadZip64End(ByteSource& source, EndRecordSearch& result) {
    if (result.position < kZip64LocatorSize) return;
    const uint64_t locatorAt = result.position - kZip64LocatorSize;
    uint8_t locator[kZip64LocatorSize];
    if (source.ReadAt(locatorAt, locator, sizeof locator) != sizeof locator ||
        Get32(locator) != kZip64LocatorSignature) {
        return;
    }
    uint8_t record[kZip64EndRecordSize];
    const uint64_t candidates[] = {locatorAt - std::min<uint64_t>(locatorAt, kZip64EndRecordSize),
                                   Get64(locator + 8)};
    for (const uint64_t at : candidates) {
        if (at > locatorAt || locatorAt - at < kZip64EndRecordSize ||
            !IsZip64EndRecord(source, at, record))
            continue;
        result.zip64 = true;
        result.zip64Position = at;
        EndRecord& r = result.record;
        r.thisDisk = Get32(record + 16);
        r.centralDisk = Get32(record + 20);
        r.entriesOnDisk = Get64(record + 24);
        r.totalEntries = Get64(record + 32);
        r.centralSize = Get64(record + 40);
        r.centralOffset = Get64(record + 48);
        return;
    }
    result.zip64Missing = true;
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

// Fills in the sizes, offset and disk that the fixed header leaves to the 64-bit extra field
// (marked by all ones there). The extra field holds them in this order, only those marked.
// False when the field is present but too short for them.
bool ApplyZip64Extra(CentralHeader& h) {
    constexpr uint32_t k32 = 0xFFFFFFFF;
    const auto* p = reinterpret_cast<const uint8_t*>(h.extra.data());
    const size_t size = h.extra.size();
    for (size_t at = 0; at + 4 <= size;) {
        const uint16_t tag = Get16(p + at);
        const size_t length = Get16(p + at + 2);
        const size_t data = at + 4;
        if (length > size - data) return true;  // a malformed block ends the field
        if (tag == kZip64ExtraTag) {
            size_t used = 0;
            auto take64 = [&](uint64_t& field) {
                if (field != k32) return true;
                if (used + 8 > length) return false;
                field = Get64(p + data + used);
                used += 8;
                return true;
            };
            if (!take64(h.uncompressedSize) || !take64(h.compressedSize) ||
                !take64(h.localHeaderOffset)) {
                return false;
            }
            if (h.diskNumberStart == 0xFFFF) {
                if (used + 4 > length) return false;
                h.diskNumberStart = Get32(p + data + used);
            }
            return true;
        }
        at = data + length;
    }
    return true;
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
    ReadZip64End(source, result);
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

    if (end.zip64Missing) {
        dir.errorId = zipid::kEndRecordError;
        return dir;
    }
    const uint64_t directoryEnd = end.DirectoryEnd();
    uint64_t start = end.record.centralOffset;
    if (end.record.thisDisk == end.record.centralDisk) {
        if (end.record.centralSize > directoryEnd) {
            dir.errorId = zipid::kSeekError;
            return dir;
        }
        start = directoryEnd - end.record.centralSize;
        // A stored offset beyond any file only has to stay a huge difference.
        const uint64_t stored = std::min<uint64_t>(end.record.centralOffset, INT64_MAX);
        dir.archiveOffset = static_cast<int64_t>(start) - static_cast<int64_t>(stored);
        dir.structureWarning = dir.archiveOffset != 0;
    }
    if (start > source.Size()) {
        dir.errorId = zipid::kSeekError;
        return dir;
    }

    uint64_t pos = start;
    dir.headers.reserve(static_cast<size_t>(std::min<uint64_t>(end.record.totalEntries, 1024)));
    for (uint64_t i = 0; i < end.record.totalEntries; ++i) {
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
        // A NUL would cut the name short wherever it is passed on as text, so that it
        // names another member: such a name is damage, not a name.
        if (h.nameLength > kMaxNameLength || !ReadField(source, pos, h.nameLength, h.rawName) ||
            h.rawName.find('\0') != std::string::npos) {
            dir.errorId = zipid::kNameReadError;
            return dir;
        }
        if (!ReadField(source, pos, h.extraLength, h.extra)) {
            dir.errorId = zipid::kSeekError;
            return dir;
        }
        if (!ApplyZip64Extra(h)) {
            dir.errorId = zipid::kHeaderReadError;
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
        Get32(endCheck) != (end.zip64 ? kZip64EndSignature : kEndSignature)) {
        dir.errorId = zipid::kEndRecordError;
    }
    return dir;
}

}  // namespace ziparchive
