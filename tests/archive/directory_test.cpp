// Reading an archive's directory: what is listed, which warnings are given, and how each
// kind of damage is reported.
#include <QGuiApplication>

#include <stdexcept>

#include "archive/zip_messages.h"
#include "platform/busy_cursor.h"
#include "reader_fixture.h"

using ziptest::Member;
using ziptest::Put16;
using ziptest::Put32;
using ziptest::ZipBuilder;

namespace {
ZipBuilder TwoMembers() {
    ZipBuilder zip;
    zip.AddFile("FW0104.s19", "S00600004844521B\r\n", true).AddFile("FW0104.vif", "0123456789abcdef", false);
    return zip;
}
}  // namespace

TEST_F(ReaderTest, ListsStoredAndDeflatedMembersInDirectoryOrder) {
    Open(TwoMembers());
    ASSERT_EQ(reader.Count(), 2);
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"FW0104.s19", "FW0104.vif"}));
    const auto& s19 = reader.Entries()[0];
    EXPECT_EQ(s19.method, 8);
    EXPECT_EQ(s19.uncompressedSize, 18u);
    EXPECT_EQ(s19.crc32, ziptest::Crc32("S00600004844521B\r\n"));
    EXPECT_EQ(reader.Entries()[1].method, 0);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(reader.ErrCode(), 0);
}

TEST_F(ReaderTest, FolderEntriesAreSkippedSoTheFirstEntryIsAFile) {
    ZipBuilder zip;
    zip.AddFolder("firmware/").AddFile("firmware/FW.s19", "S1").AddFolder("firmware/empty/");
    Open(zip);
    ASSERT_EQ(reader.Count(), 1);
    EXPECT_EQ(reader.Entries()[0].fileName, "firmware/FW.s19");
    EXPECT_EQ(reader.DirOnlyCount(), 2);
}

TEST_F(ReaderTest, CommentsOfAnyLengthAreFoundByTheBackwardSearch) {
    for (const size_t length : {size_t{1}, size_t{2}, size_t{4000}, size_t{65535}}) {
        SCOPED_TRACE(length);
        ZipBuilder zip = TwoMembers();
        // The comment holds bytes that resemble nothing of the format.
        zip.Comment(Repeat("c", length));
        Open(zip, "comment" + std::to_string(length) + ".zip");
        EXPECT_EQ(reader.Count(), 2);
        EXPECT_EQ(reader.ZipComment().size(), length);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ReaderTest, PrependedStubIsWarnedAboutAndTheArchiveStillReads) {
    ZipBuilder zip = TwoMembers();
    zip.Prepend(Repeat("#!stub", 100));
    Open(zip);
    ASSERT_EQ(boxes.Texts(), (std::vector<std::string>{"Warning - Error in zip structure!"}));
    EXPECT_EQ(boxes.boxes[0].caption, "Solvenda Control Update");
    EXPECT_EQ(MessageCodes(), (std::vector<int>{10203}));
    EXPECT_EQ(reader.Count(), 2);
    EXPECT_EQ(reader.SFXOffset(), 600);
    ziparchive::TZipStream* s = reader.ExtractToMemory("FW0104.vif");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->View(), "0123456789abcdef");
}

TEST_F(ReaderTest, GarbageAfterTheArchiveIsWarnedAboutButPaddingIsNot) {
    ZipBuilder padded = TwoMembers();
    padded.Append(std::string(511, '\0'));
    Open(padded, "padded.zip");
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(reader.Count(), 2);

    const std::vector<std::string> warning{"Warning - Garbage at the end of the zipfile!"};
    for (const std::string& tail : {std::string(512, '\0'), std::string("\0\0/", 3), std::string("trailing text")}) {
        SCOPED_TRACE(tail.size());
        boxes.boxes.clear();
        reader.ForgetArchiveWarnings();
        ZipBuilder zip = TwoMembers();
        zip.Append(tail);
        Open(zip, "garbage.zip");
        EXPECT_EQ(boxes.Texts(), warning);
        EXPECT_EQ(reader.Count(), 2);
    }
    // Each member read opens the archive again; the user hears of it once until forgotten.
    reader.SetZipFileName(program.Path() + "garbage.zip");
    EXPECT_EQ(boxes.Texts(), warning);
    reader.ForgetArchiveWarnings();
    reader.SetZipFileName(program.Path() + "garbage.zip");
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>(2, warning.front()));
}

TEST_F(ReaderTest, NameLengthLimit) {
    ZipBuilder ok;
    ok.AddFile(std::string(259, 'n'), "x");
    Open(ok, "ok.zip");
    EXPECT_EQ(reader.Count(), 1);
    EXPECT_TRUE(boxes.boxes.empty());

    ZipBuilder tooLong;
    tooLong.AddFile(std::string(260, 'n'), "x");
    Open(tooLong, "long.zip");
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Error while reading a central file name"}));
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_EQ(reader.ZipFileName(), "");
    EXPECT_EQ(reader.ErrCode(), 11017);
}

struct Damage {
    const char* what;
    int id;
    const char* text;
};
void PrintTo(const Damage& d, std::ostream* os) { *os << d.what; }

class DamagedDirectoryTest : public ReaderTest, public ::testing::WithParamInterface<Damage> {
protected:
    // Breaks a two-member archive the way the parameter names.
    std::string Damaged() {
        ZipBuilder zip = TwoMembers();
        std::string bytes = zip.Build();
        const size_t cd = zip.CentralOffset(), end = zip.EndRecordOffset();
        const std::string what = GetParam().what;
        const size_t second = cd + 46 + 10;  // the first name is 10 bytes long
        if (what == "name holding a NUL") {
            bytes[cd + 46 + 6] = '\0';  // "FW0104\0s19" would be passed on as "FW0104"
        } else if (what == "zip64 end record missing") {
            const ZipBuilder zip64 = TwoMembers().Zip64End();
            bytes = zip64.Build();
            bytes[zip64.EndRecordOffset()] = 'X';
        } else if (what == "zip64 extra field too short") {
            Member m;
            m.name = "FW.vgf";
            m.data = "data";
            m.zip64 = true;
            m.zip64ExtraCut = 8;  // the local header offset is missing
            bytes = ZipBuilder().Add(m).Build();
        } else if (what == "signature") {
            bytes[second] = 'X';
        } else if (what == "header cut short") {
            // An empty directory that announces one entry: the header would be read from
            // the end record, which is too short for one.
            Put32(bytes, end + 12, 0);
            Put32(bytes, end + 16, static_cast<uint32_t>(end));
            Put16(bytes, end + 8, 1);
            Put16(bytes, end + 10, 1);
        } else if (what == "name beyond the end") {
            Put16(bytes, second + 28, 200);
        } else if (what == "extra beyond the end") {
            Put16(bytes, second + 30, 0xF000);
        } else if (what == "comment beyond the end") {
            Put16(bytes, second + 32, 0xF000);
        } else if (what == "directory larger than the file") {
            Put32(bytes, end + 12, 0x7FFFFFFF);
        } else if (what == "fewer entries announced") {
            Put16(bytes, end + 8, 1);
            Put16(bytes, end + 10, 1);
        } else if (what == "not a zip") {
            bytes = "This is a plain text file, not an archive.\r\n";
        }
        return bytes;
    }
};

TEST_P(DamagedDirectoryTest, IsReportedWithItsOwnMessageAndListsNothing) {
    reader.SetZipFileName(WriteArchive("damaged.vbf", Damaged()));
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_TRUE(reader.Entries().empty());
    ASSERT_EQ(boxes.Texts(), (std::vector<std::string>{GetParam().text}));
    EXPECT_EQ(reader.ErrCode(), GetParam().id);
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back().code, GetParam().id);
    EXPECT_FALSE(reader.Busy());
    // The reader accepts the next archive.
    Open(TwoMembers(), "good.vbf");
    EXPECT_EQ(reader.Count(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedDirectoryTest,
    ::testing::Values(
        Damage{"name holding a NUL", 11017, "Error while reading a central file name"},
        Damage{"zip64 end record missing", 11011,
               "Error while reading the End Of Central Directory"},
        Damage{"zip64 extra field too short", 11013, "Error while reading a central header"},
        Damage{"signature", 11015, "A central header signature is wrong"},
        Damage{"header cut short", 11013, "Error while reading a central header"},
        Damage{"name beyond the end", 11017, "Error while reading a central file name"},
        Damage{"extra beyond the end", 10201, "Seek error reading Zip archive!"},
        Damage{"comment beyond the end", 11022, "Error while reading a file comment"},
        Damage{"directory larger than the file", 10201, "Seek error reading Zip archive!"},
        Damage{"fewer entries announced", 11011,
               "Error while reading the End Of Central Directory"},
        Damage{"not a zip", 11036, "This archive is not a valid Zip archive"}),
    [](const auto& info) {
        std::string n = info.param.what;
        for (char& c : n)
            if (c == ' ') c = '_';
        return n;
    });

TEST_F(ReaderTest, NotAZipKeepsTheNameButAMissingFileSaysNothing) {
    reader.SetZipFileName(WriteArchive("text.vbf", std::string(100, 'x')));
    EXPECT_EQ(reader.ZipFileName(), program.Path() + "text.vbf");
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_EQ(boxes.boxes.size(), 1u);

    boxes.boxes.clear();
    reader.SetZipFileName(program.Path() + "missing.vbf");
    EXPECT_EQ(reader.Count(), 0);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(reader.ErrCode(), 0);
    EXPECT_EQ(reader.ExtractToMemory("x.s19"), nullptr);
}

TEST_F(ReaderTest, FilesTooShortForAnEndRecordAreNotArchives) {
    for (const size_t length : {size_t{0}, size_t{21}, size_t{22}, size_t{23}}) {
        boxes.boxes.clear();
        reader.SetZipFileName(WriteArchive("short.vbf", std::string(length, 'P')));
        EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"This archive is not a valid Zip archive"})) << length;
    }
}

TEST_F(ReaderTest, UnattendedReaderReportsOnlyToItsOwner) {
    reader.settings.unattended = true;
    reader.SetZipFileName(WriteArchive("text.vbf", "no archive"));
    EXPECT_TRUE(boxes.boxes.empty());
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].code, 11036);
    EXPECT_EQ(heard[0].text, "This archive is not a valid Zip archive");
}

TEST_F(ReaderTest, OperationStartedDuringAnotherDoesNothing) {
    ZipBuilder zip = TwoMembers();
    zip.Prepend("stub");  // gives a warning, heard while the listing runs
    bool busyInside = false, cursorInside = false;
    ziparchive::TZipStream* nested = reinterpret_cast<ziparchive::TZipStream*>(1);
    reader.OnMessage = [&](ziparchive::TCustomZipReader& r, int, const std::string&) {
        busyInside = r.Busy();
        cursorInside = platform::BusyCursor::Active() && QGuiApplication::overrideCursor() != nullptr;
        nested = r.ExtractToMemory("FW0104.vif");
    };
    Open(zip);
    EXPECT_TRUE(busyInside);
    EXPECT_TRUE(cursorInside);
    EXPECT_EQ(nested, nullptr);
    EXPECT_FALSE(reader.Busy());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_NE(reader.ExtractToMemory("FW0104.vif"), nullptr);
}

TEST_F(ReaderTest, InactiveReaderReadsTheDirectoryWhenActivated) {
    reader.SetActive(false);
    reader.SetZipFileName(WriteArchive("p.vbf", TwoMembers().Build()));
    EXPECT_EQ(reader.Count(), 0);
    reader.SetActive(true);
    EXPECT_EQ(reader.Count(), 2);
}

TEST_F(ReaderTest, ExecutableWhoseDirectoryDoesNotMatchIsReadFromTheZipBesideIt) {
    // A program file with an archive directory whose offsets point nowhere: its real
    // archive is the ".zip" of the same name.
    ZipBuilder inner;
    inner.AddFile("inner.txt", "x");
    std::string exe = inner.Build();
    exe.replace(0, 4, "MZ\x90\x00", 4);  // no local header where the directory says
    WriteArchive("setup.exe", exe);
    ZipBuilder beside;
    beside.AddFile("one.txt", "1").AddFile("two.txt", "2");
    WriteArchive("setup.zip", beside.Build());
    reader.SetZipFileName(program.Path() + "setup.exe");
    EXPECT_EQ(EntryNames(), (std::vector<std::string>{"one.txt", "two.txt"}));
    // The bytes come from the file whose directory gave the entries.
    ziparchive::TZipStream* s = reader.ExtractToMemory("two.txt");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->View(), "2");
}

TEST_F(ReaderTest, HandlerThatThrowsNeitherEndsTheProgramNorLeavesTheReaderBusy) {
    struct Case {
        const char* what;
        bool inDirUpdate;
        bool standard;
        std::vector<std::string> told;
    };
    const Case cases[] = {
        {"OnMessage, std::exception",
         false,
         true,
         {"This archive is not a valid Zip archive", "Error in event handler: handler broke"}},
        {"OnMessage, anything else",
         false,
         false,
         {"This archive is not a valid Zip archive", "Error in event handler"}},
        {"OnDirUpdate, std::exception", true, true, {"Error in event handler: handler broke"}},
        {"OnDirUpdate, anything else", true, false, {"Error in event handler"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.boxes.clear();
        const auto fail = [standard = c.standard] {
            if (standard) throw std::runtime_error("handler broke");
            throw 42;
        };
        reader.OnMessage = nullptr;
        reader.OnDirUpdate = nullptr;
        if (c.inDirUpdate) {
            reader.OnDirUpdate = [&](ziparchive::TCustomZipReader&) { fail(); };
            Open(TwoMembers());
        } else {
            reader.OnMessage = [&](ziparchive::TCustomZipReader&, int, const std::string&) {
                fail();
            };
            reader.SetZipFileName(WriteArchive("text.vbf", "no archive"));
        }
        EXPECT_FALSE(reader.Busy());
        EXPECT_EQ(boxes.Texts(), c.told);
        EXPECT_EQ(reader.ErrCode(), 10106);
        Open(TwoMembers(), "next.vbf");
        EXPECT_EQ(reader.Count(), 2);
    }
}

TEST_F(ReaderTest, Zip64ArchivesAreListedAndExtracted) {
    const std::string text = Repeat("S113000000112233445566778899AABBCCDD\r\n", 50);
    const auto zip64Members = [&] {
        Member s19, vif;
        s19.name = "FW.s19";
        s19.data = text;
        s19.zip64 = true;
        vif.name = "FW.vif";
        vif.data = "0123456789abcdef";
        vif.deflate = false;
        vif.zip64 = true;
        ZipBuilder zip;
        zip.Add(s19).Add(vif).Zip64End();
        return zip;
    };
    // More entries than the ordinary end record can count.
    ZipBuilder many;
    for (int i = 0; i < 70000; ++i)
        many.AddFile("f" + std::to_string(i) + ".txt", std::to_string(i), false);
    many.Zip64End();

    struct Case {
        const char* what;
        std::string bytes;
        int count;
        const char* member;
        std::string content;
        std::vector<std::string> told;
    };
    const Case cases[] = {
        {"64-bit fields and end record", zip64Members().Build(), 2, "FW.s19", text, {}},
        {"behind a stub",
         zip64Members().Prepend(Repeat("stub", 50)).Build(),
         2,
         "FW.vif",
         "0123456789abcdef",
         {"Warning - Error in zip structure!"}},
        {"70000 entries", many.Build(), 70000, "f69999.txt", "69999", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.boxes.clear();
        reader.SetZipFileName(WriteArchive("zip64.vbf", c.bytes));
        EXPECT_EQ(reader.Count(), c.count);
        ziparchive::TZipStream* s = reader.ExtractToMemory(c.member);
        ASSERT_NE(s, nullptr);
        EXPECT_TRUE(s->View() == c.content);
        EXPECT_EQ(boxes.Texts(), c.told);
    }
}
