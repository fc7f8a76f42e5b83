#include "zip_builder.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "archive/format/crc32.h"

namespace ziptest {

namespace {

void Append16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
void Append32(std::string& s, uint32_t v) {
    Append16(s, static_cast<uint16_t>(v & 0xFFFF));
    Append16(s, static_cast<uint16_t>(v >> 16));
}
void Append64(std::string& s, uint64_t v) {
    Append32(s, static_cast<uint32_t>(v));
    Append32(s, static_cast<uint32_t>(v >> 32));
}

constexpr uint32_t kAllOnes = 0xFFFFFFFF;

// The 64-bit extra field with the three values in the order readers expect them.
std::string Zip64Extra(uint64_t size, uint64_t stored, uint64_t offset, size_t cut) {
    std::string data;
    Append64(data, size);
    Append64(data, stored);
    Append64(data, offset);
    data.resize(data.size() - std::min(cut, data.size()));
    std::string extra;
    Append16(extra, 0x0001);
    Append16(extra, static_cast<uint16_t>(data.size()));
    return extra + data;
}

struct Layout {
    std::string bytes;
    size_t centralOffset = 0;
    size_t endOffset = 0;
};

}  // namespace

std::string Deflate(const std::string& data) {
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&zs, data.size()) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

uint32_t Crc32(const std::string& data) { return ziparchive::Crc32(data); }

void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, static_cast<uint16_t>(v & 0xFFFF));
    Put16(s, at + 2, static_cast<uint16_t>(v >> 16));
}

ZipBuilder& ZipBuilder::Add(Member m) {
    members_.push_back(std::move(m));
    return *this;
}
ZipBuilder& ZipBuilder::AddFile(const std::string& name, const std::string& data, bool deflate) {
    Member m;
    m.name = name;
    m.data = data;
    m.deflate = deflate;
    return Add(std::move(m));
}
ZipBuilder& ZipBuilder::AddFolder(const std::string& name) { return AddFile(name, "", false); }
ZipBuilder& ZipBuilder::Comment(std::string c) {
    comment_ = std::move(c);
    return *this;
}
ZipBuilder& ZipBuilder::Prepend(std::string stub) {
    stub_ = std::move(stub);
    return *this;
}
ZipBuilder& ZipBuilder::Append(std::string trailing) {
    trailing_ = std::move(trailing);
    return *this;
}
ZipBuilder& ZipBuilder::AnnounceEntries(uint16_t n) {
    announced_ = n;
    return *this;
}
ZipBuilder& ZipBuilder::Zip64End() {
    zip64End_ = true;
    return *this;
}

static Layout Write(const std::vector<Member>& members, const std::string& comment,
                    std::optional<uint16_t> announced, bool zip64End) {
    Layout out;
    std::string central;
    for (const Member& m : members) {
        const std::string stored = m.deflate ? Deflate(m.data) : m.data;
        const uint32_t crc = m.crcOverride.value_or(Crc32(m.data));
        const uint64_t size = m.uncompressedSizeOverride.value_or(m.data.size());
        const bool zip64 = m.zip64 || size > kAllOnes;
        const uint16_t method = m.methodOverride.value_or(m.deflate ? 8 : 0);
        const uint64_t localOffset = out.bytes.size();
        const std::string extra =
            zip64 ? Zip64Extra(size, stored.size(), localOffset, m.zip64ExtraCut) : "";
        const uint32_t size32 = zip64 ? kAllOnes : static_cast<uint32_t>(size);
        const uint32_t stored32 = zip64 ? kAllOnes : static_cast<uint32_t>(stored.size());

        std::string& l = out.bytes;
        Append32(l, 0x04034B50);
        Append16(l, zip64 ? 45 : 20);
        Append16(l, m.flags);
        Append16(l, method);
        Append16(l, 0);       // time
        Append16(l, 0x5A21);  // date
        Append32(l, crc);
        Append32(l, stored32);
        Append32(l, size32);
        Append16(l, static_cast<uint16_t>(m.name.size()));
        Append16(l, static_cast<uint16_t>(extra.size()));
        l += m.name;
        l += extra;
        l += stored;

        std::string& c = central;
        Append32(c, 0x02014B50);
        c += static_cast<char>(m.versionMadeBy);
        c += static_cast<char>(m.hostSystem);
        Append16(c, zip64 ? 45 : 20);
        Append16(c, m.flags);
        Append16(c, method);
        Append16(c, 0);
        Append16(c, 0x5A21);
        Append32(c, crc);
        Append32(c, stored32);
        Append32(c, size32);
        Append16(c, static_cast<uint16_t>(m.name.size()));
        Append16(c, static_cast<uint16_t>(extra.size()));
        Append16(c, static_cast<uint16_t>(m.comment.size()));
        Append16(c, 0);
        Append16(c, 0);
        Append32(c, 0);
        Append32(c, zip64 ? kAllOnes : static_cast<uint32_t>(localOffset));
        c += m.name;
        c += extra;
        c += m.comment;
    }
    out.centralOffset = out.bytes.size();
    out.bytes += central;
    out.endOffset = out.bytes.size();
    const uint64_t count = announced ? uint64_t{*announced} : members.size();
    std::string& e = out.bytes;
    if (zip64End) {
        Append32(e, 0x06064B50);
        Append64(e, 44);  // the record's size after this field
        Append16(e, 45);
        Append16(e, 45);
        Append32(e, 0);
        Append32(e, 0);
        Append64(e, count);
        Append64(e, count);
        Append64(e, central.size());
        Append64(e, out.centralOffset);
        Append32(e, 0x07064B50);
        Append32(e, 0);
        Append64(e, out.endOffset);
        Append32(e, 1);
    }
    const uint16_t count16 = zip64End ? 0xFFFF : static_cast<uint16_t>(count);
    Append32(e, 0x06054B50);
    Append16(e, 0);
    Append16(e, 0);
    Append16(e, count16);
    Append16(e, count16);
    Append32(e, zip64End ? kAllOnes : static_cast<uint32_t>(central.size()));
    Append32(e, zip64End ? kAllOnes : static_cast<uint32_t>(out.centralOffset));
    Append16(e, static_cast<uint16_t>(comment.size()));
    e += comment;
    return out;
}

std::string ZipBuilder::Build() const {
    return stub_ + Write(members_, comment_, announced_, zip64End_).bytes + trailing_;
}

size_t ZipBuilder::CentralOffset() const {
    return stub_.size() + Write(members_, comment_, announced_, zip64End_).centralOffset;
}

size_t ZipBuilder::EndRecordOffset() const {
    return stub_.size() + Write(members_, comment_, announced_, zip64End_).endOffset;
}

}  // namespace ziptest
