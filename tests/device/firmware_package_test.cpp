// Reading and checking the members of firmware packages built by the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

#include "device/firmware_package.h"
#include "reader_fixture.h"

using namespace device;
using ziptest::ZipBuilder;

namespace {

uint32_t ByteSum(const std::string& s) {
    uint32_t sum = 0;
    for (const char c : s) sum += static_cast<uint8_t>(c);
    return sum;
}

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    ziptest::Put32(s, 0, v);
    return s;
}

}  // namespace

class PackageTest : public ReaderTest {
protected:
    std::string vgf = std::string("\x00\x01\xFE\xFF", 4) + Repeat("graphics", 200);
    std::string vtf = Repeat("\x7F\x80text", 300);
    std::string s19 = "S00600004844521B\r\nS1050100AA55FA\r\nS9030000FC\r\n";

    // A package whose vif member holds the real sums, or `vif` when given.
    std::string Package(const std::string& firstEntry = "FW0104.s19",
                        const std::optional<std::string>& vif = std::nullopt) {
        const std::string index = vif.value_or(Le32(ByteSum(vgf)) + Le32(ByteSum(vtf)) +
                                               Le32(ByteSum(s19)) + Le32(0x4000));
        ZipBuilder zip;
        if (firstEntry != "FW0104.s19") zip.AddFile(firstEntry, "read me");
        zip.AddFile("FW0104.s19", s19)
            .AddFile("FW0104.vif", index, false)
            .AddFile("FW0104.vgf", vgf)
            .AddFile("FW0104.vtf", vtf);
        return WriteArchive("KX_R0104.vbf", zip.Build());
    }
};

TEST_F(PackageTest, MembersWhoseSumsMatchTheIndexAreRead) {
    const std::string path = Package();
    const std::optional<PackageIndex> index = ReadPackageIndex(reader, path);
    ASSERT_TRUE(index.has_value());
    EXPECT_EQ(index->vgfAddress, 0x4000u);
    EXPECT_EQ(ReadCheckedMember(reader, path, "vgf", index->vgfSum), vgf);
    EXPECT_EQ(ReadCheckedMember(reader, path, "vtf", index->vtfSum), vtf);
    EXPECT_EQ(ReadCheckedMember(reader, path, "s19", index->s19Sum), s19);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(PackageTest, IndexTooShortForItsFourValuesIsRefused) {
    // Zero bytes would read as sums of 0 if a short member counted as zeros.
    for (const size_t length : {size_t{0}, size_t{4}, size_t{15}, size_t{16}, size_t{20}}) {
        SCOPED_TRACE(length);
        const std::string path = Package("FW0104.s19", std::string(length, '\0'));
        EXPECT_EQ(ReadPackageIndex(reader, path).has_value(), length >= 16);
    }
    const std::string four("\x01\x02\x03\x04", 4);
    EXPECT_EQ(PackageValueAt(four, 0), 0x04030201u);
    EXPECT_FALSE(PackageValueAt(four, 1).has_value());
    EXPECT_FALSE(PackageValueAt(four, SIZE_MAX - 1).has_value());
    EXPECT_FALSE(ReadPackageIndex(reader, program.Path() + "missing.vbf").has_value());
}

TEST_F(PackageTest, ByteSumMismatchOrMissingMemberIsRefusedWithoutAMessage) {
    const std::string path = Package();
    EXPECT_EQ(ReadCheckedMember(reader, path, "vgf", ByteSum(vgf) + 1), "");
    EXPECT_EQ(ReadCheckedMember(reader, path, "xyz", 0), "");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(PackageTest, EmptyMemberIsRefusedEvenWithAMatchingSum) {
    ZipBuilder zip;
    zip.AddFile("FW.s19", "S00").AddFile("FW.vgf", "");
    const std::string path = WriteArchive("KX_R0001.vbf", zip.Build());
    ASSERT_NE(LoadZIP(reader, path, "vgf"), nullptr);
    EXPECT_EQ(ReadCheckedMember(reader, path, "vgf", 0), "");
}

TEST_F(PackageTest, MemberNamesFollowTheFirstEntry) {
    const std::string path = Package("readme.txt");
    EXPECT_EQ(LoadZIP(reader, path, "vif"), nullptr);  // readme.vif does not exist
    EXPECT_EQ(ReadCheckedMember(reader, path, "vgf", ByteSum(vgf)), "");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(PackageTest, UnreadablePackageSaysLoadZipErrorOncePerCall) {
    EXPECT_EQ(LoadZIP(reader, program.Path() + "missing.vbf", "vif"), nullptr);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"LoadZIP error"}));

    boxes.boxes.clear();
    const std::string text = WriteArchive("KX_R0002.vbf", "not a package");
    EXPECT_EQ(ReadCheckedMember(reader, text, "vgf", 0), "");
    EXPECT_EQ(boxes.Texts(),
              (std::vector<std::string>{"This archive is not a valid Zip archive", "LoadZIP error"}));

    boxes.boxes.clear();
    const std::string empty = WriteArchive("KX_R0003.vbf", ZipBuilder().Build());
    EXPECT_EQ(LoadZIP(reader, empty, "vif"), nullptr);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"LoadZIP error"}));
}

TEST_F(PackageTest, StreamIsAtItsStartEvenAfterAnEarlierRead) {
    const std::string path = Package();
    ziparchive::TZipStream* s = LoadZIP(reader, path, "vtf");
    ASSERT_NE(s, nullptr);
    s->SetPosition(s->Size());
    s = LoadZIP(reader, path, "vtf");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Position(), 0u);
}

TEST_F(PackageTest, GranuloHeadCheck) {
    const std::pair<const char*, const char*> cases[] = {
        {"S0030000FC\r\nS113...", "S00"}, {"S113058000", ""}, {"S0", ""}, {"s00", ""}};
    for (const auto& [text, head] : cases) {
        ZipBuilder zip;
        zip.AddFile("Granulo.s19", text);
        const std::string path = WriteArchive("Granulo_R01_04.bbf", zip.Build());
        EXPECT_EQ(ReadS19Head(reader, path, "s19"), head) << text;
    }
    EXPECT_EQ(ReadS19Head(reader, program.Path() + "missing.bbf", "s19"), "");
}
