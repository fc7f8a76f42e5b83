// Splitting server listings into names, and the wanted and newer rules of those names.
#include <gtest/gtest.h>

#include "temp_folder.h"
#include "update/file_rules.h"
#include "update/listing_names.h"

using namespace update;
using Names = std::vector<std::string>;

TEST(Listing, SplitKeepsEveryNameWhateverTheLineEnds) {
    struct Case {
        std::string listing;
        Names names;
    } cases[] = {
        {"a.vbf\r\nb.lan\r\n", {"a.vbf", "b.lan"}},
        {"a.vbf\r\nb.lan", {"a.vbf", "b.lan"}},  // no line end after the last name
        {"a.vbf\nb.lan\n", {"a.vbf", "b.lan"}},  // LF only
        {"a.vbf\r\n\r\n\r\nb.lan\r\n", {"a.vbf", "b.lan"}},
        {"", {}},
        {"\r\n", {}},
        {"with blank.vbf\r\n", {"with blank.vbf"}},
    };
    for (const auto& c : cases) {
        const ListingNames split = SplitListing(c.listing);
        EXPECT_EQ(split.names, c.names) << c.listing;
        EXPECT_TRUE(split.skipped.empty()) << c.listing;
    }
}

TEST(Listing, NamesThatCouldLeaveTheFolderOrMeanADeviceAreSkippedWithTheirReason) {
    const struct {
        std::string name;
        UnsafeName reason;
    } cases[] = {
        {"../x.vbf", UnsafeName::FolderSeparator},
        {"a/b.vbf", UnsafeName::FolderSeparator},
        {"c\\d.vbf", UnsafeName::FolderSeparator},
        {std::string("a\0b.vbf", 7), UnsafeName::ControlCharacter},
        {"bell\a.vbf", UnsafeName::ControlCharacter},
        {"del\x7F.vbf", UnsafeName::ControlCharacter},
        {std::string(256, 'n'), UnsafeName::TooLong},
        {"C:evil.vbf", UnsafeName::ReservedCharacter},
        {"*.vbf", UnsafeName::ReservedCharacter},
        {"?.vbf", UnsafeName::ReservedCharacter},
        {"say\"hi\".vbf", UnsafeName::ReservedCharacter},
        {"a<b>.vbf", UnsafeName::ReservedCharacter},
        {"a|b.vbf", UnsafeName::ReservedCharacter},
        {"NUL.vbf", UnsafeName::DeviceName},
        {"COM1.vbf", UnsafeName::DeviceName},
        {"con.lan", UnsafeName::DeviceName},
        {"Lpt9.x.vbf", UnsafeName::DeviceName},
        {"AUX .vbf", UnsafeName::DeviceName},
        {"PRN", UnsafeName::DeviceName},
    };
    std::string listing = ".\r\n..\r\n";  // a folder's own entries: dropped without a word
    for (const auto& c : cases) listing += c.name + "\r\n";
    const Names fine = {"ok.vbf",   std::string(255, 'm'), "COM10.vbf", "CONSOLE.vbf", "COM0.vbf",
                        "Nul_2.lan"};
    for (const auto& name : fine) listing += name + "\r\n";

    const ListingNames split = SplitListing(listing);
    EXPECT_EQ(split.names, fine);
    ASSERT_EQ(split.skipped.size(), std::size(cases));
    for (size_t i = 0; i < split.skipped.size(); ++i) {
        EXPECT_EQ(split.skipped[i].name, cases[i].name) << i;
        EXPECT_EQ(split.skipped[i].reason, cases[i].reason) << cases[i].name;
    }
    EXPECT_EQ(SkippedNameLine(split.skipped[0]),
              "Skipped file \"../x.vbf\": it holds a folder separator");
    EXPECT_EQ(SkippedNameLine(split.skipped[3]),
              "Skipped file \"a\\x00b.vbf\": it holds a control character");
    const std::string longLine = SkippedNameLine(split.skipped[6]);  // shortened for the log
    EXPECT_LT(longLine.size(), 140u);
    EXPECT_NE(longLine.find("nnn...\": it is too long"), std::string::npos) << longLine;
}

TEST(Listing, DownloadTargetByStepAndKind) {
    const LocalFolders f{"/p/", "/p/Data/", "/p/Language/"};
    EXPECT_EQ(DownloadTarget("a.vbf", f, false), "/p/Data/a.vbf");
    EXPECT_EQ(DownloadTarget("English_3.lan", f, false), "/p/Language/English_3.lan");
    EXPECT_EQ(DownloadTarget("English_3.lan", f, true), "/p/English_3.lan");
    for (const char* bad : {"", "..", "../a.vbf", "a\\b.lan"}) {
        EXPECT_FALSE(DownloadTarget(bad, f, false).has_value()) << bad;
        EXPECT_FALSE(DownloadTarget(bad, f, true).has_value()) << bad;
    }
}

TEST(FileRules, WantedByKindServiceModeAndVersion) {
    testsupport::TempFolder program;
    // The highest installed driver counts, not the last listed; one without a version none.
    program.Write("ArvexDriver_12.exe", "installed");
    program.Write("ArvexDriver_3.exe", "installed");
    program.Write("ArvexDriver_old.exe", "installed");
    WantedRules normal{{program.Path(), program.Path() + "Data/", program.Path() + "Language/"}};
    WantedRules service = normal;
    service.serviceMode = true;

    struct Case {
        const char* name;
        Wanted normal;
        Wanted service;
    } cases[] = {
        {"a.vbf", Wanted::Yes, Wanted::Yes},
        {"t.b12", Wanted::Yes, Wanted::Yes},
        {"g.bbf", Wanted::Yes, Wanted::Yes},
        {"Deutsch_2.lan", Wanted::Yes, Wanted::Yes},
        {"c_T1.vbf", Wanted::No, Wanted::Yes},
        {"b.txt", Wanted::No, Wanted::No},
        {"a.VBF", Wanted::No, Wanted::No},        // the kind is compared exactly
        {"fw.rev2.vbf", Wanted::No, Wanted::No},  // the kind is all after the first dot
        {"noextension", Wanted::No, Wanted::No},
        {"ArvexUpdate_106.exe", Wanted::Yes, Wanted::Yes},
        {"ArvexUpdate_105.exe", Wanted::No, Wanted::No},
        {"arvexupdate_106.exe", Wanted::No, Wanted::No},  // the prefix is compared exactly
        {"ArvexDriver_12.exe", Wanted::No, Wanted::No},
        {"ArvexDriver_13.exe", Wanted::Yes, Wanted::Yes},
        {"Other_9.exe", Wanted::No, Wanted::No},
        {"ArvexUpdate_1x.exe", Wanted::BadVersion, Wanted::BadVersion},
        {"ArvexDriver_.exe", Wanted::BadVersion, Wanted::BadVersion},
        {"ArvexDriver_1_2.exe", Wanted::BadVersion, Wanted::BadVersion},
        {"ArvexUpdate_99999999999.exe", Wanted::BadVersion, Wanted::BadVersion},
        {"ArvexUpdate_T107.exe", Wanted::No, Wanted::BadVersion},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsWantedFile(c.name, normal), c.normal) << c.name;
        EXPECT_EQ(IsWantedFile(c.name, service), c.service) << c.name;
    }
}
