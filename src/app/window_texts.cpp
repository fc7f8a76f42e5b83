// The window's side of texts and languages: putting the text table into the captions,
// loading "default.lan", filling the language list and choosing a language.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/clickable_label.h"
#include "app/main_window.h"
#include "i18n/language_file.h"
#include "i18n/language_folder.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "platform/message_box.h"

namespace app {

namespace {
const char* const kTextFileError = "Error in text file";

void SetCaption(QWidget* control, const std::string& text) {
    const QString caption = QString::fromStdString(text);
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        button->setText(caption);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(caption);
    }
}

// Selects the entry equal to `name` without regard to case; none when it is not listed.
void SelectLanguageEntry(QComboBox* list, const std::string& name) {
    int found = -1;
    for (int i = 0; i < list->count() && found < 0; ++i)
        if (platform::SameTextIgnoringCase(list->itemText(i).toStdString(), name)) found = i;
    list->setCurrentIndex(found);
}
}  // namespace

void TForm1::ApplyTexts() {
    const std::pair<QWidget*, int> captions[] = {
        {But_P1_Exit, 1},       {Label_P1_Language, 11}, {But_P1_Update, 9},
        {But_P1_UpdatePlantrix, 23}, {But_P1_Login, 56}, {Label_P1_Password, 55},
        {But_P1_UpdateTessara, 61}, {Label_ServiceMode, 59}, {But_P2_Cancel, 2},
        {Label_P2_Headline, 15}, {But_P3_Cancel, 2},     {But_P3_Next, 7},
        {But_P3_Update, 9},     {But_P4_cancel, 2},      {Label_P4_Headline, 45},
        {Label_P4_Name, 47},    {Label_P4_Email, 48},    {Label_P4_Email2, 49},
        {But_P4_Register, 44},
    };
    for (const auto& [control, n] : captions) SetCaption(control, Texts[n]);
    const std::string version = Texts[3] + " " + kProgramVersion;
    for (QLabel* label : {static_cast<QLabel*>(Label_P1_Ver), Label_P2_Ver, Label_P3_Ver, Label_P4_Ver})
        SetCaption(label, version);
}

void TForm1::LoadTextFile() {
    FillLanguageList();
    ListBox1.clear();
    const std::string defaultFile = ProgramDir + i18n::kDefaultLanguageFile;
    if (!platform::FileExists(defaultFile)) ChooseLanguage("English");

    bool builtIn = false;
    if (platform::FileExists(defaultFile)) {
        if (auto lines = i18n::ReadLanguageFileLines(defaultFile))
            ListBox1 = std::move(*lines);
    } else {
        i18n::SetDefaultTexts(Texts);
        ApplyTexts();
        builtIn = true;
    }
    CheckInstallation();
    if (builtIn) return;

    const i18n::LanguageFile file = i18n::ParseLanguageFile(ListBox1);
    ListBox1.clear();
    if (file.status == i18n::LanguageFile::Status::BadNameLine) {
        platform::ShowMessage(kTextFileError);
        return;
    }
    CurrentLanguage = file.name;
    SelectLanguageEntry(ComboBox_Language, CurrentLanguage);
    if (file.status == i18n::LanguageFile::Status::BadVersionLine) {
        platform::ShowMessage(kTextFileError);
        return;
    }
    for (const auto& [key, text] : file.texts) Texts.Set(key, text);
    ApplyTexts();
}

void TForm1::FillLanguageList() {
    ComboBox_Language->clear();
    const std::vector<std::string> names = i18n::LanguageNames(LanguageDir);
    for (const auto& name : names) ComboBox_Language->addItem(QString::fromStdString(name));
    // Once there was a choice to make, the list stays, even if languages disappear later.
    if (names.size() >= 2) languageListShown_ = true;
    Label_P1_Language->setVisible(languageListShown_);
    ComboBox_Language->setVisible(languageListShown_);
    if (!CurrentLanguage.empty()) SelectLanguageEntry(ComboBox_Language, CurrentLanguage);
}

void TForm1::ChooseLanguage(const std::string& name) {
    ListBox1.clear();
    switch (i18n::ChooseLanguageFile(LanguageDir, ProgramDir, name)) {
        case i18n::ChooseResult::Chosen:
            LoadTextFile();
            break;
        case i18n::ChooseResult::BadFileName:
            platform::ShowMessage(kTextFileError);
            break;
        case i18n::ChooseResult::NothingFound:
        case i18n::ChooseResult::NoVersion:
        case i18n::ChooseResult::CopyFailed:
            // Without a new "default.lan" there is nothing to reload; reloading here would
            // only come back to this choice again.
            break;
    }
}

void TForm1::ComboBox_LanguageChange() {
    const int index = ComboBox_Language->currentIndex();
    if (index < 0) return;
    ChooseLanguage(ComboBox_Language->itemText(index).toStdString());
}

}  // namespace app
