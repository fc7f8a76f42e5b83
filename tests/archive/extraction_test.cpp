// Extracting members into the reader's memory stream through the real engine, with the
// checks that keep a damaged or crafted package from passing as good.
#include <cstdlib>
#include <filesystem>
#include <random>

#include "reader_fixture.h"

using ziptest::Member;
using ziptest::ZipBuilder;

namespace {

std::string Noise(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

std::string SRecordText(size_t lines) {
    std::string s;
    for (size_t i = 0; i < lines; ++i) s += "S2140" + std::to_string(100000 + i % 900000).substr(0, 5) + "00112233445566778899AABBCCDDEEFF0011\r\n";
    return s;
}

}  // namespace

TEST_F(ReaderTest, ExtractsStoredAndDeflatedMembersExactly) {
    const std::string text = SRecordText(5000), binary = Noise(70000, 1);
    ZipBuilder zip;
    zip.AddFile("FW.s19", text, true).AddFile("FW.vgf", binary, false).AddFile("FW.vtf", binary, true);
    Open(zip);
    for (const auto& [name, expected] :
         {std::pair{"FW.s19", text}, std::pair{"FW.vgf", binary}, std::pair{"FW.vtf", binary}}) {
        SCOPED_TRACE(name);
        ziparchive::TZipStream* s = reader.ExtractToMemory(name);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->Position(), 0u);
        EXPECT_EQ(s->Size(), expected.size());
        EXPECT_TRUE(s->View() == expected);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ReaderTest, SecondExtractionReplacesTheContentOfTheSameStream) {
    ZipBuilder zip;
    zip.AddFile("a.vgf", Noise(5000, 2)).AddFile("b.vtf", "short");
    Open(zip);
    ziparchive::TZipStream* first = reader.ExtractToMemory("a.vgf");
    ASSERT_NE(first, nullptr);
    first->SetPosition(100);
    ziparchive::TZipStream* second = reader.ExtractToMemory("b.vtf");
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->View(), "short");
    EXPECT_EQ(first->Position(), 0u);
}

TEST_F(ReaderTest, EmptyMemberGivesAnEmptyStream) {
    ZipBuilder zip;
    zip.AddFile("FW.vgf", "", false).AddFile("FW.vtf", "", true);
    Open(zip);
    for (const char* name : {"FW.vgf", "FW.vtf"}) {
        ziparchive::TZipStream* s = reader.ExtractToMemory(name);
        ASSERT_NE(s, nullptr) << name;
        EXPECT_EQ(s->Size(), 0u);
    }
}

TEST_F(ReaderTest, MemberStoredWithSlashesIsFoundByBackslashesInAnyCase) {
    ZipBuilder zip;
    zip.AddFile("firmware/kx/fw0104.s19", "S00");
    Open(zip);
    ziparchive::TZipStream* s = reader.ExtractToMemory("FIRMWARE\\KX\\FW0104.S19");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->View(), "S00");
}

TEST_F(ReaderTest, MissingMemberGivesNothingWithoutAMessage) {
    ZipBuilder zip;
    zip.AddFile("FW.s19", "S00");
    Open(zip);
    EXPECT_EQ(reader.ExtractToMemory("FW.vif"), nullptr);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(reader.ExtractToMemory(""), nullptr);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Error - no files to zip!"}));
}

TEST_F(ReaderTest, ExtractionWithoutArchiveNameIsRefused) {
    EXPECT_EQ(reader.ExtractToMemory("FW.vif"), nullptr);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Error - no zip file specified!"}));
}

class BadMemberTest : public ReaderTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadMemberTest, IsAnErrorNeverASuccess) {
    const std::string what = GetParam();
    const std::string data = SRecordText(300);
    Member m;
    m.name = "FW.s19";
    m.data = data;
    m.deflate = what.find("stored") == std::string::npos;
    if (what.find("crc") != std::string::npos) m.crcOverride = ziptest::Crc32(data) ^ 0x100;
    if (what.find("declared larger") != std::string::npos) m.uncompressedSizeOverride = static_cast<uint32_t>(data.size() + 1);
    if (what.find("declared smaller") != std::string::npos) m.uncompressedSizeOverride = static_cast<uint32_t>(data.size() - 1);
    ZipBuilder zip;
    zip.Add(m);
    std::string bytes = zip.Build();
    if (what == "corrupt deflate data") bytes[30 + 6 + 3] ^= 0x5A;
    reader.SetZipFileName(WriteArchive("bad.vbf", bytes));
    ASSERT_EQ(reader.Count(), 1);
    EXPECT_EQ(reader.ExtractToMemory("FW.s19"), nullptr);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"DLL Error - Invalid structure"}));
    EXPECT_EQ(reader.ErrCode(), 10122);
    EXPECT_FALSE(reader.Busy());
}

INSTANTIATE_TEST_SUITE_P(Member, BadMemberTest,
                         ::testing::Values("crc deflated", "crc stored", "declared larger deflated",
                                           "declared smaller deflated", "declared larger stored",
                                           "corrupt deflate data"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (c == ' ') c = '_';
                             return n;
                         });

TEST_F(ReaderTest, OversizedDeclaredMemberIsRefusedBeforeAnyMemoryIsTaken) {
    // The second size, from a 64-bit field, would read as the 4 bytes there are if it were
    // cut to 32 bits.
    for (const uint64_t declared : {uint64_t{0xFFFFFFF0u}, (uint64_t{1} << 32) + 4}) {
        SCOPED_TRACE(declared);
        boxes.boxes.clear();
        Member m;
        m.name = "FW.vgf";
        m.data = "tiny";
        m.uncompressedSizeOverride = declared;
        ZipBuilder zip;
        zip.Add(m).AddFile("FW.vtf", "ok");
        Open(zip);
        EXPECT_EQ(reader.ExtractToMemory("FW.vgf"), nullptr);
        EXPECT_EQ(
            boxes.Texts(),
            (std::vector<std::string>{"Error - archive member too large to extract: FW.vgf"}));
        ziparchive::TZipStream* ok = reader.ExtractToMemory("FW.vtf");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->View(), "ok");
    }
}

// Members the engine will not unpack are named for what they are.
TEST_F(ReaderTest, MembersTheEngineCannotUnpackSayWhy) {
    const struct {
        const char* name;
        uint16_t flags;
        std::optional<uint16_t> method;
        std::string box;
    } cases[] = {
        {"encrypted", 1, std::nullopt,
         "Error - archive member is encrypted, which is not supported: FW.vgf"},
        {"bzip2", 0, 12, "Error - compression method 12 of the archive member is not supported"},
        {"implode", 0, 6, "Error - compression method 6 of the archive member is not supported"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.boxes.clear();
        Member m;
        m.name = "FW.vgf";
        m.data = "secret";
        m.deflate = false;
        m.flags = c.flags;
        m.methodOverride = c.method;
        ZipBuilder zip;
        zip.Add(m);
        Open(zip);
        EXPECT_EQ(reader.ExtractToMemory("FW.vgf"), nullptr);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.box});
    }
}

// Archives written by the system's own tools, so that the reader is not only checked
// against the test's own writer.
TEST_F(ReaderTest, ReadsArchivesWrittenByPythonAndZip) {
    const std::string payload = SRecordText(2000);
    program.Write("src/fw/FW0105.s19", payload);
    program.Write("src/fw/FW0105.vif", "0123456789ABCDEF");
    const std::string py =
        "python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1],'w',zipfile.ZIP_DEFLATED); "
        "z.write('src/fw/FW0105.s19','fw/FW0105.s19'); z.writestr('fw/FW0105.vif', open('src/fw/FW0105.vif','rb').read(), zipfile.ZIP_STORED); z.close()\" py.vbf";
    if (std::system(py.c_str()) != 0) GTEST_SKIP() << "python3 not available";
    reader.SetZipFileName(program.Path() + "py.vbf");
    ASSERT_EQ(EntryNames(), (std::vector<std::string>{"fw/FW0105.s19", "fw/FW0105.vif"}));
    ziparchive::TZipStream* s = reader.ExtractToMemory("fw\\fw0105.S19");
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->View() == payload);

    if (std::system("cd src && zip -q -r ../zip.vbf fw > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "zip not available";
    reader.SetZipFileName(program.Path() + "zip.vbf");
    EXPECT_EQ(reader.Count(), 2);  // the folder entry "fw/" is skipped
    EXPECT_EQ(reader.DirOnlyCount(), 1);
    s = reader.ExtractToMemory("fw/FW0105.vif");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->View(), "0123456789ABCDEF");
    EXPECT_TRUE(boxes.boxes.empty());

    // zip writes 64-bit records when told to and when it reads from a pipe.
    for (const char* command : {"cd src && zip -q -fz ../zip64.vbf fw/FW0105.s19",
                                "zip -q zip64.vbf - < src/fw/FW0105.s19"}) {
        SCOPED_TRACE(command);
        std::filesystem::remove(program.Path() + "zip64.vbf");
        ASSERT_EQ(std::system(command), 0);
        reader.SetZipFileName(program.Path() + "zip64.vbf");
        ASSERT_EQ(reader.Count(), 1);
        s = reader.ExtractToMemory(reader.Entries()[0].fileName);
        ASSERT_NE(s, nullptr);
        EXPECT_TRUE(s->View() == payload);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}
