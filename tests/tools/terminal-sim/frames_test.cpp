// The simulator's frame parser, memories and image rules.
#include "terminal-sim/frames.h"

#include <gtest/gtest.h>

#include "sent_frames.h"
#include "terminal-sim/memory.h"

using namespace termsim;
using namespace simtest;

namespace {

struct ParseCase {
    const char* what;
    FrameSet set;
    Bytes bytes;
    ParseStatus status;
    FrameKind kind = FrameKind::Garbage;
    uint32_t address = 0;
    Bytes data = {};
    bool sumOk = true;
};

}  // namespace

TEST(FrameParser, ReadsEveryFrameOfItsSetAndRefusesWhatCannotBeOne) {
    const Bytes zeros64(64, 0);
    const Bytes loaderLine = Pattern(16, 1);
    Bytes badSum = BlockWrite(0x40, {1, 2});
    badSum.back() ^= 1;
    Bytes badFlash = FlashRecord(0x100, {0xAA, 0x55});
    badFlash.back() ^= 1;
    Bytes badOpening = kOpening;
    badOpening[13] = 0xF6;
    Bytes badPage = PageWrite(0x30, 0x8000, zeros64);
    badPage[10] ^= 1;
    const Bytes tooLong = {0xBB, 0, 0, 0, 0x40, 65};

    const ParseCase cases[] = {
        {"identify", FrameSet::ResidentLoader, kIdentify, ParseStatus::Frame, FrameKind::Identify},
        {"identify prefix", FrameSet::ResidentLoader, {0xAC, 0, 0}, ParseStatus::NeedMore},
        {"identify broken", FrameSet::ResidentLoader, {0xAC, 0, 1}, ParseStatus::Garbage},
        {"start", FrameSet::Relay, kStart, ParseStatus::Frame, FrameKind::StartRequest},
        {"nudge", FrameSet::ResidentLoader, {0x00}, ParseStatus::Frame, FrameKind::Nudge},
        {"empty block write at 0x40",
         FrameSet::ResidentLoader,
         {0xBB, 0, 0, 0, 0x40, 0, 0x00, 0xFB},
         ParseStatus::Frame,
         FrameKind::BlockWrite,
         0x40},
        {"block write", FrameSet::ResidentLoader, BlockWrite(0x12345678, Pattern(64, 3)),
         ParseStatus::Frame, FrameKind::BlockWrite, 0x12345678, Pattern(64, 3)},
        {"block write, wrong sum",
         FrameSet::ResidentLoader,
         badSum,
         ParseStatus::Frame,
         FrameKind::BlockWrite,
         0x40,
         {1, 2},
         false},
        {"block write longer than 64", FrameSet::ResidentLoader, tooLong, ParseStatus::Garbage},
        {"load record of S1130000", FrameSet::ResidentLoader, LoadRecord(0, loaderLine),
         ParseStatus::Frame, FrameKind::LoadRecord, 0, loaderLine},
        {"flash record of S1050100AA55FA",
         FrameSet::FlashRecords,
         {0x15, 0x06, 0x00, 0x01, 0x00, 0xAA, 0x55, 0xF9},
         ParseStatus::Frame,
         FrameKind::FlashRecord,
         0x100,
         {0xAA, 0x55}},
        {"flash record, wrong sum",
         FrameSet::FlashRecords,
         badFlash,
         ParseStatus::Frame,
         FrameKind::FlashRecord,
         0x100,
         {0xAA, 0x55},
         false},
        {"flash record count below 4", FrameSet::FlashRecords, {0x15, 0x03}, ParseStatus::Garbage},
        {"flash record to the resident loader",
         FrameSet::ResidentLoader,
         {0x15},
         ParseStatus::Garbage},
        {"finish", FrameSet::FlashRecords, {0x35}, ParseStatus::Frame, FrameKind::Finish},
        {"opening", FrameSet::ResidentLoader, kOpening, ParseStatus::Frame, FrameKind::Opening, 0,
         Bytes(10, 0)},
        {"opening, wrong sum", FrameSet::ResidentLoader, badOpening, ParseStatus::Frame,
         FrameKind::Opening, 0, Bytes(10, 0), false},
        {"FF without F8", FrameSet::ResidentLoader, {0xFF, 0x00}, ParseStatus::Garbage},
        {"page write", FrameSet::Pages, PageWrite(0x30, 0x8000, zeros64), ParseStatus::Frame,
         FrameKind::PageWrite, 0x308000, zeros64},
        {"page write of zeros ends in 4F", FrameSet::Pages,
         Cat(Cat({0x16, 0x30, 0x80, 0x00}, zeros64), {0x4F}), ParseStatus::Frame,
         FrameKind::PageWrite, 0x308000, zeros64},
        {"page write, wrong sum", FrameSet::Pages, badPage, ParseStatus::Frame,
         FrameKind::PageWrite, 0x308000, Bytes(badPage.begin() + 4, badPage.end() - 1), false},
        {"end byte", FrameSet::Pages, {0xAF}, ParseStatus::Frame, FrameKind::End},
        {"Granulo block of zeros ends in 7A", FrameSet::GranuloBlocks,
         Cat(Cat({0x15, 0x05, 0x80}, zeros64), {0x7A}), ParseStatus::Frame, FrameKind::GranuloBlock,
         0x0580, zeros64},
        {"Granulo block prefix",
         FrameSet::GranuloBlocks,
         {0x15, 0x05, 0x80, 0},
         ParseStatus::NeedMore},
        {"only an identify after the start", FrameSet::RestartOnly, {0xBB}, ParseStatus::Garbage},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.what);
        const ParseResult r = ParseFrame(c.set, c.bytes);
        ASSERT_EQ(r.status, c.status);
        if (c.status != ParseStatus::Frame) continue;
        EXPECT_EQ(r.frame.kind, c.kind);
        EXPECT_EQ(r.frame.length, c.bytes.size());
        EXPECT_EQ(r.frame.address, c.address);
        EXPECT_EQ(Bytes(c.bytes.begin() + r.frame.dataOffset,
                        c.bytes.begin() + r.frame.dataOffset + r.frame.dataLength),
                  c.data);
        EXPECT_EQ(r.frame.sumOk, c.sumOk);
        // Every proper prefix of a frame asks for more.
        for (std::size_t n = 1; n < c.bytes.size(); ++n) {
            ASSERT_EQ(ParseFrame(c.set, {c.bytes.data(), n}).status, ParseStatus::NeedMore) << n;
        }
    }
}

TEST(FrameParser, NeverHoldsMoreThanTheLongestFrameOnAnyBytes) {
    // The loop a receiver runs: add a byte, drop one on garbage, drop a whole frame.
    uint32_t seed = 12345;
    for (const FrameSet set :
         {FrameSet::ResidentLoader, FrameSet::FlashRecords, FrameSet::GranuloBlocks,
          FrameSet::Relay, FrameSet::Pages, FrameSet::RestartOnly}) {
        Bytes held;
        for (int i = 0; i < 200000; ++i) {
            seed = seed * 1103515245 + 12345;
            // Mostly command bytes, so that long frames start often.
            const uint8_t commands[] = {0xBB, 0x77, 0x15, 0x16, 0xAC, 0xFF, 0x00};
            held.push_back((seed >> 16) % 3 == 0 ? commands[(seed >> 8) % 7] : uint8_t(seed >> 24));
            for (;;) {
                const ParseResult r = ParseFrame(set, held);
                if (r.status == ParseStatus::NeedMore) break;
                const std::size_t used = r.status == ParseStatus::Frame ? r.frame.length : 1;
                ASSERT_LE(used, held.size());
                held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(used));
            }
            ASSERT_LT(held.size(), kMaxFrameBytes);
        }
    }
}

TEST(SparseMemoryTest, JoinsTouchingWritesAndKeepsGapsFilled) {
    SparseMemory m;
    m.Write(0x100, Bytes{1, 2});
    m.Write(0x102, Bytes{3});     // appends
    m.Write(0x200, Bytes{9});     // a segment of its own
    m.Write(0x0FE, Bytes{7, 8});  // touches the first from below
    m.Write(0x101, Bytes{5});     // overwrites inside
    ASSERT_EQ(m.Segments().size(), 2u);
    EXPECT_EQ(m.Segments().begin()->first, 0x0FEu);
    EXPECT_EQ(m.Read(0x0FD, 7), (Bytes{0xFF, 7, 8, 1, 5, 3, 0xFF}));
    m.Write(0x103, Bytes(0xFD, 4));  // bridges both into one
    ASSERT_EQ(m.Segments().size(), 1u);
    EXPECT_EQ(m.Size(), 0x201u - 0x0FE);
    EXPECT_FALSE(m.Write(0x10000000, Bytes(SparseMemory::kMaxBytes, 0)));
    EXPECT_EQ(m.Size(), 0x201u - 0x0FE);
}

TEST(Images, PageAndGranuloBlocksLandInsideTheirImagesOnly) {
    struct Case {
        uint32_t at;
        bool inside;
        std::size_t offset;
    };
    const Case pages[] = {
        {0x308000, true, 0},       {0x3E8000, true, 0x38000}, {0x3F8000, true, 0x3C000},
        {0x3F9FC0, true, 0x3DFC0}, {0x3FA000, false, 0},      {0x2F8000, false, 0},
        {0x307FC0, false, 0},      {0x30BFC0, true, 0x3FC0},  {0x30BFC1, false, 0}};
    for (const Case& c : pages) {
        std::size_t offset = 0;
        EXPECT_EQ(PageImageOffset(c.at, offset), c.inside) << std::hex << c.at;
        if (c.inside) {
            EXPECT_EQ(offset, c.offset) << std::hex << c.at;
        }
    }
    const Case granulo[] = {
        {0x0580, true, 0}, {0xF5C0, true, 0xF040}, {0xF5C1, false, 0}, {0x0540, false, 0}};
    for (const Case& c : granulo) {
        std::size_t offset = 0;
        EXPECT_EQ(GranuloImageOffset(c.at, offset), c.inside) << std::hex << c.at;
        if (c.inside) {
            EXPECT_EQ(offset, c.offset) << std::hex << c.at;
        }
    }
    EXPECT_TRUE(FlashWindowFor(3).Contains(0x20000));
    EXPECT_FALSE(FlashWindowFor(3).Contains(0x1FFFF));
    EXPECT_FALSE(FlashWindowFor(1).Contains(0x1E000));
}

TEST(Images, ChecksumsSumExactlyTheirRangesAndAreStoredHighByteFirst) {
    // A byte lowered by one raises the complemented sum by one where it is summed.
    struct Case {
        std::size_t offset;
        bool summed;
    };
    const auto check = [](uint16_t (*checksum)(std::span<const uint8_t>), std::size_t size,
                          std::initializer_list<Case> cases) {
        const Bytes blank(size, 0xFF);
        for (const Case& c : cases) {
            Bytes image = blank;
            image[c.offset] = 0xFE;
            EXPECT_EQ(uint16_t(checksum(image) - checksum(blank)), c.summed ? 1 : 0)
                << std::hex << c.offset;
        }
    };
    check(PageImageChecksum, kPageImageSize,
          {{0x00000, true},
           {0x2FFFF, true},
           {0x30000, false},
           {0x37FFF, false},
           {0x38000, true},
           {0x3DFFD, true},
           {0x3DFFE, false}});
    check(GranuloImageChecksum, kGranuloImageSize,
          {{0x0000, true},
           {0x007F, true},
           {0x0080, false},
           {0x087F, false},
           {0x0880, true},
           {0xF03F, true},
           {0xF040, false},
           {0xF07F, false}});
    const Bytes blankPages(kPageImageSize, 0xFF);
    // All FF: 0x35FFE summed bytes of FF; the complement's low 16 bits.
    const uint16_t blank = uint16_t(~(0x35FFEu * 0xFF));
    EXPECT_EQ(PageImageChecksum(blankPages), blank);
    Bytes stored = blankPages;
    stored[0x3DFFE] = uint8_t(blank >> 8);
    stored[0x3DFFF] = uint8_t(blank);
    EXPECT_TRUE(PageImageChecksumStored(stored));
    std::swap(stored[0x3DFFE], stored[0x3DFFF]);
    EXPECT_FALSE(PageImageChecksumStored(stored));
}
