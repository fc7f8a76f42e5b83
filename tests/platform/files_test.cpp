#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/text_codec.h"
#include "temp_folder.h"

namespace {

using Names = std::vector<std::string>;

TEST(Wildcards, MatchWithoutRegardToCase) {
    EXPECT_TRUE(platform::WildcardMatch("*.lan", "English_3.LAN"));
    EXPECT_TRUE(platform::WildcardMatch("English*.lan", "english_10.lan"));
    EXPECT_FALSE(platform::WildcardMatch("English*.lan", "Deutsch_1.lan"));
    EXPECT_FALSE(platform::WildcardMatch("*.lan", "English_3.lan.bak"));
    EXPECT_TRUE(platform::WildcardMatch("*.*", "README"));
    EXPECT_TRUE(platform::WildcardMatch("*.*", "a.b.c"));
    EXPECT_TRUE(platform::WildcardMatch("File?.txt", "File1.txt"));
    EXPECT_FALSE(platform::WildcardMatch("File?.txt", "File.txt"));
    EXPECT_TRUE(platform::WildcardMatch("*", ""));
    EXPECT_FALSE(platform::WildcardMatch("a*b*c*d*e*f", std::string(5000, 'a')));
}

TEST(Wildcards, ListingIsFilteredAndSortedCaseInsensitively) {
    testsupport::TempFolder dir;
    for (const char* n : {"english_4.lan", "Deutsch_1.lan", "English_1.lan", "notes.txt", "ZZ.lan"})
        dir.Write(n, "x");
    dir.Write("Folder.lan/inner.txt", "x");  // a folder whose name matches is not a file
    EXPECT_EQ(platform::ListFiles(dir.Path(), "*.lan"),
              (Names{"Deutsch_1.lan", "English_1.lan", "english_4.lan", "ZZ.lan"}));
    EXPECT_EQ(platform::ListFiles(dir.Path(), "English*.lan"),
              (Names{"English_1.lan", "english_4.lan"}));
    EXPECT_EQ(platform::ListFiles(dir.Path(), "*.*").size(), 5u);
    EXPECT_TRUE(platform::ListFiles(dir.Path() + "missing/", "*.*").empty());
}

TEST(TextFiles, EveryLineEndIsRecognised) {
    EXPECT_EQ(platform::SplitLines("a\r\nb\rc\nd"), (Names{"a", "b", "c", "d"}));
    EXPECT_EQ(platform::SplitLines("a\r\n\r\nb\r\n"), (Names{"a", "", "b"}));
    EXPECT_TRUE(platform::SplitLines("").empty());
}

// Makes every write of the process fail beyond `bytes` of a file, as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousSignal_)(int) = nullptr;
};

TEST(TextFiles, WritesCrLfAndReplacesOnlyWhenComplete) {
    testsupport::TempFolder dir;
    const std::string path = dir.Path() + "out.txt";
    ASSERT_TRUE(platform::WriteTextLines(path, {"one", "two"}));
    EXPECT_EQ(dir.Read("out.txt"), "one\r\ntwo\r\n");
    EXPECT_EQ(*platform::ReadTextLines(path), (Names{"one", "two"}));
    // A write that fails half way keeps the old file whole and leaves no part behind.
    {
        FileSizeLimit limit(1000);
        EXPECT_FALSE(platform::WriteTextLines(path, {std::string(5000, 'x')}));
    }
    EXPECT_EQ(dir.Read("out.txt"), "one\r\ntwo\r\n");
    EXPECT_EQ(platform::ListFiles(dir.Path(), "*.*"), (Names{"out.txt"}));
    // A folder that does not exist: the write fails and leaves nothing behind.
    EXPECT_FALSE(platform::WriteTextLines(dir.Path() + "no/out.txt", {"x"}));
    EXPECT_FALSE(dir.Exists("no"));
    EXPECT_FALSE(platform::ReadTextLines(dir.Path() + "absent.txt").has_value());
}

TEST(TextFiles, ReadRefusesFilesAboveTheLimit) {
    testsupport::TempFolder dir;
    dir.Write("big", std::string(2000, 'x'));
    EXPECT_FALSE(platform::ReadFileBytes(dir.Path() + "big", 1000).has_value());
    EXPECT_EQ(platform::ReadFileBytes(dir.Path() + "big", 2000)->size(), 2000u);
}

TEST(Folders, CreateOneLevelAndDelete) {
    testsupport::TempFolder dir;
    EXPECT_TRUE(platform::CreateFolder(dir.Path() + "Data"));
    EXPECT_TRUE(platform::CreateFolder(dir.Path() + "Data"));  // already there
    EXPECT_FALSE(platform::CreateFolder(dir.Path() + "a/b"));
    dir.Write("f.txt", "x");
    EXPECT_TRUE(platform::DeleteFile(dir.Path() + "f.txt"));
    EXPECT_FALSE(platform::DeleteFile(dir.Path() + "f.txt"));
}

TEST(TextCodec, Windows1252AndUtf8) {
    // "Grüße €" as Windows-1252 bytes.
    const std::string cp1252 = "Gr\xFC\xDF" "e \x80";
    EXPECT_FALSE(platform::IsValidUtf8(cp1252));
    EXPECT_EQ(platform::DecodeText(cp1252), "Grüße €");
    EXPECT_EQ(platform::DecodeText("Grüße €"), "Grüße €");
    EXPECT_FALSE(platform::IsValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(platform::IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(platform::IsValidUtf8("\xE2\x82"));          // cut short
    EXPECT_EQ(platform::Windows1252ToUtf8("\x81"), "\xEF\xBF\xBD");
}

}  // namespace
