#pragma once
// Writes zip archives byte by byte for the tests, including ones no real writer makes:
// wrong CRCs, lying sizes, overlong names, stubs in front and garbage behind.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ziptest {

struct Member {
    std::string name;
    std::string data;
    bool deflate = true;
    std::optional<uint16_t> methodOverride;  // the method written in both headers
    uint8_t hostSystem = 0;  // 0 FAT, 3 Unix, 11 NTFS
    uint8_t versionMadeBy = 20;
    uint16_t flags = 0;
    std::optional<uint32_t> crcOverride;
    std::optional<uint64_t> uncompressedSizeOverride;
    std::string comment;
    // Sizes and offset go into a 64-bit extra field, the fixed fields saying all ones (also
    // when the declared size needs it); `zip64ExtraCut` drops bytes from that field's end.
    bool zip64 = false;
    size_t zip64ExtraCut = 0;
};

class ZipBuilder {
public:
    ZipBuilder& Add(Member m);
    ZipBuilder& AddFile(const std::string& name, const std::string& data, bool deflate = true);
    ZipBuilder& AddFolder(const std::string& name);
    ZipBuilder& Comment(std::string c);
    // Bytes in front of the archive, offsets left as if they were not there.
    ZipBuilder& Prepend(std::string stub);
    ZipBuilder& Append(std::string trailing);
    // Number of entries the end record announces (default: the real number).
    ZipBuilder& AnnounceEntries(uint16_t n);
    // Ends the archive with a 64-bit end record and its locator, the ordinary end record
    // deferring to them with all-ones fields.
    ZipBuilder& Zip64End();

    std::string Build() const;
    // Offset of the central directory and of the end records (the 64-bit one first, when
    // there is one) within Build()'s result.
    size_t CentralOffset() const;
    size_t EndRecordOffset() const;

private:
    std::vector<Member> members_;
    std::string comment_;
    std::string stub_;
    std::string trailing_;
    std::optional<uint16_t> announced_;
    bool zip64End_ = false;
};

std::string Deflate(const std::string& data);
uint32_t Crc32(const std::string& data);
void Put16(std::string& s, size_t at, uint16_t v);
void Put32(std::string& s, size_t at, uint32_t v);

}  // namespace ziptest
