// The Tessara and Granulo images laid out from S-record lines, and the page writes made
// from them. Expected images and checksums are worked out here from the layout rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "device/granulo_frames.h"
#include "device/granulo_image.h"
#include "device/tessara_frames.h"
#include "device/tessara_image.h"
#include "frame_hex.h"

using namespace device;
using frametest::Bytes;
using frametest::Hex;
using frametest::SRecord;

namespace {

std::vector<uint8_t> Data(size_t n, uint8_t seed) {
    std::vector<uint8_t> d;
    for (size_t i = 0; i < n; ++i) d.push_back(static_cast<uint8_t>(seed + i * 3));
    return d;
}

std::vector<uint8_t> Head(const std::vector<uint8_t>& d, size_t n) {
    return {d.begin(), d.begin() + n};
}

struct Placed {
    uint32_t offset;
    std::vector<uint8_t> bytes;
};

struct ImageCase {
    const char* name;
    std::vector<std::string> lines;
    std::vector<Placed> placed;      // where the data must land (no overlaps)
    std::vector<std::string> heads;  // the frame of each block sent, up to its data
};

struct Layout {
    uint32_t size;
    std::function<bool(uint32_t)> summed;
    uint32_t checksumAt;
    std::function<std::variant<FlashImage, LineFault>(const std::vector<std::string>&)> build;
    std::function<std::vector<Frame>(const FlashImage&)> frames;
    std::function<uint32_t(const std::string& head)> blockAt;  // the offset a frame names
};

uint32_t Byte(const std::string& s, size_t i) { return static_cast<uint8_t>(s[i]); }

const Layout kTessara{0x3E000,
                      [](uint32_t at) { return at < 0x30000 || (at >= 0x38000 && at <= 0x3DFFD); },
                      0x3DFFE,
                      BuildTessaraImage,
                      TessaraPageWritesFor,
                      [](const std::string& head) {
                          const uint32_t window = Byte(head, 2) << 8 | Byte(head, 3);
                          return (Byte(head, 1) - 0x30) * 0x4000 + window - 0x8000;
                      }};
const Layout kGranulo{
    0xF080,
    [](uint32_t at) { return at <= 0x7F || (at >= 0x880 && at <= 0xF03F); },
    0xF040,
    BuildGranuloImage,
    GranuloBlockFlashWritesFor,
    [](const std::string& head) { return (Byte(head, 1) << 8 | Byte(head, 2)) - 0x0580; }};

void ExpectImage(const Layout& layout, const ImageCase& c) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> expected(layout.size, 0xFF);
    // An erased image sums to FF for every summed byte; each placed byte changes that.
    uint32_t sum = 0;
    for (uint32_t at = 0; at < layout.size; ++at) sum += layout.summed(at) ? 0xFF : 0;
    for (const Placed& p : c.placed)
        for (size_t i = 0; i < p.bytes.size(); ++i) {
            expected[p.offset + i] = p.bytes[i];
            if (layout.summed(p.offset + uint32_t(i))) sum += p.bytes[i] - 0xFFu;
        }
    const uint32_t checksum = ~sum;
    expected[layout.checksumAt] = uint8_t(checksum >> 8);
    expected[layout.checksumAt + 1] = uint8_t(checksum);

    // Every file ends with its end record; what follows one is never read.
    std::vector<std::string> lines = c.lines;
    lines.push_back("S9030000FC");
    const auto built = layout.build(lines);
    ASSERT_TRUE(std::holds_alternative<FlashImage>(built));
    const FlashImage& image = std::get<FlashImage>(built);
    EXPECT_EQ(image.checksum, checksum);
    ASSERT_EQ(image.bytes.size(), expected.size());
    const auto differs = std::mismatch(image.bytes.begin(), image.bytes.end(), expected.begin());
    EXPECT_TRUE(differs.first == image.bytes.end())
        << "first wrong byte at 0x" << std::hex << (differs.first - image.bytes.begin());

    std::vector<uint32_t> blocks;
    for (const std::string& head : c.heads) blocks.push_back(layout.blockAt(Bytes(head)));
    EXPECT_EQ(image.dataBlocks, blocks);
    const std::vector<Frame> frames = layout.frames(image);
    ASSERT_EQ(frames.size(), c.heads.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const std::string head = Bytes(c.heads[i]);
        const std::string data(expected.begin() + blocks[i], expected.begin() + blocks[i] + 64);
        uint8_t check = 0;
        for (const char b : head.substr(1) + data) check = uint8_t(check + uint8_t(b));
        EXPECT_EQ(Hex(frames[i]), Hex(head + data + char(~check))) << "block " << i;
    }
}

const std::vector<uint8_t> d16 = Data(16, 0x10), d32 = Data(32, 0x80), d4 = Data(4, 0);

std::string WithoutPair(std::string line) { return line.substr(0, line.size() - 2); }
std::string WithBadPair(std::string line) { return WithoutPair(line) + "ZZ"; }
std::string WithWrongPair(std::string line) { return WithoutPair(line) + "00"; }

}  // namespace

TEST(TessaraImage, BankedRecordsLandInTheirPagesWithTheChecksumBlock) {
    const char* kChecksumHead = "16 3F 9F C0";
    const ImageCase cases[] = {
        {"S1 at 0x4000: page 3E",
         {SRecord('1', 0x4000, d16)},
         {{0x38000, d16}},
         {"16 3E 80 00", kChecksumHead}},
        {"S1 at 0xC000: page 3F",
         {SRecord('1', 0xC000, d16)},
         {{0x3C000, d16}},
         {"16 3F 80 00", kChecksumHead}},
        {"S1 below 0x4000 or in the window ignored",
         {SRecord('1', 0x2000, d16), SRecord('1', 0x9000, d16), SRecord('1', 0x3FFF, d16)},
         {},
         {kChecksumHead}},
        {"S2 at 0x308000: offset 0",
         {SRecord('2', 0x308000, d32)},
         {{0, d32}},
         {"16 30 80 00", kChecksumHead}},
        {"S2 outside the range ignored",
         {SRecord('2', 0x3FA000, d16), SRecord('2', 0x307FFF, d16), SRecord('2', 0x3F9FFF + 1, d4)},
         {},
         {kChecksumHead}},
        {"data only in page 30",
         {SRecord('2', 0x308040, d16), SRecord('2', 0x30BFF0, d16)},
         {{0x40, d16}, {0x3FF0, d16}},
         {"16 30 80 40", "16 30 BF C0", kChecksumHead}},
        {"pages 3C and 3D are not summed",
         {SRecord('2', 0x3C8000, d16), SRecord('2', 0x3DBFF0, d16)},
         {{0x30000, d16}, {0x37FF0, d16}},
         {"16 3C 80 00", "16 3D BF C0", kChecksumHead}},
        {"S1 crossing from page 3E into 3F",
         {SRecord('1', 0x7FF8, d16)},
         {{0x3BFF8, d16}},
         {"16 3E BF C0", "16 3F 80 00", kChecksumHead}},
        {"a record past the image end is cut, the checksum wins",
         {SRecord('2', 0x3F9FF0, d32)},
         {{0x3DFF0, Head(d32, 16)}},
         {kChecksumHead}},
        {"S0 skipped, S9 ends, pairs not checked",
         {"S00600004844521B", SRecord('2', 0x308000, d4),
          WithWrongPair(SRecord('1', 0x4000, d4)), "S9030000FC", "not a record", "S3"},
         {{0, d4}, {0x38000, d4}},
         {"16 30 80 00", "16 3E 80 00", kChecksumHead}},
    };
    for (const ImageCase& c : cases) ExpectImage(kTessara, c);
}

TEST(GranuloImage, S1RecordsLandFrom0x0580WithTheChecksumBlock) {
    const char* kChecksumHead = "15 F5 C0";
    const ImageCase cases[] = {
        {"S1 at 0x0500 ignored",
         {SRecord('1', 0x0500, d16), SRecord('1', 0xF600, d16)},
         {},
         {kChecksumHead}},
        {"S1 at 0xF5F0 in the last block, not summed",
         {SRecord('1', 0xF5F0, d16)},
         {{0xF070, d16}},
         {kChecksumHead}},
        {"S1 at 0x0600 not summed",
         {SRecord('1', 0x0600, d16)},
         {{0x80, d16}},
         {"15 06 00", kChecksumHead}},
        {"data only at 0x0580..0x05BF",
         {SRecord('1', 0x0580, d16), SRecord('1', 0x0590, d16), SRecord('1', 0x05A0, d16),
          SRecord('1', 0x05B0, d16)},
         {{0x00, d16}, {0x10, d16}, {0x20, d16}, {0x30, d16}},
         {"15 05 80", kChecksumHead}},
        {"summing resumes at 0x0E00",
         {SRecord('1', 0x0DF8, d16)},
         {{0x878, d16}},
         {"15 0D C0", "15 0E 00", kChecksumHead}},
        {"a record at 0xF5FF keeps one byte",
         {SRecord('1', 0xF5FF, d16)},
         {{0xF07F, Head(d16, 1)}},
         {kChecksumHead}},
        {"S9 ends, pairs not checked",
         {"S0030000FC", SRecord('1', 0x1000, d4),
          WithWrongPair(SRecord('1', 0x2000, d4)), "S9", SRecord('2', 0x1000, d4)},
         {{0xA80, d4}, {0x1A80, d4}},
         {"15 10 00", "15 20 00", kChecksumHead}},
    };
    for (const ImageCase& c : cases) ExpectImage(kGranulo, c);
}

TEST(FlashImages, LinesTheDeviceMustNotBeSentFailTheBuild) {
    const std::string good = SRecord('1', 0x4000, d4);
    const struct {
        const char* name;
        const Layout& layout;
        std::vector<std::string> lines;
        LineFault fault;
    } cases[] = {
        {"Tessara: non-hex data",
         kTessara,
         {good, "S2080308000102ZZ0405", "S9"},
         {RecordFault::Unreadable, 1}},
        {"Tessara: non-hex address", kTessara, {"S1054G00AA55FA"}, {RecordFault::Unreadable, 0}},
        {"Tessara: data cut short", kTessara, {good, "S1074000AABB"}, {RecordFault::Unreadable, 1}},
        {"Tessara: S3", kTessara, {good, "S30600000000FF"}, {RecordFault::UnacceptedType, 1}},
        {"Tessara: empty line", kTessara, {""}, {RecordFault::NotARecord, 0}},
        {"Granulo: S2",
         kGranulo,
         {good, SRecord('2', 0x1000, d4)},
         {RecordFault::UnacceptedType, 1}},
        {"Granulo: S7", kGranulo, {"S70500000000FA"}, {RecordFault::UnacceptedType, 0}},
        {"Granulo: non-hex count", kGranulo, {"S1Z50600AA55FA"}, {RecordFault::Unreadable, 0}},
        {"Granulo: not a record", kGranulo, {"S", "S9"}, {RecordFault::NotARecord, 0}},
        {"Tessara: no pair", kTessara, {good, WithoutPair(good)}, {RecordFault::NoChecksumPair, 1}},
        {"Granulo: non-hex pair",
         kGranulo,
         {WithBadPair(SRecord('1', 0x0600, d4))},
         {RecordFault::NoChecksumPair, 0}},
        {"Tessara: cut before its end record", kTessara, {"S0030000FC", good}, {RecordFault::NoEndRecord, 2}},
        {"Granulo: no lines at all", kGranulo, {}, {RecordFault::NoEndRecord, 0}},
    };
    for (const auto& c : cases) {
        const auto built = c.layout.build(c.lines);
        ASSERT_TRUE(std::holds_alternative<LineFault>(built)) << c.name;
        EXPECT_EQ(std::get<LineFault>(built), c.fault) << c.name;
    }
}
