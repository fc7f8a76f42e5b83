#include <gtest/gtest.h>

#include <QComboBox>

#include "window_fixture.h"

namespace {

std::string LanFile(const std::string& language, int version, const std::string& texts) {
    return "Language=" + language + "\r\nVersion=" + std::to_string(version) + "\r\n" + texts;
}

class Languages : public testsupport::WindowTest {
  protected:
    void SetUp() override { InstallRequiredFiles(); }
    QComboBox* List() const { return Find<QComboBox>("ComboBox_Language"); }
    std::vector<std::string> Entries() const {
        std::vector<std::string> e;
        for (int i = 0; i < List()->count(); ++i) e.push_back(List()->itemText(i).toStdString());
        return e;
    }
    void Pick(const std::string& name) {
        const int i = List()->findText(QString::fromStdString(name));
        ASSERT_GE(i, 0) << name;
        List()->setCurrentIndex(i);
        emit List()->activated(i);
    }
};

TEST_F(Languages, FirstStartTakesTheNewestEnglishFile) {
    folder.Write("Language/English_2.lan", LanFile("English", 2, "1=Quit\r\n"));
    folder.Write("Language/English_10.lan", LanFile("English", 10, "1=Leave\r\n9=Look\r\n"));
    app::TForm1& w = Start();
    EXPECT_EQ(folder.Read("default.lan"), LanFile("English", 10, "1=Leave\r\n9=Look\r\n"));
    EXPECT_FALSE(folder.Exists("Language/English_2.lan"));
    EXPECT_EQ(w.CurrentLanguage, "English");
    EXPECT_EQ(Caption("But_P1_Exit"), "Leave");
    // One language only: no choice to offer.
    EXPECT_FALSE(List()->isVisible());
    EXPECT_FALSE(Shown("Label_P1_Language"));
}

// Every file is read over the built-in English texts: what it does not name, and all of a
// file that is refused, shows English, never an empty caption.
TEST_F(Languages, EntriesAFileDoesNotGiveShowTheBuiltInTexts) {
    struct Case {
        const char* what;
        std::string file;
        bool refused;
        std::string language;  // a good first line names the language even in a refused file
    };
    const Case cases[] = {
        {"names some entries", LanFile("Deutsch", 1, "1=Beenden\r\n"), false, "Deutsch"},
        {"bad name line", "Lingo=Deutsch\r\nVersion=1\r\n1=Beenden\r\n", true, ""},
        {"bad version", "Language=Deutsch\r\nVersion=two\r\n1=Beenden\r\n", true, "Deutsch"},
        {"no version line", "Language=Deutsch\r\nRevision=1\r\n1=Beenden\r\n", true, "Deutsch"},
        {"one line only", "Language=Deutsch\r\n", true, "Deutsch"},
        {"empty", "", true, ""},
    };
    for (const Case& c : cases) {
        messages.boxes.clear();
        folder.Write("default.lan", c.file);
        app::TForm1& w = Start();
        EXPECT_EQ(Caption("But_P1_Exit"), c.refused ? "Exit" : "Beenden") << c.what;
        EXPECT_EQ(Caption("But_P1_UpdatePlantrix"), "Program Plantrix") << c.what;
        EXPECT_EQ(Caption("Label_P1_Ver"), "Version 1.05") << c.what;
        EXPECT_EQ(Caption("But_P3_Next"), "Next") << c.what;
        EXPECT_EQ(w.CurrentLanguage, c.language) << c.what;
        EXPECT_EQ(messages.Texts(), c.refused ? std::vector<std::string>{"Error in text file"}
                                              : std::vector<std::string>{})
            << c.what;
    }
}

TEST_F(Languages, WithoutEnglishFilesTheBuiltInTextsAreUsedAndNoLanguageIsSelected) {
    folder.Write("Language/Deutsch_1.lan", LanFile("Deutsch", 1, "1=Beenden\r\n"));
    folder.Write("Language/Svenska_1.lan", LanFile("Svenska", 1, "1=Avsluta\r\n"));
    app::TForm1& w = Start();
    EXPECT_FALSE(folder.Exists("default.lan"));
    EXPECT_EQ(Caption("But_P1_Exit"), "Exit");
    EXPECT_TRUE(w.CurrentLanguage.empty());
    ASSERT_TRUE(List()->isVisible());
    EXPECT_EQ(List()->currentIndex(), -1) << List()->currentText().toStdString();
    // Refilling the list (as after an update check) selects nothing either.
    w.FillLanguageList();
    EXPECT_EQ(List()->currentIndex(), -1);
}

TEST_F(Languages, ChoosingALanguageReplacesEveryText) {
    folder.Write("Language/English_1.lan", LanFile("English", 1, "1=Exit\r\n23=Program it\r\n"));
    folder.Write("Language/english_4.lan",
                 LanFile("English", 4, "1=Exit\r\n23=Program it\r\n80=Spare\r\n"));
    folder.Write("Language/Deutsch_3.lan", LanFile("Deutsch", 3, "1=Beenden\r\n"));
    app::TForm1& w = Start();
    // English_1 has gone, so the list now names the language as its remaining file does,
    // and the entry is found without regard to case.
    EXPECT_FALSE(folder.Exists("Language/English_1.lan"));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"Deutsch", "english"}));
    EXPECT_TRUE(List()->isVisible());
    EXPECT_EQ(List()->currentText().toStdString(), "english");
    EXPECT_EQ(Caption("But_P1_UpdatePlantrix"), "Program it");
    ASSERT_EQ(w.Texts[80], "Spare");

    Pick("Deutsch");
    EXPECT_EQ(w.CurrentLanguage, "Deutsch");
    EXPECT_EQ(Caption("But_P1_Exit"), "Beenden");
    // Not the previous language's text: the built-in one.
    EXPECT_EQ(Caption("But_P1_UpdatePlantrix"), "Program Plantrix");
    EXPECT_EQ(w.Texts[80], "");
    EXPECT_EQ(folder.Read("default.lan"), LanFile("Deutsch", 3, "1=Beenden\r\n"));
    EXPECT_EQ(List()->currentText().toStdString(), "Deutsch");

    // A later start loads default.lan alone.
    app::TForm1& again = Start();
    EXPECT_EQ(again.CurrentLanguage, "Deutsch");
    EXPECT_EQ(Caption("But_P1_Exit"), "Beenden");
}

TEST_F(Languages, TheListStaysShownOnceItWasShown) {
    folder.Write("Language/English_1.lan", LanFile("English", 1, ""));
    folder.Write("Language/Deutsch_1.lan", LanFile("Deutsch", 1, ""));
    app::TForm1& w = Start();
    ASSERT_TRUE(List()->isVisible());
    ::unlink((folder.Path() + "Language/Deutsch_1.lan").c_str());
    w.FillLanguageList();
    EXPECT_TRUE(List()->isVisible());
    EXPECT_EQ(Entries(), std::vector<std::string>{"English"});
}

// A choice that cannot be made leaves texts, list and "default.lan" with the language in
// use, and says why.
TEST_F(Languages, ARefusedChoiceKeepsTheLanguageInUseAndSaysWhy) {
    const struct {
        const char* name;
        const char* file;
        std::string content;
        std::string box;
    } cases[] = {
        {"version 0 in the name", "Deutsch_0.lan", LanFile("Deutsch", 0, "1=Neu\r\n"),
         "The language file \"Deutsch_0.lan\" has no version of 1 or more."},
        {"larger than 1 MiB", "Deutsch_2.lan",
         LanFile("Deutsch", 2, "1=Neu\r\n" + std::string(1024 * 1024, '#')),
         "The language file \"Deutsch_2.lan\" cannot be read or is larger than 1 MiB."},
        {"version in the name not a number", "Deutsch_new.lan", LanFile("Deutsch", 9, "1=Neu\r\n"),
         "Error in text file\nThe version in the name of the language file \"Deutsch_new.lan\" "
         "is not a whole number."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        folder.Write("Language/English_1.lan", LanFile("English", 1, "1=Quit\r\n"));
        for (const char* other : {"Deutsch_0.lan", "Deutsch_2.lan", "Deutsch_new.lan"})
            ::unlink((folder.Path() + "Language/" + other).c_str());
        folder.Write(std::string("Language/") + c.file, c.content);
        ::unlink((folder.Path() + "default.lan").c_str());
        app::TForm1& w = Start();
        messages.boxes.clear();
        Pick("Deutsch");
        EXPECT_EQ(messages.Texts(), std::vector<std::string>{c.box});
        EXPECT_EQ(w.CurrentLanguage, "English");
        EXPECT_EQ(List()->currentText().toStdString(), "English");
        EXPECT_EQ(Caption("But_P1_Exit"), "Quit");
        EXPECT_EQ(folder.Read("default.lan"), LanFile("English", 1, "1=Quit\r\n"));
        EXPECT_TRUE(folder.Exists(std::string("Language/") + c.file));
    }
}

// The first start chooses English and loads what it chose once: a broken file is one box.
TEST_F(Languages, ABrokenEnglishFileAtTheFirstStartIsReportedOnce) {
    folder.Write("Language/English_3.lan", "Lingo=English\r\nVersion=3\r\n1=Quit\r\n");
    Start();
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error in text file"});
    EXPECT_EQ(Caption("But_P1_Exit"), "Exit");
}

// Captions are plain text, whatever a language file holds: no label reads markup.
TEST_F(Languages, MarkupInATextIsShownAsItIs) {
    folder.Write("default.lan", LanFile("English", 1, "3=<h1>Version</h1>\r\n"));
    Start();
    EXPECT_EQ(Caption("Label_P1_Ver"), "<h1>Version</h1> 1.05");
    for (const QLabel* label : form->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

TEST_F(Languages, AccentedWindows1252TextIsShownCorrectly) {
    folder.Write("default.lan",
                 "Language=Fran\xE7"
                 "ais\r\nVersion=1\r\n1=Quitter\r\n9=V\xE9rifier les mises \xE0 jour\r\n");
    app::TForm1& w = Start();
    EXPECT_EQ(w.CurrentLanguage, "Français");
    EXPECT_EQ(Caption("But_P1_Update"), "Vérifier les mises à jour");
}

}  // namespace
