#include <gtest/gtest.h>

#include "i18n/language_folder.h"
#include "temp_folder.h"

namespace {

using i18n::ChooseResult;
using Names = std::vector<std::string>;

std::string LanFile(const std::string& language, int version, const std::string& extra = "") {
    return "Language=" + language + "\r\nVersion=" + std::to_string(version) + "\r\n" + extra;
}

class LanguageFolder : public ::testing::Test {
protected:
    void Put(const std::string& name, const std::string& content = "x") {
        dir.Write("Language/" + name, content);
    }
    bool Has(const std::string& name) const { return dir.Exists("Language/" + name); }
    ChooseResult Choose(const std::string& name) {
        return i18n::ChooseLanguageFile(dir.Path() + "Language/", dir.Path(), name).result;
    }

    testsupport::TempFolder dir;
};

TEST_F(LanguageFolder, ListsEachLanguageOnceInListingOrder) {
    Put("English_1.lan");
    Put("english_4.lan");
    Put("Deutsch_2.lan");
    Put("NoUnderscore.lan");
    Put("_3.lan");
    Put("Svenska_1.txt");
    EXPECT_EQ(i18n::LanguageNames(dir.Path() + "Language/"), (Names{"Deutsch", "English"}));
    EXPECT_TRUE(i18n::LanguageNames(dir.Path() + "Missing/").empty());
}

TEST_F(LanguageFolder, NewestVersionByNumberBecomesDefault) {
    Put("English_2.lan", LanFile("English", 2));
    Put("English_10.lan", LanFile("English", 10, "1=Ten\r\n"));
    ASSERT_EQ(Choose("English"), ChooseResult::Chosen);
    EXPECT_FALSE(Has("English_2.lan"));
    EXPECT_TRUE(Has("English_10.lan"));
    EXPECT_EQ(dir.Read("default.lan"), LanFile("English", 10, "1=Ten\r\n"));
}

TEST_F(LanguageFolder, OfEqualVersionsTheFirstListedStays) {
    Put("English_3.lan", LanFile("English", 3, "1=upper\r\n"));
    Put("english_3.lan", LanFile("English", 3, "1=lower\r\n"));
    ASSERT_EQ(Choose("ENGLISH"), ChooseResult::Chosen);
    EXPECT_TRUE(Has("English_3.lan"));
    EXPECT_FALSE(Has("english_3.lan"));
    EXPECT_EQ(dir.Read("default.lan"), LanFile("English", 3, "1=upper\r\n"));
}

TEST_F(LanguageFolder, ALanguageWhoseNameBeginsAnotherIsLeftAlone) {
    Put("A_1.lan", LanFile("A", 1));
    Put("AB_5.lan", LanFile("AB", 5));
    ASSERT_EQ(Choose("A"), ChooseResult::Chosen);
    EXPECT_TRUE(Has("AB_5.lan"));
    EXPECT_EQ(dir.Read("default.lan"), LanFile("A", 1));
}

TEST_F(LanguageFolder, NothingChangesWithoutAUsableFile) {
    dir.Write("default.lan", LanFile("Deutsch", 1));
    EXPECT_EQ(Choose("English"), ChooseResult::NothingFound);
    EXPECT_EQ(Choose(""), ChooseResult::NothingFound);

    Put("English_0.lan", LanFile("English", 0));
    EXPECT_EQ(Choose("English"), ChooseResult::NoVersion);
    EXPECT_TRUE(Has("English_0.lan"));

    Put("English_x.lan", LanFile("English", 4));
    Put("English_4.lan", LanFile("English", 4));
    EXPECT_EQ(Choose("English"), ChooseResult::BadFileName);
    EXPECT_TRUE(Has("English_0.lan"));
    EXPECT_TRUE(Has("English_4.lan"));
    EXPECT_EQ(dir.Read("default.lan"), LanFile("Deutsch", 1));
}

TEST_F(LanguageFolder, AFailedCopyKeepsEveryFile) {
    Put("English_1.lan", LanFile("English", 1));
    Put("English_2.lan", LanFile("English", 2));
    const ChooseResult r =
        i18n::ChooseLanguageFile(dir.Path() + "Language/", dir.Path() + "gone/", "English").result;
    EXPECT_EQ(r, ChooseResult::CopyFailed);
    EXPECT_TRUE(Has("English_1.lan"));
    EXPECT_TRUE(Has("English_2.lan"));
}

}  // namespace
