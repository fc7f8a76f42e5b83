// The bootloader protocol's frames byte for byte, and the S-record lines as the sequences
// of load records and flash records a run sends.
#include "device/bootloader_frames.h"

#include <gtest/gtest.h>

#include "device/granulo_frames.h"
#include "device/record_frames.h"
#include "device/tessara_frames.h"
#include "frame_hex.h"

using namespace device;
using frametest::Bytes;
using frametest::Hex;
using frametest::SRecord;

namespace {

Frame Address32(uint32_t value) {
    Frame f;
    PutAddress32(value, f);
    return f;
}

// The 16-bit sum as the device takes it, summed here byte by byte.
std::string Sum16Bytes(std::string_view bytes) {
    unsigned sum = 0;
    for (const char c : bytes) sum += static_cast<uint8_t>(c);
    return {static_cast<char>((sum >> 8) & 0xFF), static_cast<char>(sum & 0xFF)};
}

std::string Pattern(size_t n, int seed) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>((i * 37 + seed) & 0xFF));
    return s;
}

Frame FlashRecordOf(const std::string& line) {
    const auto record = ReadSRecordLine(line);
    if (!record) return "unreadable";
    const auto frame = BuildFlashRecord(*record);
    return std::holds_alternative<Frame>(frame) ? std::get<Frame>(frame) : "fault";
}

}  // namespace

TEST(BootloaderFrames, FixedFramesAreByteExact) {
    const struct {
        const char* name;
        Frame frame;
        const char* hex;
    } cases[] = {
        {"identify request", IdentifyRequest(), "AC 00 00 00 00 00 00 AC"},
        {"start request", StartRequest(), "88 00 00 00 00 00 00 88"},
        {"address", Address32(0x0103FA40), "01 03 FA 40"},
        {"empty block write at 0x40", BuildBlockWrite(0x40, ""), "BB 00 00 00 40 00 00 FB"},
        {"block write", BuildBlockWrite(0x12345678, Bytes("FF 01")),
         "BB 12 34 56 78 02 FF 01 02 D1"},
        {"opening message", TessaraOpeningMessage(), "FF F8 00 00 00 00 00 00 00 00 00 00 01 F7"},
        {"S1 flash record", FlashRecordOf("S1050100AA55FA"), "15 06 00 01 00 AA 55 F9"},
        {"S1 checksum 00 wraps", FlashRecordOf("S1040000FF00"), "15 05 00 00 00 FF FF"},
        {"S2 flash record as it stands", FlashRecordOf("S20801FFF00102030406"),
         "15 08 01 FF F0 01 02 03 04 06"},
        {"S1 without data", FlashRecordOf("S1031234B6"), "15 04 00 12 34 B5"},
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(c.frame), c.hex) << c.name;
    EXPECT_EQ(Sum16(std::string(300, '\xFF')), (300 * 255) % 65536);
    EXPECT_EQ(ComplementedSum8(Bytes("30 80 00 01")), 0x4E);
}

TEST(BootloaderFrames, FlashRecordNeedsItsChecksumPairAndAnS2Count) {
    const struct {
        std::string line;
        RecordFault fault;
    } cases[] = {
        {"S1050100AA55", RecordFault::NoChecksumPair},
        {"S1050100AA55F", RecordFault::NoChecksumPair},
        {"S1050100AA55FZ", RecordFault::NoChecksumPair},
        {"S9030000FC", RecordFault::UnacceptedType},
        {SRecord('1', 0x0100, std::vector<uint8_t>(252, 0x11)), RecordFault::TooLong},
    };
    for (const auto& c : cases) {
        const auto record = ReadSRecordLine(c.line);
        ASSERT_TRUE(record) << c.line;
        const auto frame = BuildFlashRecord(*record);
        ASSERT_TRUE(std::holds_alternative<RecordFault>(frame)) << c.line;
        EXPECT_EQ(std::get<RecordFault>(frame), c.fault) << c.line;
    }
}

TEST(BootloaderFrames, LoadRecordCarriesTheS1DataAndSum16) {
    const std::string data = Pattern(16, 0xE0);
    const std::string line = SRecord('1', 0x0000, std::vector<uint8_t>(data.begin(), data.end()));
    ASSERT_EQ(line.substr(0, 8), "S1130000");
    const std::string head = Bytes("77 00 00 00 00 10");
    EXPECT_EQ(Hex(BuildLoadRecord(*ReadSRecordLine(line))),
              Hex(head + data + Sum16Bytes(head + data)));

    // The loader never reads the checksum pair: a line without one gives the same frame.
    const auto bare = ReadSRecordLine("S105FFFFAA55");
    ASSERT_TRUE(bare);
    EXPECT_EQ(Hex(BuildLoadRecord(*bare)), "77 00 00 FF FF 02 AA 55 03 76");
}

TEST(BootloaderFrames, MembersAreSplitIntoBlockWritesOf64) {
    const struct {
        size_t size;
        std::vector<size_t> blocks;
    } cases[] = {{130, {64, 64, 2}}, {64, {64}}, {65, {64, 1}},
                 {1, {1}},           {0, {0}},   {192, {64, 64, 64}}};
    const uint32_t address = 0x00FFFFF0;  // the block addresses carry into the third byte
    for (const auto& c : cases) {
        const std::string member = Pattern(c.size, 7);
        const std::vector<Frame> frames = BlockWritesFor(member, address);
        ASSERT_EQ(frames.size(), c.blocks.size()) << c.size;
        size_t at = 0;
        for (size_t i = 0; i < frames.size(); ++i) {
            const std::string body = Bytes("BB") + Address32(address + uint32_t(at)) +
                                     char(c.blocks[i]) + member.substr(at, c.blocks[i]);
            EXPECT_EQ(Hex(frames[i]), Hex(body + Sum16Bytes(body))) << c.size << " block " << i;
            at += c.blocks[i];
        }
    }
    EXPECT_THROW(BuildBlockWrite(0, std::string(65, 'x')), std::length_error);
}

TEST(BootloaderFrames, HardwareCodeChoosesBootloaderAndFlashWindow) {
    const struct {
        uint8_t code;
        std::optional<std::string_view> bootloader;
        std::optional<FlashWindow> window;
        std::optional<std::string_view> granuloBootloader;
    } cases[] = {
        {0, std::nullopt, std::nullopt, std::nullopt},
        {1, "BLdg128.prg", FlashWindow{0, 0x1E000}, "BLaz60A.prg"},
        {2, "BLdg128A.prg", FlashWindow{0, 0x1E000}, std::nullopt},
        {3, "BLS12G128.prg", FlashWindow{0x20000, 0x1E000}, std::nullopt},
        {4, std::nullopt, std::nullopt, std::nullopt},
        {0xFF, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BootloaderFileFor(c.code), c.bootloader) << int(c.code);
        EXPECT_EQ(FlashWindowFor(c.code), c.window) << int(c.code);
        EXPECT_EQ(GranuloBootloaderFileFor(c.code), c.granuloBootloader) << int(c.code);
    }
}

TEST(TessaraFrames, PathRepliesAndEndBytes) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(IsTessaraPathReply(uint8_t(b)), b == 0xC8 || b == 0x01) << b;
    EXPECT_EQ(Hex(std::string(std::begin(kTessaraEndBytes), std::end(kTessaraEndBytes))), "35 AF");
}

namespace {

struct WalkCase {
    const char* name;
    std::vector<std::string> lines;
    size_t frames;
    std::optional<LineFault> fault;
};

const std::string kS1 = "S1050100AA55FA";
const std::string kS1NoPair = "S1050100AA55";
const std::string kS1BadData = "S1050100AZ55FA";

}  // namespace

TEST(RecordFrames, RamLoaderLinesBecomeLoadRecordsUpToS9) {
    const WalkCase cases[] = {
        {"S0 skipped, S9 ends",
         {"S00600004844521B", kS1, kS1NoPair, "S9030000FC"},
         2,
         std::nullopt},
        {"lines after S9 unread", {kS1, "S9", "garbage", "S3"}, 1, std::nullopt},
        {"no S9", {kS1, kS1}, 2, LineFault{RecordFault::NoEndRecord, 2}},
        {"no lines", {}, 0, LineFault{RecordFault::NoEndRecord, 0}},
        {"S2 refused",
         {kS1, "S20801FFF00102030406", "S9"},
         1,
         LineFault{RecordFault::UnacceptedType, 1}},
        {"S8 is no S9 here", {"S804000000FB"}, 0, LineFault{RecordFault::UnacceptedType, 0}},
        {"empty line", {kS1, "", "S9"}, 1, LineFault{RecordFault::NotARecord, 1}},
        {"non-hex data", {kS1, kS1BadData, "S9"}, 1, LineFault{RecordFault::Unreadable, 1}},
    };
    for (const auto& c : cases) {
        const RecordFrames walk = LoadRecordsFor(c.lines);
        EXPECT_EQ(walk.frames.size(), c.frames) << c.name;
        EXPECT_EQ(walk.fault, c.fault) << c.name;
        for (const Frame& f : walk.frames) EXPECT_EQ(uint8_t(f[0]), 0x77) << c.name;
    }
}

TEST(RecordFrames, FirmwareLinesInsideTheWindowBecomeFlashRecords) {
    const FlashWindow low = *FlashWindowFor(1);
    const FlashWindow s12 = *FlashWindowFor(3);
    const std::string s2Below = SRecord('2', 0x01FFF0, {1, 2, 3, 4});
    const std::string s2LastIn = SRecord('2', 0x1DFFF, {1});
    const std::string s2End = SRecord('2', 0x1E000, {1});
    const std::string s2S12 = SRecord('2', 0x20000, {1});
    const struct {
        WalkCase walk;
        FlashWindow window;
    } cases[] = {
        {{"S1 and S2 in order, S9 ends", {"S0030000FC", kS1, s2LastIn, "S9030000FC", kS1}, 2, {}},
         low},
        {{"S8 ends too", {kS1, "S804000000FB"}, 1, {}}, low},
        {{"window end is outside", {s2End, kS1, "S9"}, 1, {}}, low},
        {{"below the s12 window", {s2Below, kS1, s2S12, "S9"}, 1, {}}, s12},
        {{"no pair outside the window", {"S20503000011", "S9"}, 0, {}}, low},
        {{"no pair inside", {kS1, kS1NoPair, kS1}, 1, LineFault{RecordFault::NoChecksumPair, 1}},
         low},
        {{"non-hex even outside",
          {kS1, "S2050300001Z22EE", "S9"},
          1,
          LineFault{RecordFault::Unreadable, 1}},
         low},
        {{"S3", {kS1, "S30600000000FF"}, 1, LineFault{RecordFault::UnacceptedType, 1}}, low},
        {{"not a record", {"hello"}, 0, LineFault{RecordFault::NotARecord, 0}}, low},
        {{"no end record", {kS1}, 1, LineFault{RecordFault::NoEndRecord, 1}}, low},
        {{"S1 too long",
          {SRecord('1', 0, std::vector<uint8_t>(252, 0)), "S9"},
          0,
          LineFault{RecordFault::TooLong, 0}},
         low},
    };
    for (const auto& c : cases) {
        const RecordFrames walk = FlashRecordsFor(c.walk.lines, c.window);
        EXPECT_EQ(walk.frames.size(), c.walk.frames) << c.walk.name;
        EXPECT_EQ(walk.fault, c.walk.fault) << c.walk.name;
    }
    const RecordFrames first = FlashRecordsFor({kS1, "S9"}, low);
    ASSERT_EQ(first.frames.size(), 1u);
    EXPECT_EQ(Hex(first.frames[0]), "15 06 00 01 00 AA 55 F9");
}
