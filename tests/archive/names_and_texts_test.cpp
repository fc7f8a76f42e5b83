// How stored names are decoded by the host that wrote them, and the message table.
#include "archive/zip_messages.h"
#include "reader_fixture.h"

using ziptest::Member;
using ziptest::ZipBuilder;

namespace {
Member Named(const std::string& raw, uint8_t host, uint8_t madeBy = 20, uint16_t flags = 0) {
    Member m;
    m.name = raw;
    m.data = "x";
    m.hostSystem = host;
    m.versionMadeBy = madeBy;
    m.flags = flags;
    return m;
}
}  // namespace

TEST_F(ReaderTest, NamesAreDecodedByTheRulesOfTheHostThatWroteThem) {
    const std::string oem = "Gr\x81n.txt";               // "Grün" in code page 437
    const std::string ansi = "Gr\xFCn.txt";              // the same in Windows-1252
    const std::string utf8 = "Gr\xC3\xBCn.txt";          // and in UTF-8
    ZipBuilder zip;
    zip.Add(Named(oem, 0))                   // FAT: OEM
        .Add(Named(oem, 6))                  // HPFS: OEM
        .Add(Named(oem, 11, 50))             // NTFS written by version 5.0: OEM
        .Add(Named(ansi, 11, 20))            // other NTFS writers: not OEM
        .Add(Named(ansi, 3))                 // Unix, 8-bit: read as Windows-1252
        .Add(Named(utf8, 3))                 // Unix, UTF-8
        .Add(Named(utf8, 0, 20, 0x0800));    // FAT with the UTF-8 flag
    Open(zip);
    ASSERT_EQ(reader.Count(), 7);
    for (const auto& e : reader.Entries()) EXPECT_EQ(e.fileName, utf8) << e.rawName;

    // A member found by its decoded name is extracted although its stored bytes differ.
    ziparchive::TZipStream* s = reader.ExtractToMemory(utf8);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->View(), "x");

    reader.settings.codePage = ziparchive::ZipCodePage::cpOEM;
    ZipBuilder forced;
    forced.Add(Named(oem, 3));
    Open(forced, "forced.zip");
    EXPECT_EQ(reader.Entries().at(0).fileName, utf8);
}

TEST(ZipMessages, TextsByIdWithPlaceholdersAndLineEnds) {
    using ziparchive::ZipMessage;
    using ziparchive::ZipMessageText;
    EXPECT_EQ(ZipMessageText(11002), "Zip file could not be opened");
    EXPECT_EQ(ZipMessageText(10202), "Unknown error in List() function\r\n");
    EXPECT_EQ(ZipMessageText(4711), "Resource missing for 4711");
    EXPECT_EQ(ZipMessage(10650, "ZipEngine.so"), "Failed to load ZipEngine.so");
    EXPECT_EQ(ZipMessage(10124, -12), "critical DLL Error -12");
}

TEST(MemberNames, MatchIgnoringAsciiCaseAndSeparatorKind) {
    using ziparchive::SameMemberName;
    EXPECT_TRUE(SameMemberName("Fw/Sub/a.S19", "FW\\SUB\\A.s19"));
    EXPECT_FALSE(SameMemberName("fw/a.s19", "fw/a.s1"));
    EXPECT_FALSE(SameMemberName("fw_a.s19", "fw/a.s19"));
    EXPECT_TRUE(ziparchive::HasFilePart("a/b"));
    EXPECT_FALSE(ziparchive::HasFilePart("a/b/"));
    EXPECT_FALSE(ziparchive::HasFilePart(""));
}
