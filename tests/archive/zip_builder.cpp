#include "zip_builder.h"

#include <zlib.h>

#include <stdexcept>

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

uint32_t Crc32(const std::string& data) {
    return static_cast<uint32_t>(
        crc32_z(0, reinterpret_cast<const Bytef*>(data.data()), data.size()));
}

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

static Layout Write(const std::vector<Member>& members, const std::string& comment,
                    std::optional<uint16_t> announced) {
    Layout out;
    std::string central;
    for (const Member& m : members) {
        const std::string stored = m.deflate ? Deflate(m.data) : m.data;
        const uint32_t crc = m.crcOverride.value_or(Crc32(m.data));
        const uint32_t size = m.uncompressedSizeOverride.value_or(static_cast<uint32_t>(m.data.size()));
        const uint16_t method = m.deflate ? 8 : 0;
        const uint32_t localOffset = static_cast<uint32_t>(out.bytes.size());

        std::string& l = out.bytes;
        Append32(l, 0x04034B50);
        Append16(l, 20);
        Append16(l, m.flags);
        Append16(l, method);
        Append16(l, 0);       // time
        Append16(l, 0x5A21);  // date
        Append32(l, crc);
        Append32(l, static_cast<uint32_t>(stored.size()));
        Append32(l, size);
        Append16(l, static_cast<uint16_t>(m.name.size()));
        Append16(l, 0);
        l += m.name;
        l += stored;

        std::string& c = central;
        Append32(c, 0x02014B50);
        c += static_cast<char>(m.versionMadeBy);
        c += static_cast<char>(m.hostSystem);
        Append16(c, 20);
        Append16(c, m.flags);
        Append16(c, method);
        Append16(c, 0);
        Append16(c, 0x5A21);
        Append32(c, crc);
        Append32(c, static_cast<uint32_t>(stored.size()));
        Append32(c, size);
        Append16(c, static_cast<uint16_t>(m.name.size()));
        Append16(c, 0);
        Append16(c, static_cast<uint16_t>(m.comment.size()));
        Append16(c, 0);
        Append16(c, 0);
        Append32(c, 0);
        Append32(c, localOffset);
        c += m.name;
        c += m.comment;
    }
    out.centralOffset = out.bytes.size();
    out.bytes += central;
    out.endOffset = out.bytes.size();
    const uint16_t count = announced.value_or(static_cast<uint16_t>(members.size()));
    std::string& e = out.bytes;
    Append32(e, 0x06054B50);
    Append16(e, 0);
    Append16(e, 0);
    Append16(e, count);
    Append16(e, count);
    Append32(e, static_cast<uint32_t>(central.size()));
    Append32(e, static_cast<uint32_t>(out.centralOffset));
    Append16(e, static_cast<uint16_t>(comment.size()));
    e += comment;
    return out;
}

std::string ZipBuilder::Build() const { return stub_ + Write(members_, comment_, announced_).bytes + trailing_; }

size_t ZipBuilder::CentralOffset() const { return stub_.size() + Write(members_, comment_, announced_).centralOffset; }

size_t ZipBuilder::EndRecordOffset() const { return stub_.size() + Write(members_, comment_, announced_).endOffset; }

}  // namespace ziptest
