#include <gtest/gtest.h>

#include "i18n/language_file.h"
#include "i18n/text_table.h"

namespace {

using i18n::LanguageFile;
using Status = LanguageFile::Status;

TEST(LanguageFile, ValuesFollowTheFirstEqualsSignUpToTheFirstHash) {
    const LanguageFile f = i18n::ParseLanguageFile({
        "Language=Deutsch  # comment",
        "Version= 7 ",
        "12=Text # note",
        "13=a=b",
        "a line without an equals sign",
        "",
        "14=   padded\t",
        "15=#only a comment",
        "12=later wins",
    });
    ASSERT_EQ(f.status, Status::Ok);
    EXPECT_EQ(f.name, "Deutsch");
    EXPECT_EQ(f.version, 7);
    const std::vector<std::pair<int, std::string>> expected = {
        {12, "Text"}, {13, "a=b"}, {14, "padded"}, {15, ""}, {12, "later wins"}};
    EXPECT_EQ(f.texts, expected);
}

TEST(LanguageFile, KeysOutsideTheTableOrNotNumbersAreIgnored) {
    const LanguageFile f = i18n::ParseLanguageFile(
        {"Language=X", "Version=1", "0=zero", "101=past the end", "-3=negative", "abc=word",
         "1x=mixed", "99999999999=huge", " 100 =last", "1=first"});
    ASSERT_EQ(f.status, Status::Ok);
    const std::vector<std::pair<int, std::string>> expected = {{100, "last"}, {1, "first"}};
    EXPECT_EQ(f.texts, expected);
}

TEST(LanguageFile, BrokenHeadLinesAreReported) {
    EXPECT_EQ(i18n::ParseLanguageFile({}).status, Status::BadNameLine);
    EXPECT_EQ(i18n::ParseLanguageFile({"Name=English", "Version=1"}).status, Status::BadNameLine);

    // With a good first line the name is known even though the file is refused.
    for (const auto& lines : std::vector<std::vector<std::string>>{
             {"Language=English"},
             {"Language=English", "Revision=1"},
             {"Language=English", "Version=one"},
             {"Language=English", "Version=1.5"}}) {
        const LanguageFile f = i18n::ParseLanguageFile(lines);
        EXPECT_EQ(f.status, Status::BadVersionLine) << lines.back();
        EXPECT_EQ(f.name, "English");
        EXPECT_TRUE(f.texts.empty());
    }
}

TEST(LanguageFile, EightBitFilesAreReadAsWindows1252) {
    const LanguageFile latin = i18n::ParseLanguageFile(
        {"Language=Fran\xE7" "ais", "Version=1", "1=Quitter l'\xE9l\xE8ve \x80"});
    ASSERT_EQ(latin.status, Status::Ok);
    EXPECT_EQ(latin.name, "Français");
    EXPECT_EQ(latin.texts.at(0).second, "Quitter l'élève €");

    const LanguageFile utf8 =
        i18n::ParseLanguageFile({"Language=Français", "Version=1", "1=Beenden → Größe"});
    EXPECT_EQ(utf8.texts.at(0).second, "Beenden → Größe");
}

TEST(TextTable, DefaultsFillTheFirst71EntriesOnly) {
    i18n::TextTable t;
    t.Set(72, "kept");
    i18n::SetDefaultTexts(t);
    EXPECT_EQ(t[1], "Exit");
    EXPECT_EQ(t[17], "");
    EXPECT_EQ(t[71], "Searching for Plantrix");
    EXPECT_EQ(t[72], "kept");
    EXPECT_EQ(t[0], "");
    EXPECT_EQ(t[101], "");
}

}  // namespace
