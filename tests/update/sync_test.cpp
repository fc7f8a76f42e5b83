// What a listing of the server's folders does to real local folders: what is queued and
// what is deleted.
#include <gtest/gtest.h>

#include <initializer_list>

#include "temp_folder.h"
#include "update/listing_names.h"
#include "update/listing_sync.h"
#include "update/partial_files.h"

using namespace update;
using Names = std::vector<std::string>;

class SyncTest : public ::testing::Test {
  protected:
    void Data(std::initializer_list<const char*> names) {
        for (const char* n : names) program.Write(std::string("Data/") + n, "local");
    }
    SyncResult Sync(const std::string& listing, ListingEnd end = ListingEnd::Complete) {
        return SyncWithListing(listing, end, rules);
    }
    bool InData(const char* name) const { return program.Exists(std::string("Data/") + name); }

    testsupport::TempFolder program;
    WantedRules rules{{program.Path(), program.Path() + "Data/", program.Path() + "Language/"}};
};

TEST_F(SyncTest, QueuesWhatIsMissingAndDeletesWhatTheServerNoLongerHolds) {
    Data({"old.vbf", "kept.vbf", "Name [a@b.c]", "KEPT2.vbf", "ArvexUpdate_106.exe"});
    program.Write("Data/folder/inner.vbf", "a folder is never removed");
    program.Write("Language/Deutsch_2.lan", "present in the language folder");

    const SyncResult r = Sync(
        "kept2.vbf\r\nnew.vbf\r\nc_T1.vbf\r\nb.txt\r\nDeutsch_2.lan\r\nArvexUpdate_106.exe\r\n"
        "new.lan\r\nkept.vbf");  // the last name has no line end, and still counts
    EXPECT_EQ(r.queue, (Names{"kept2.vbf", "new.vbf", "new.lan"}));
    // Exact comparison: a copy that differs only in case goes, so does the sign-up file.
    EXPECT_EQ(r.deleted, (Names{"KEPT2.vbf", "Name [a@b.c]", "old.vbf"}));
    EXPECT_TRUE(r.log.empty());
    EXPECT_TRUE(InData("kept.vbf"));
    EXPECT_TRUE(InData("ArvexUpdate_106.exe"));  // waits in DataDir for its offer
    EXPECT_TRUE(InData("folder/inner.vbf"));
    EXPECT_TRUE(program.Exists("Language/Deutsch_2.lan"));  // LanguageDir is never cleaned

    rules.serviceMode = true;
    EXPECT_EQ(Sync("c_T1.vbf\r\n").queue, Names{"c_T1.vbf"});
}

TEST_F(SyncTest, NothingIsDeletedWithoutAWholeListingThatNamesSomething) {
    Data({"a.vbf", "b.vbf"});
    struct Case {
        std::string listing;
        ListingEnd end;
        const char* line;
    } cases[] = {
        {"", ListingEnd::Complete, "The server's file list is empty: no local file was deleted"},
        {"\r\n\r\n", ListingEnd::Complete,
         "The server's file list is empty: no local file was deleted"},
        {"../a.vbf\r\n", ListingEnd::Complete,
         "The server's file list is empty: no local file was deleted"},
        {"c.vbf\r\n", ListingEnd::Cut,
         "The server's file list was incomplete: no local file was deleted"},
        // Another folder than the update one: names, but none of a file that is wanted.
        {"ProgramFiles\r\nRegistration\r\nUpdateFiles\r\nc_T1.vbf\r\n", ListingEnd::Complete,
         "The server's file list holds no update file: no local file was deleted"},
    };
    for (const auto& c : cases) {
        const SyncResult r = Sync(c.listing, c.end);
        EXPECT_TRUE(r.deleted.empty()) << c.listing;
        ASSERT_FALSE(r.log.empty()) << c.listing;
        EXPECT_EQ(r.log.back(), c.line) << c.listing;
    }
    EXPECT_TRUE(InData("a.vbf"));
    EXPECT_TRUE(InData("b.vbf"));
}

TEST_F(SyncTest, HostileAndBadlyVersionedNamesAreLoggedAndTheRestGoesOn) {
    Data({"keep.vbf"});
    const SyncResult r =
        Sync("../x.vbf\r\na/b.vbf\r\nArvexUpdate_1x.exe\r\nkeep.vbf\r\nnew.vbf\r\n");
    EXPECT_EQ(r.queue, Names{"new.vbf"});
    EXPECT_TRUE(r.deleted.empty());
    EXPECT_EQ(r.log, (Names{"Skipped file \"../x.vbf\": it holds a folder separator",
                            "Skipped file \"a/b.vbf\": it holds a folder separator",
                            "Skipped installer \"ArvexUpdate_1x.exe\": its version is not a "
                            "whole number"}));
    EXPECT_FALSE(program.Exists("x.vbf"));
}

// Choosing a language deletes its older files: fetching them again would never end.
TEST_F(SyncTest, ALanguageFileHeldInTheSameOrANewerVersionIsNotWanted) {
    program.Write("Language/Deutsch_3.lan", "held");
    const SyncResult r = Sync(
        "Deutsch_2.lan\r\ndeutsch_3.lan\r\nDeutsch_4.lan\r\nEnglish_1.lan\r\nDeutsch_x.lan\r\n");
    EXPECT_EQ(r.queue, (Names{"Deutsch_4.lan", "English_1.lan", "Deutsch_x.lan"}));
}

// A copy that cannot replace its own file fetches no newer program; drivers still come.
TEST_F(SyncTest, ANewerProgramThatCannotBePutInPlaceIsLeftOnTheServer) {
    const std::string listing =
        "ArvexUpdate_105.exe\r\nArvexUpdate_106.exe\r\nArvexDriver_4.exe\r\na.vbf\r\n";
    rules.programReplaceable = false;
    const SyncResult r = Sync(listing);
    EXPECT_EQ(r.queue, (Names{"ArvexDriver_4.exe", "a.vbf"}));
    EXPECT_EQ(r.log, Names{"Skipped installer \"ArvexUpdate_106.exe\": this copy of the "
                           "program is updated by the package manager"});
    EXPECT_EQ(r.programNotFetched, "ArvexUpdate_106.exe");

    rules.programReplaceable = true;
    const SyncResult writable = Sync(listing);
    EXPECT_EQ(writable.queue, (Names{"ArvexUpdate_106.exe", "ArvexDriver_4.exe", "a.vbf"}));
    EXPECT_EQ(writable.programNotFetched, "");
}

TEST_F(SyncTest, InstallationQueuesEveryUsableNameInOrder) {
    const SyncResult r = QueueInstallFiles("ZipEngine.so\r\n\r\nBLaz60A.prg\r\n..\r\nreadme");
    EXPECT_EQ(r.queue, (Names{"ZipEngine.so", "BLaz60A.prg", "readme"}));
    EXPECT_TRUE(r.log.empty());
    EXPECT_TRUE(QueueInstallFiles("").queue.empty());
}

// A partial download's name fits in a folder, keeps two long names apart, and is one that
// no listing can give, so that it never stands for a server's file.
TEST(PartialFiles, NamesNoServerNameCanTake) {
    const std::string longA(kMaxFileNameBytes, 'a');
    const std::string longB = std::string(kMaxFileNameBytes - 1, 'a') + "b";
    for (const std::string& name : {std::string("a.vbf"), longA, longB}) {
        SCOPED_TRACE(name.size());
        const std::string partial = PartialPath("/p/Data/" + name);
        ASSERT_EQ(partial.rfind("/p/Data/", 0), 0u);
        const std::string own = partial.substr(8);
        EXPECT_LE(own.size(), kMaxFileNameBytes);
        EXPECT_TRUE(IsPartialName(own));
        EXPECT_NE(CheckServerName(own), UnsafeName::None);
        EXPECT_FALSE(IsPartialName(name));
    }
    EXPECT_NE(PartialPath("/p/" + longA), PartialPath("/p/" + longB));
}
