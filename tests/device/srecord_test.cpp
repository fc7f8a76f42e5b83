// Reading S-record lines: values, field positions and lines that must not be sent.
#include <gtest/gtest.h>

#include "device/srecord.h"

using namespace device;
using Bytes = std::vector<uint8_t>;

TEST(HexDigits, ReadValuesMostSignificantFirstAndRefuseNonDigits) {
    EXPECT_EQ(HexDigit('0'), 0);
    EXPECT_EQ(HexDigit('9'), 9);
    EXPECT_EQ(HexDigit('a'), 10);
    EXPECT_EQ(HexDigit('F'), 15);
    for (const char bad : {'G', 'g', ' ', '/', ':', '@', '`', '\0', '\xC3'}) EXPECT_FALSE(HexDigit(bad)) << int(bad);

    EXPECT_EQ(HexByte("fA"), 0xFA);
    EXPECT_EQ(HexByte("A5tail"), 0xA5);  // only the first two characters count
    EXPECT_EQ(HexWord("01Ff"), 0x01FF);
    EXPECT_EQ(HexAddr24("3FA000"), 0x3FA000u);
    EXPECT_FALSE(HexByte("A"));
    EXPECT_FALSE(HexWord("12G4"));
    EXPECT_FALSE(HexAddr24("12345"));
    EXPECT_FALSE(HexByte(" 1"));
}

TEST(SRecordLines, S1AndS2FieldsComeFromTheirPositions) {
    const auto s1 = ReadSRecordLine("S1050100AA55FA");
    ASSERT_TRUE(s1);
    EXPECT_EQ(s1->type, '1');
    EXPECT_EQ(s1->count, 5);
    EXPECT_EQ(s1->address, 0x0100u);
    EXPECT_EQ(s1->data, (Bytes{0xAA, 0x55}));
    EXPECT_EQ(s1->checksum, 0xFA);

    const auto s2 = ReadSRecordLine("S20801FFF00102030406");
    ASSERT_TRUE(s2);
    EXPECT_EQ(s2->address, 0x01FFF0u);
    EXPECT_EQ(s2->data, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(s2->checksum, 0x06);

    // The first character is not examined. Only the flash record reads the checksum pair,
    // so a line whose pair is missing, cut or not hexadecimal still has its data.
    for (const char* line : {"x1040000FF", "S1040000FFF", "S1040000FFXY", "S1040000FF G0"}) {
        const auto loose = ReadSRecordLine(line);
        ASSERT_TRUE(loose) << line;
        EXPECT_EQ(loose->data, Bytes{0xFF}) << line;
        EXPECT_FALSE(loose->checksum) << line;
    }
    EXPECT_EQ(ReadSRecordLine("S1040000FF3C trailing")->checksum, 0x3C);

    const auto empty = ReadSRecordLine("S1030000FC");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->data.empty());
}

TEST(SRecordLines, OtherTypesCarryOnlyTheirType) {
    for (const char* line : {"S00600004844521B", "S00", "S9030000FC", "S804000000FB", "S3", "S7zz"}) {
        const auto r = ReadSRecordLine(line);
        ASSERT_TRUE(r) << line;
        EXPECT_EQ(r->type, line[1]);
        EXPECT_TRUE(r->data.empty());
    }
}

TEST(SRecordLines, LineWithANonDigitOrTooShortIsInvalid) {
    for (const char* line : {
             "",
             "S",
             "SX050100AA55FA",   // type not a digit
             "S1",               // no count
             "S1G50100AA55FA",   // count
             "S1050G00AA55FA",   // address
             "S2080G0000010203", // S2 address
             "S1050100AZ55FA",   // data
             "S1050100AA",       // fewer data bytes than the count says
             "S1020000",         // count below the address and checksum
             "S2030000",         // same for S2
         }) {
        EXPECT_FALSE(ReadSRecordLine(line)) << line;
    }
}
