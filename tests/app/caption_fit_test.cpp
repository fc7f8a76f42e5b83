// Every caption of every page stays inside its control, in the built-in texts and in a
// full German language file: a translation that is cut or touches a button's frame is a
// fault of the fonts or the layout, not of the translator.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <cstdlib>

#include "app/ui_fonts.h"
#include "platform/files.h"
#include "window_fixture.h"

namespace {

using i18n::TextId;

// Why `text` does not fit in `control` as the control draws it; empty when it fits.
std::string Overflow(const QWidget* control, const QString& text) {
    QRect room = control->contentsRect();
    int flags = 0;
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = text;
        if (button->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
        const QStyle* style = button->style();
        room = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        // Keep the style's own padding between a label and the frame, so nothing touches it.
        const int pad = style->pixelMetric(QStyle::PM_ButtonMargin, &option, button) / 2;
        room.adjust(pad, 0, -pad, 0);
    } else if (const auto* label = qobject_cast<const QLabel*>(control)) {
        if (label->wordWrap()) flags = Qt::TextWordWrap;
    } else {
        return "not a control with a caption";
    }
    const QFontMetrics metrics = control->fontMetrics();
    const QRect needed = metrics.boundingRect(QRect(0, 0, room.width(), 10000), flags, text);
    int height = needed.height();
    // One line, drawn from the top of its place: what must fit is the ink down to the lowest
    // descender, not the font's line spacing below it.
    if (!(flags & Qt::TextWordWrap) && !text.contains('\n'))
        height = metrics.ascent() + metrics.tightBoundingRect(text).bottom() + 1;
    if (needed.width() <= room.width() && height <= room.height()) return {};
    return std::to_string(needed.width()) + " x " + std::to_string(height) + " needed, " +
           std::to_string(room.width()) + " x " + std::to_string(room.height()) + " there";
}

class CaptionFit : public testsupport::WindowTest {
  protected:
    // Checks every caption shown now, and names the page state in each failure.
    void CheckShownCaptions(const char* state) {
        for (const QWidget* control : form->findChildren<QWidget*>()) {
            if (!control->isVisible()) continue;
            QString text;
            if (const auto* b = qobject_cast<const QPushButton*>(control)) text = b->text();
            if (const auto* l = qobject_cast<const QLabel*>(control)) text = l->text();
            if (text.isEmpty()) continue;
            Check(state, control, text);
        }
    }
    void Check(const char* state, const QWidget* control, const QString& text) {
        const std::string why = Overflow(control, text);
        EXPECT_TRUE(why.empty()) << state << ": " << control->objectName().toStdString() << " \""
                                 << text.toStdString() << "\": " << why;
    }
    QString T(TextId id) const { return QString::fromStdString(form->Texts[id]); }

    // Visits every page the window shows, then the captions its coming steps show.
    void CheckEveryPage() {
        app::TForm1& w = *form;
        QTest::mouseDClick(Find("Label_P1_Ver"), Qt::LeftButton);
        w.EnterServiceMode();
        CheckShownCaptions("start page");
        Click("But_P1_Update");
        CheckShownCaptions("update check");
        Click("But_P3_Next");
        CheckShownCaptions("download page");
        w.ShowPage(1);
        Click("But_P1_UpdatePlantrix");
        CheckShownCaptions("Plantrix introduction");
        w.ShowPage(1);
        Click("But_P1_UpdateTessara");
        CheckShownCaptions("Tessara introduction");
        w.But_P1_RegisterClick();
        CheckShownCaptions("newsletter");
        ::unlink((folder.Path() + "ZipEngine.so").c_str());
        w.CheckInstallation();
        CheckShownCaptions("installation");

        const std::pair<const char*, QString> later[] = {
            {"But_P2_Cancel", T(TextId::Finish)},
            {"But_P3_Cancel", T(TextId::Finish)},
            {"But_P4_cancel", T(TextId::Finish)},
            {"Label_P3_Headline2", T(TextId::SelectedFirmware) + ": Tessara, R0105"},
            {"Label_P3_Info", T(TextId::PressBButton) + "\n\n" + T(TextId::ConnectPlantrixCable)},
            {"Label_P3_Info", T(TextId::PressCButton) + "\n\n" + T(TextId::ConnectTessaraCable) +
                                  "\n\n" + T(TextId::TessaraPressNextToDownload)},
            {"Label_P3_Info",
             T(TextId::PlantrixNotFound) + "\n" + T(TextId::MakeSureInProgramMode)},
            {"Label_P3_Info",
             T(TextId::PlantrixNotFound) + "\n" + T(TextId::MakeSureInTessaraMode)},
            {"Label_P3_Info", T(TextId::AnErrorOccurred) + "\n" + T(TextId::ErrorCode) + " 7"},
            {"Label_P3_Info", T(TextId::HardwareCodeError)},
            {"Label_P3_Info", T(TextId::DownloadingToPlantrix)},
            {"Label_P3_Info", T(TextId::DownloadingToTessara)},
            {"Label_P3_Info", T(TextId::SearchingForPlantrix) + "....."},
            {"Label_P3_Info", T(TextId::PressNextToStartDownload)},
            {"Label_P4_Info", T(TextId::EmailsDiffer)},
            {"Label_P4_Info", T(TextId::InvalidEmail)},
            {"Label_P4_Info", T(TextId::NameMissing)},
        };
        for (const auto& [name, text] : later) Check("later steps", Find(name), text);
    }
};

TEST_F(CaptionFit, EveryCaptionFitsInTheBuiltInTextsAndInGerman) {
    // The window asks for its font by name; without it every measure below is of another font.
    InstallRequiredFiles();
    Start();
    EXPECT_EQ(QFontInfo(Find("But_P1_Exit")->font()).family().toStdString(), app::kUiFontFamily)
        << "the window's font is not installed (scripts/setup installs it)";

    // Two languages that are not English: the built-in texts, with the language list shown.
    folder.Write("Language/Svenska_1.lan", "Language=Svenska\r\nVersion=1\r\n");
    folder.Write("Language/Suomi_1.lan", "Language=Suomi\r\nVersion=1\r\n");
    Start();
    ASSERT_TRUE(form->CurrentLanguage.empty());
    {
        SCOPED_TRACE("built-in texts");
        CheckEveryPage();
    }

    const auto german = platform::ReadFileBytes(std::string(std::getenv("ARVEX_SOURCE_DIR")) +
                                                "/tests/app/data/Deutsch_3.lan");
    ASSERT_TRUE(german);
    folder.Write("default.lan", *german);
    InstallRequiredFiles();
    Start();
    ASSERT_EQ(form->CurrentLanguage, "Deutsch");
    ASSERT_EQ(Caption("But_P3_Cancel"), "Abbrechen");
    ASSERT_TRUE(messages.boxes.empty());
    {
        SCOPED_TRACE("German");
        CheckEveryPage();
    }
}

}  // namespace
