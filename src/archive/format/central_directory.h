#pragma once
// Reading a zip archive's central directory: the end record, the central file headers and
// the checks between them. Pure logic over a ByteSource; the component turns the outcome
// into its messages, the engine uses it to find the members it extracts.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/format/byte_source.h"

namespace ziparchive {

// Message ids of the outcomes the reader can have (texts live in the component's table).
namespace zipid {
constexpr int kSeekError = 10201;
constexpr int kStructureWarning = 10203;
constexpr int kGarbageWarning = 10204;
constexpr int kCancelled = 11007;
constexpr int kEndRecordError = 11011;
constexpr int kHeaderReadError = 11013;
constexpr int kHeaderSignatureError = 11015;
constexpr int kNameReadError = 11017;
constexpr int kCommentReadError = 11022;
constexpr int kNotAZip = 11036;
}  // namespace zipid

constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
// Archives with more than 65535 entries, or written by a tool that could not know the sizes
// in advance (reading from a pipe), carry 64-bit end values in a second record, found
// through a locator just in front of the ordinary end record.
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr uint16_t kZip64ExtraTag = 0x0001;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kZip64EndRecordSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kLocalHeaderSize = 30;
// Longest stored name accepted; longer ones are treated as a damaged directory.
constexpr size_t kMaxNameLength = 259;

// The end values of the archive; from the 64-bit end record when the archive has one.
struct EndRecord {
    uint32_t thisDisk = 0;
    uint32_t centralDisk = 0;
    uint64_t entriesOnDisk = 0;
    uint64_t totalEntries = 0;
    uint64_t centralSize = 0;
    uint64_t centralOffset = 0;
    uint16_t commentLength = 0;
};

struct EndRecordSearch {
    bool found = false;
    uint64_t position = 0;  // of the ordinary end record's signature in the file
    EndRecord record;
    std::string comment;
    // Bytes after the record and its comment that are more than harmless padding.
    bool trailingGarbage = false;
    // A locator announces a 64-bit end record; `zip64Position` is where it was found, or
    // `zip64Missing` says it is not where the locator points.
    bool zip64 = false;
    bool zip64Missing = false;
    uint64_t zip64Position = 0;

    // Where the central directory ends: at the record that follows it.
    uint64_t DirectoryEnd() const { return zip64 ? zip64Position : position; }
};

EndRecordSearch FindEndRecord(ByteSource& source);

// One central file header; the fixed fields as the archive stores them, except that sizes,
// offset and disk come from the 64-bit extra field where the header defers to it.
struct CentralHeader {
    uint8_t versionMadeBy = 0;
    uint8_t hostSystem = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t modTime = 0;
    uint16_t modDate = 0;
    uint32_t crc32 = 0;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint32_t diskNumberStart = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint64_t localHeaderOffset = 0;
    std::string rawName;     // bytes as stored
    std::string extra;
    std::string rawComment;  // bytes as stored
};

struct CentralDirectory {
    // 0 when the directory was read completely; otherwise the id of what went wrong
    // (kNotAZip when the file has no end record). Headers read before a failure are kept.
    int errorId = 0;
    bool garbageAfterEnd = false;
    // The stored directory offset disagrees with where the directory really is.
    bool structureWarning = false;
    // Bytes in front of the archive (a prepended stub); local header offsets are relative
    // to this. Negative when the file lacks bytes the archive expects in front.
    int64_t archiveOffset = 0;
    std::string comment;
    std::vector<CentralHeader> headers;
};

// `cancelled`, when given, is asked after each header.
CentralDirectory ReadCentralDirectory(ByteSource& source,
                                      const std::function<bool()>& cancelled = nullptr);

}  // namespace ziparchive
