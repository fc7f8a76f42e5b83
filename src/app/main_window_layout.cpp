// Creating the window's controls at their places, with their names, fonts and focus orders.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>

#include "app/clickable_label.h"
#include "app/main_window.h"
#include "app/ui_fonts.h"
#include "platform/jpeg_image.h"

namespace app {

namespace {
constexpr int kStripWidth = 165;
constexpr int kPageWidth = 435;
constexpr int kPageHeight = 420;
// Faster than that, nobody reads the status log anyway.
constexpr int kDownloadPageRepaintMs = 50;
// A label of the layout that sizes itself to its caption is given the room to the page's
// right edge instead, so a longer translation is never cut short.
constexpr int kAutoWidth = kPageWidth - 50;

struct Box {
    int left, top, width, height;
};

template <typename T>
T* Place(QWidget* parent, const char* name, Box box, UiFont font = UiFont::Normal) {
    auto* w = new T(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(box.left, box.top, box.width, box.height);
    w->setFont(MakeFont(font));
    return w;
}

template <typename T = QLabel>
T* PlaceLabel(QWidget* parent, const char* name, Box box, UiFont font = UiFont::Normal,
              Qt::Alignment align = Qt::AlignLeft) {
    auto* label = Place<T>(parent, name, box, font);
    label->setAlignment(align | Qt::AlignTop);
    // Captions come from language files and from outside: markup in them is shown as it is.
    label->setTextFormat(Qt::PlainText);
    return label;
}

QPushButton* PlaceButton(QWidget* parent, const char* name, Box box, UiFont font = UiFont::Bold10) {
    auto* button = Place<QPushButton>(parent, name, box, font);
    // Return presses the button that has the focus, on every page. Outside a dialog this
    // makes no button the window's default, so Return elsewhere (the password field) is
    // left to the control that has it.
    button->setAutoDefault(true);
    return button;
}

constexpr Box kVersionLabel{322, 400, 111, 13};
constexpr Box kCancelButton{340, 370, 75, 25};

QWidget* MakePage(QWidget* window, const char* name) {
    auto* page = new QWidget(window);
    page->setObjectName(QLatin1String(name));
    page->setGeometry(kStripWidth, 0, kPageWidth, kPageHeight);
    page->setAutoFillBackground(true);
    return page;
}

QPixmap SidePicture() {
    QFile file(QStringLiteral(":/side_picture.jpg"));
    if (!file.open(QIODevice::ReadOnly)) return QPixmap();
    const QByteArray bytes = file.readAll();
    return QPixmap::fromImage(platform::DecodeJpeg(bytes.toStdString()));
}
}  // namespace

void TForm1::BuildLayout() {
    setObjectName(QStringLiteral("Form1"));
    setFont(MakeFont(UiFont::Normal));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    setPalette(pal);
    setAutoFillBackground(true);

    // The picture is taller than its place: only its top shows, unscaled.
    Image1 = PlaceLabel(this, "Image1", {0, 0, kStripWidth, 395});
    Image1->setPixmap(SidePicture());
    Image1->setAccessibleName(QStringLiteral("Tractor in a field"));
    Label_ServiceMode = PlaceLabel(this, "Label_ServiceMode", {0, 392, kStripWidth, 25},
                                   UiFont::ServiceMode, Qt::AlignHCenter);
    Label_ServiceMode->hide();

    Panel1 = MakePage(this, "Panel1");
    Panel2 = MakePage(this, "Panel2");
    Panel3 = MakePage(this, "Panel3");
    Panel4 = MakePage(this, "Panel4");
    BuildStartPage();
    BuildDownloadPage();
    BuildWizardPage();
    BuildNewsletterPage();
}

void TForm1::BuildStartPage() {
    QWidget* p = Panel1;
    // Controls are created in the keyboard's order; the focus chain follows creation.
    But_P1_Exit = PlaceButton(p, "But_P1_Exit", kCancelButton);
    But_P1_UpdatePlantrix = PlaceButton(p, "But_P1_UpdatePlantrix", {88, 127, 257, 28});
    But_P1_Test = PlaceButton(p, "But_P1_Test", {8, 376, 75, 25}, UiFont::Normal);
    But_P1_Test->setText(QStringLiteral("Test"));
    But_P1_Test->hide();
    But_P1_Login = PlaceButton(p, "But_P1_Login", {248, 370, 75, 25});
    But_P1_Login->hide();
    But_P1_Update = PlaceButton(p, "But_P1_Update", {88, 79, 257, 28});
    ComboBox_Language = Place<QComboBox>(p, "ComboBox_Language", {280, 8, 145, 21});
    ComboBox_Language->hide();
    Edit_P1_Password = Place<QLineEdit>(p, "Edit_P1_Password", {112, 371, 121, 25});
    QFont symbol(QStringLiteral("Wingdings"));
    symbol.setPixelSize(16);
    Edit_P1_Password->setFont(symbol);
    Edit_P1_Password->setEchoMode(QLineEdit::Password);
    Edit_P1_Password->setStyleSheet(QStringLiteral("lineedit-password-character: 9679"));
    Edit_P1_Password->hide();
    But_P1_UpdateTessara = PlaceButton(p, "But_P1_UpdateTessara", {88, 175, 257, 28});
    But_P1_UpdateTessara->hide();

    Label_P1_Language =
        PlaceLabel(p, "Label_P1_Language", {176, 10, 99, 13}, UiFont::Normal, Qt::AlignRight);
    Label_P1_Language->hide();
    Label_P1_Password = PlaceLabel(p, "Label_P1_Password", {112, 353, 121, 13});
    Label_P1_Password->hide();
    // A screen reader names each field and list by the label before it.
    Label_P1_Language->setBuddy(ComboBox_Language);
    Label_P1_Password->setBuddy(Edit_P1_Password);
    Label_P1_Ver = PlaceLabel<ClickableLabel>(p, "Label_P1_Ver", kVersionLabel, UiFont::Normal,
                                              Qt::AlignHCenter);
}

void TForm1::BuildDownloadPage() {
    QWidget* p = Panel2;
    downloadPageRepaints_ = std::make_unique<RepaintThrottle>(*p, kDownloadPageRepaintMs);
    Label_P2_Headline =
        PlaceLabel(p, "Label_P2_Headline", {48, 48, kAutoWidth, 20}, UiFont::Bold12);
    ListBox_P2 = Place<QListWidget>(p, "ListBox_P2", {48, 88, 337, 265});
    ListBox_P2->setAccessibleName(QStringLiteral("Status log"));
    // One line per item: without this every added line measures all the others again,
    // and a check of a thousand files spends its time laying out its own log.
    ListBox_P2->setUniformItemSizes(true);
    But_P2_Cancel = PlaceButton(p, "But_P2_Cancel", kCancelButton);
    // The byte counter of the running download, beside the button rather than over the log.
    Label_P2_Info2 = PlaceLabel(p, "Label_P2_Info2", {48, 374, 280, 16}, UiFont::Bold10);
    Label_P2_Info2->hide();
    Label_P2_FTP_Info = PlaceLabel(p, "Label_P2_FTP_Info", {48, 368, 280, 16}, UiFont::Bold10);
    Label_P2_FTP_Info->hide();
    Label_P2_Ver = PlaceLabel(p, "Label_P2_Ver", kVersionLabel, UiFont::Normal, Qt::AlignHCenter);
}

void TForm1::BuildWizardPage() {
    QWidget* p = Panel3;
    Label_P3_Headline =
        PlaceLabel(p, "Label_P3_Headline", {48, 48, kAutoWidth, 20}, UiFont::Bold12);
    Label_P3_Headline2 =
        PlaceLabel(p, "Label_P3_Headline2", {48, 72, kAutoWidth, 17}, UiFont::Bold10);
    Label_P3_Info = PlaceLabel(p, "Label_P3_Info", {48, 104, 337, 201}, UiFont::Large);
    Label_P3_Info->setWordWrap(true);
    ComboBox_P3 = Place<QComboBox>(p, "ComboBox_P3", {48, 128, 209, 24}, UiFont::Large);
    ComboBox_P3->setEditable(false);
    ComboBox_P3->hide();
    ProgressBar1 = Place<QProgressBar>(p, "ProgressBar1", {48, 264, 329, 25});
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));
    ProgressBar1->hide();
    Label_P3_Progress = PlaceLabel(p, "Label_P3_Progress", {48, 292, 329, 16});
    Label_P3_Progress->hide();
    Label_P3_Port = PlaceLabel(p, "Label_P3_Port", {48, 308, kAutoWidth, 16});
    Label_P3_Port->hide();
    Label_P3_Baseline =
        PlaceLabel(p, "Label_P3_Baseline", {48, 328, kAutoWidth, 17}, UiFont::Bold10);
    But_P3_Update = PlaceButton(p, "But_P3_Update", {48, 370, 171, 25});
    But_P3_Next = PlaceButton(p, "But_P3_Next", {244, 370, 75, 25});
    But_P3_Cancel = PlaceButton(p, "But_P3_Cancel", kCancelButton);
    Label_P3_Ver = PlaceLabel(p, "Label_P3_Ver", kVersionLabel, UiFont::Normal, Qt::AlignHCenter);
    // While the list is shown the information above it asks for the choice.
    Label_P3_Info->setBuddy(ComboBox_P3);
}

void TForm1::BuildNewsletterPage() {
    QWidget* p = Panel4;
    Label_P4_Headline =
        PlaceLabel(p, "Label_P4_Headline", {48, 48, kAutoWidth, 20}, UiFont::Bold12);
    Label_P4_Info = PlaceLabel(p, "Label_P4_Info", {48, 88, 337, 73}, UiFont::Large);
    Label_P4_Info->setWordWrap(true);
    Label_P4_Name = PlaceLabel(p, "Label_P4_Name", {48, 176, 337, 13});
    Edit_P4_Name = Place<QLineEdit>(p, "Edit_P4_Name", {48, 192, 337, 21});
    Label_P4_Email = PlaceLabel(p, "Label_P4_Email", {48, 224, 337, 13});
    Edit_P4_Email = Place<QLineEdit>(p, "Edit_P4_Email", {48, 240, 337, 21});
    Label_P4_Email2 = PlaceLabel(p, "Label_P4_Email2", {48, 272, 337, 13});
    Edit_P4_Email2 = Place<QLineEdit>(p, "Edit_P4_Email2", {48, 288, 337, 21});
    But_P4_Register = PlaceButton(p, "But_P4_Register", {224, 370, 95, 25});
    But_P4_cancel = PlaceButton(p, "But_P4_cancel", kCancelButton);
    Label_P4_Ver = PlaceLabel(p, "Label_P4_Ver", kVersionLabel, UiFont::Normal, Qt::AlignHCenter);
    Label_P4_Name->setBuddy(Edit_P4_Name);
    Label_P4_Email->setBuddy(Edit_P4_Email);
    Label_P4_Email2->setBuddy(Edit_P4_Email2);
}

}  // namespace app
