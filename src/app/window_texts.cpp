// The window's side of texts and languages: putting the text table into the captions,
// loading "default.lan", filling the language list and choosing a language.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/clickable_label.h"
#include "app/main_window.h"
#include "app/qt_texts.h"
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
    using i18n::TextId;
    const std::pair<QWidget*, TextId> captions[] = {
        {But_P1_Exit, TextId::Exit},
        {Label_P1_Language, TextId::Language},
        {But_P1_Update, TextId::CheckForUpdates},
        {But_P1_UpdatePlantrix, TextId::ProgramPlantrix},
        {But_P1_Login, TextId::Login},
        {Label_P1_Password, TextId::Password},
        {But_P1_UpdateTessara, TextId::ProgramTessara},
        {Label_ServiceMode, TextId::ServiceMode},
        {But_P2_Cancel, TextId::Cancel},
        {Label_P2_Headline, TextId::UpdateWizard},
        {But_P3_Cancel, TextId::Cancel},
        {But_P3_Next, TextId::Next},
        {But_P3_Update, TextId::CheckForUpdates},
        {But_P4_cancel, TextId::Cancel},
        {Label_P4_Headline, TextId::RegisterEmail},
        {Label_P4_Name, TextId::Name},
        {Label_P4_Email, TextId::Email},
        {Label_P4_Email2, TextId::VerifyEmail},
        {But_P4_Register, TextId::Register},
    };
    for (const auto& [control, id] : captions) SetCaption(control, Texts[id]);
    const std::string version = Texts[TextId::Version] + " " + kProgramVersion;
    for (QLabel* label :
         {static_cast<QLabel*>(Label_P1_Ver), Label_P2_Ver, Label_P3_Ver, Label_P4_Ver})
        SetCaption(label, version);
}

void TForm1::LoadTextFile() {
    FillLanguageList();
    ListBox1.clear();
    const std::string defaultFile = ProgramDir + i18n::kDefaultLanguageFile;
    // A chosen file has been loaded, applied and checked by the choice itself; reading it
    // again here would only report its faults twice.
    if (!platform::FileExists(defaultFile) &&
        ChooseLanguage("English").result == i18n::ChooseResult::Chosen)
        return;

    // Every file is read over the built-in English texts, so that an entry it does not name,
    // or a file that is refused, shows English instead of an empty caption.
    Texts.Clear();
    i18n::SetDefaultTexts(Texts);
    ApplyTexts();
    UseQtTextsFor({});  // the message boxes' buttons stay English unless the file's texts apply
    const bool builtIn = !platform::FileExists(defaultFile);
    if (!builtIn) {
        if (auto lines = i18n::ReadLanguageFileLines(defaultFile)) ListBox1 = std::move(*lines);
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
    UseQtTextsFor(CurrentLanguage);
}

void TForm1::FillLanguageList() {
    ComboBox_Language->clear();
    const std::vector<std::string> names = i18n::LanguageNames(LanguageDir);
    for (const auto& name : names) ComboBox_Language->addItem(QString::fromStdString(name));
    // Once there was a choice to make, the list stays, even if languages disappear later.
    if (names.size() >= 2) languageListShown_ = true;
    Label_P1_Language->setVisible(languageListShown_);
    ComboBox_Language->setVisible(languageListShown_);
    // While no language file is in use no entry is chosen, rather than the first one the
    // list would pick by itself.
    SelectLanguageEntry(ComboBox_Language, CurrentLanguage);
}

i18n::LanguageChoice TForm1::ChooseLanguage(const std::string& name) {
    ListBox1.clear();
    const i18n::LanguageChoice choice = i18n::ChooseLanguageFile(LanguageDir, ProgramDir, name);
    switch (choice.result) {
        case i18n::ChooseResult::Chosen:
            LoadTextFile();
            break;
        case i18n::ChooseResult::BadFileName:
            platform::ShowMessage(std::string(kTextFileError) + "\n" +
                                  i18n::ChoiceRefusalText(choice, name));
            break;
        case i18n::ChooseResult::NothingFound:
        case i18n::ChooseResult::NoVersion:
        case i18n::ChooseResult::Unreadable:
        case i18n::ChooseResult::CopyFailed:
            // Without a new "default.lan" there is nothing to reload; reloading here would
            // only come back to this choice again.
            break;
    }
    return choice;
}

void TForm1::ComboBox_LanguageChange() {
    const int index = ComboBox_Language->currentIndex();
    if (index < 0) return;
    const std::string name = ComboBox_Language->itemText(index).toStdString();
    const i18n::LanguageChoice choice = ChooseLanguage(name);
    if (choice.result == i18n::ChooseResult::Chosen) return;
    // The texts are still those of the language in use, and so is the list.
    SelectLanguageEntry(ComboBox_Language, CurrentLanguage);
    if (choice.result != i18n::ChooseResult::BadFileName)
        platform::ShowMessage(i18n::ChoiceRefusalText(choice, name));
}

}  // namespace app
