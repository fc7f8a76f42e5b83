#include <gtest/gtest.h>

#include "window_fixture.h"

namespace {

std::string LanFile(const std::string& language, int version, const std::string& texts) {
    return "Language=" + language + "\r\nVersion=" + std::to_string(version) + "\r\n" + texts;
}

class Languages : public testsupport::WindowTest {
protected:
    void SetUp() override { InstallRequiredFiles(); }
    std::vector<std::string> Entries() const {
        std::vector<std::string> e;
        for (int i = 0; i < form->ComboBox_Language->count(); ++i)
            e.push_back(form->ComboBox_Language->itemText(i).toStdString());
        return e;
    }
    void Pick(const std::string& name) {
        const int i = form->ComboBox_Language->findText(QString::fromStdString(name));
        ASSERT_GE(i, 0) << name;
        form->ComboBox_Language->setCurrentIndex(i);
        emit form->ComboBox_Language->activated(i);
    }
};

TEST_F(Languages, FirstStartTakesTheNewestEnglishFile) {
    folder.Write("Language/English_2.lan", LanFile("English", 2, "1=Quit\r\n"));
    folder.Write("Language/English_10.lan", LanFile("English", 10, "1=Leave\r\n9=Look\r\n"));
    app::TForm1& w = Start();
    EXPECT_EQ(folder.Read("default.lan"), LanFile("English", 10, "1=Leave\r\n9=Look\r\n"));
    EXPECT_FALSE(folder.Exists("Language/English_2.lan"));
    EXPECT_EQ(w.CurrentLanguage, "English");
    EXPECT_EQ(Caption(w.But_P1_Exit), "Leave");
    // A file names only some entries; the others stay empty, with no English fallback.
    EXPECT_EQ(Caption(w.But_P1_UpdatePlantrix), "");
    EXPECT_EQ(Caption(w.Label_P1_Ver), " 1.05");
    // One language only: no choice to offer.
    EXPECT_FALSE(w.ComboBox_Language->isVisible());
    EXPECT_FALSE(w.Label_P1_Language->isVisible());
}

TEST_F(Languages, WithoutEnglishFilesTheBuiltInTextsAreUsedAndNothingIsWritten) {
    folder.Write("Language/Deutsch_1.lan", LanFile("Deutsch", 1, "1=Beenden\r\n"));
    app::TForm1& w = Start();
    EXPECT_FALSE(folder.Exists("default.lan"));
    EXPECT_EQ(Caption(w.But_P1_Exit), "Exit");
    EXPECT_TRUE(w.CurrentLanguage.empty());
}

TEST_F(Languages, ChoosingALanguageKeepsTextsItDoesNotName) {
    folder.Write("Language/English_1.lan", LanFile("English", 1, "1=Exit\r\n23=Program it\r\n"));
    folder.Write("Language/english_4.lan", LanFile("English", 4, "1=Exit\r\n23=Program it\r\n"));
    folder.Write("Language/Deutsch_3.lan", LanFile("Deutsch", 3, "1=Beenden\r\n"));
    app::TForm1& w = Start();
    // English_1 has gone, so the list now names the language as its remaining file does,
    // and the entry is found without regard to case.
    EXPECT_FALSE(folder.Exists("Language/English_1.lan"));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Deutsch", "english"}));
    EXPECT_TRUE(w.ComboBox_Language->isVisible());
    EXPECT_EQ(w.ComboBox_Language->currentText().toStdString(), "english");

    Pick("Deutsch");
    EXPECT_EQ(w.CurrentLanguage, "Deutsch");
    EXPECT_EQ(Caption(w.But_P1_Exit), "Beenden");
    EXPECT_EQ(Caption(w.But_P1_UpdatePlantrix), "Program it");
    EXPECT_EQ(folder.Read("default.lan"), LanFile("Deutsch", 3, "1=Beenden\r\n"));
    EXPECT_EQ(w.ComboBox_Language->currentText().toStdString(), "Deutsch");

    // A later start loads default.lan alone.
    app::TForm1& again = Start();
    EXPECT_EQ(again.CurrentLanguage, "Deutsch");
    EXPECT_EQ(Caption(again.But_P1_Exit), "Beenden");
    EXPECT_EQ(Caption(again.But_P1_UpdatePlantrix), "");
}

TEST_F(Languages, TheListStaysShownOnceItWasShown) {
    folder.Write("Language/English_1.lan", LanFile("English", 1, ""));
    folder.Write("Language/Deutsch_1.lan", LanFile("Deutsch", 1, ""));
    app::TForm1& w = Start();
    ASSERT_TRUE(w.ComboBox_Language->isVisible());
    ::unlink((folder.Path() + "Language/Deutsch_1.lan").c_str());
    w.FillLanguageList();
    EXPECT_TRUE(w.ComboBox_Language->isVisible());
    EXPECT_EQ(Entries(), std::vector<std::string>{"English"});
}

TEST_F(Languages, ABrokenDefaultFileIsReportedAndChangesNoCaption) {
    folder.Write("default.lan", "Lingo=English\r\nVersion=1\r\n1=Quit\r\n");
    app::TForm1& w = Start();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error in text file"});
    EXPECT_EQ(Caption(w.But_P1_Exit), "");
    EXPECT_TRUE(w.CurrentLanguage.empty());
}

TEST_F(Languages, ABadVersionLineStillNamesTheLanguage) {
    for (const std::string second : {"Version=two", "Revision=1", ""}) {
        messages.boxes.clear();
        folder.Write("default.lan", "Language=Deutsch\r\n" + second + (second.empty() ? "" : "\r\n1=Beenden\r\n"));
        app::TForm1& w = Start();
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error in text file"}) << second;
        EXPECT_EQ(w.CurrentLanguage, "Deutsch");
        EXPECT_EQ(Caption(w.But_P1_Exit), "");
    }
}

TEST_F(Languages, ABadFileNameVersionIsReportedAndKeepsTheCurrentLanguage) {
    folder.Write("Language/English_1.lan", LanFile("English", 1, "1=Quit\r\n"));
    folder.Write("Language/Deutsch_1.lan", LanFile("Deutsch", 1, "1=Beenden\r\n"));
    app::TForm1& w = Start();
    folder.Write("Language/Deutsch_new.lan", LanFile("Deutsch", 9, "1=Neu\r\n"));
    Pick("Deutsch");
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error in text file"});
    EXPECT_EQ(Caption(w.But_P1_Exit), "Quit");
    EXPECT_TRUE(folder.Exists("Language/Deutsch_1.lan"));
}

TEST_F(Languages, AccentedWindows1252TextIsShownCorrectly) {
    folder.Write("default.lan",
                 "Language=Fran\xE7" "ais\r\nVersion=1\r\n1=Quitter\r\n9=V\xE9rifier les mises \xE0 jour\r\n");
    app::TForm1& w = Start();
    EXPECT_EQ(w.CurrentLanguage, "Français");
    EXPECT_EQ(w.But_P1_Update->text(), QString::fromUtf8("Vérifier les mises à jour"));
}

}  // namespace
