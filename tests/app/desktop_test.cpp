// The window as the desktop meets it: the menu's icon, what a screen reader announces for
// each control, and Qt's own buttons in the language in use.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>

#include "app/qt_texts.h"
#include "platform/files.h"
#include "window_fixture.h"

namespace {

std::string GermanSample() {
    return platform::ReadFileBytes(std::string(std::getenv("ARVEX_SOURCE_DIR")) +
                                   "/tests/app/data/Deutsch_3.lan")
        .value_or("");
}

// What a screen reader reads as the label of `w`, if anything labels it.
QAccessibleInterface* LabelOf(QWidget* w) {
    const auto labels = QAccessible::queryAccessibleInterface(w)->relations(QAccessible::Label);
    return labels.empty() ? nullptr : labels.front().first;
}

std::string NameOf(QWidget* w) {
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).toStdString();
}

class Desktop : public testsupport::WindowTest {
  protected:
    void SetUp() override { InstallRequiredFiles(); }
    void TearDown() override { app::UseQtTextsFor({}); }
};

TEST_F(Desktop, TheWindowShowsTheMenusIconAtEachSize) {
    Start();
    for (const int size : {16, 24, 48, 256}) {
        const std::string png = std::string(std::getenv("ARVEX_BUILD_DIR")) +
                                "/packaging/icons/hicolor/" + std::to_string(size) + "x" +
                                std::to_string(size) + "/apps/arvexupdate.png";
        const QImage menu = QImage(QString::fromStdString(png))
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        ASSERT_FALSE(menu.isNull()) << png;
        const QImage window = form->windowIcon().pixmap(size).toImage();
        EXPECT_TRUE(window.convertToFormat(QImage::Format_ARGB32_Premultiplied) == menu)
            << "the window's icon differs from the menu's at " << size << " px";
    }
}

// In German, with the language list shown: each list and field is labelled by the caption
// before it, and every other control a reader stops at has a name.
TEST_F(Desktop, AScreenReaderNamesEveryControl) {
    folder.Write("default.lan", GermanSample());
    folder.Write("Language/Deutsch_3.lan", GermanSample());
    folder.Write("Language/English_1.lan", "Language=English\r\nVersion=1\r\n");
    Start();
    ASSERT_EQ(form->CurrentLanguage, "Deutsch");

    const std::pair<const char*, const char*> labelled[] = {
        {"ComboBox_Language", "Label_P1_Language"}, {"ComboBox_P3", "Label_P3_Info"},
        {"Edit_P1_Password", "Label_P1_Password"},  {"Edit_P4_Name", "Label_P4_Name"},
        {"Edit_P4_Email", "Label_P4_Email"},        {"Edit_P4_Email2", "Label_P4_Email2"},
    };
    for (const auto& [control, label] : labelled) {
        QAccessibleInterface* reads = LabelOf(Find(control));
        EXPECT_EQ(reads ? reads->object() : nullptr, Find(label)) << control;
    }
    QAccessibleInterface* languageLabel = LabelOf(Find("ComboBox_Language"));
    ASSERT_NE(languageLabel, nullptr);
    EXPECT_EQ(languageLabel->text(QAccessible::Name).toStdString(), "Sprache");

    for (QWidget* w : form->findChildren<QWidget*>()) {
        // The layout's controls; the rest are parts of a control (a list's view, its scroll
        // bars) or the pages themselves.
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")) ||
            w->objectName().startsWith(QLatin1String("Panel")))
            continue;
        const QAccessible::Role role = QAccessible::queryAccessibleInterface(w)->role();
        if (role == QAccessible::StaticText) continue;  // a caption reads as its text
        EXPECT_TRUE(!NameOf(w).empty() || LabelOf(w) != nullptr) << w->objectName().toStdString();
    }
}

// Each language's file in "default.lan" in turn; Qt's translation follows the texts, and
// a language without one leaves nothing of the previous one behind.
TEST_F(Desktop, MessageBoxButtonsSpeakTheLanguageInUse) {
    struct Case {
        const char* what;
        std::string file;
        const char* yes;
        const char* cancel;
    };
    const Case cases[] = {
        {"built-in texts", "", "&Yes", "Cancel"},
        {"German sample", GermanSample(), "&Ja", "Abbrechen"},
        {"Welsh, which Qt has no translation for", "Language=Cymraeg\r\nVersion=1\r\n", "&Yes",
         "Cancel"},
        {"German by its English name", "Language=german\r\nVersion=1\r\n", "&Ja", "Abbrechen"},
        {"a refused German file", "Language=Deutsch\r\nVersion=two\r\n", "&Yes", "Cancel"},
        {"a name no language has", "Language=Lingo\r\nVersion=1\r\n", "&Yes", "Cancel"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(folder.Path() + "default.lan");
        if (!c.file.empty()) folder.Write("default.lan", c.file);
        Start();
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text().toStdString(), c.yes) << c.what;
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text().toStdString(), c.cancel) << c.what;
    }
}

}  // namespace
