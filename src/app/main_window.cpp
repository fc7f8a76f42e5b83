#include "app/main_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <iostream>

#include "app/clickable_label.h"
#include "app/command_line.h"
#include "app/packaged_engine.h"
#include "app/programming_wizard.h"
#include "platform/files.h"
#include "update/program_files.h"

namespace app {

namespace {
constexpr int kClientWidth = 600;
constexpr int kClientHeight = 420;

// The desktop icon's renderings, one per size, so that the window shows the menu's
// picture at whatever size the desktop asks for.
QIcon ProgramIcon() {
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icons"), {QStringLiteral("arvexupdate.png")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (sizes.hasNext()) icon.addFile(sizes.next());
    return icon;
}
}  // namespace

TForm1::TForm1(std::vector<std::string> args, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      packagedEngineDir_(PackagedEngineFolder()),
      args_(std::move(args)) {
    setWindowTitle(QStringLiteral("Solvenda Plantrix Update"));
    setWindowIcon(ProgramIcon());
    BuildLayout();
    WireHandlers();
    WireUpdateServer();

    ComPort.SetMessageSink(&UserMessages);
    ZipReader.SetMessageSink(&UserMessages);
    if (!packagedEngineDir_.empty()) ZipReader.settings.dllDirectory = packagedEngineDir_;
    ComPort.SetPromptForPort(false);
    ComPort.SetInSize(8192);
    ComPort.SetOutSize(8192);
    ComPort.SetTraceName("ZEPO.TRC");
    ComPort.SetLogName("ZEPO.LOG");

    TimerAnimate.SetInterval(300);
    Timer_Event.SetInterval(2000);
    Timer_AutoUpdate.SetInterval(2000);
    CreateProgrammingJobs();
    CreateFlows();

    FormCreate();
    // Centred once: a start-up run again later leaves the window where the user has it.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

TForm1::~TForm1() = default;

void TForm1::CreateProgrammingJobs() {
    WizardPage& page = *this;
    link_ = std::make_unique<device::SerialLink>(ComPort, ProgramDir);
    const device::RunParts parts{*link_, page, Texts, UserMessages, ZipReader, ProgramDir};
    plantrixRun_ = std::make_unique<device::PlantrixRun>(parts);
    tessaraRun_ = std::make_unique<device::TessaraRun>(parts);
    granuloRun_ = std::make_unique<device::GranuloRun>(parts);
}

void TForm1::CreateFlows() {
    ProgramState& state = *this;
    WindowPages& pages = *this;
    WizardPage& page = *this;
    update::UpdateCheckView& sessionView = *this;
    UpdateCheckWindow& window = *this;
    SignupPage& signupPage = *this;
    updateCheck_ = std::make_unique<UpdateCheckFlow>(
        UpdateCheckFlowParts{wizard_, pages, page, sessionView, window, state, updateSession_,
                             Timer_AutoUpdate, update::PackagedProgramFiles(packagedEngineDir_)});
    signup_ = std::make_unique<SignupFlow>(wizard_, pages, signupPage, state, signupSession_);
    plantrixWizard_ = std::make_unique<ProgrammingWizard>(
        wizard_, pages, page, state, *link_, PlantrixTarget([this](const std::string& path) {
            return plantrixRun_->ProgramPlantrix(path);
        }));
    tessaraWizard_ = std::make_unique<ProgrammingWizard>(
        wizard_, pages, page, state, *link_, TessaraTarget([this](const std::string& path) {
            return tessaraRun_->ProgramTessara(path);
        }));
    for (WizardFlow* flow : std::initializer_list<WizardFlow*>{
             updateCheck_.get(), signup_.get(), plantrixWizard_.get(), tessaraWizard_.get()})
        wizard_.AddFlow(*flow);
}

void TForm1::WireHandlers() {
    connect(But_P1_Update, &QPushButton::clicked, this, [this] { But_P3_UpdateClick(); });
    connect(But_P3_Update, &QPushButton::clicked, this, [this] { But_P3_UpdateClick(); });
    connect(But_P1_UpdatePlantrix, &QPushButton::clicked, this,
            [this] { But_P1_UpdatePlantrixClick(); });
    connect(But_P1_UpdateTessara, &QPushButton::clicked, this,
            [this] { But_P1_UpdateTessaraClick(); });
    connect(But_P1_Exit, &QPushButton::clicked, this, [this] { But_P1_ExitClick(); });
    connect(But_P1_Test, &QPushButton::clicked, this, [this] { But_P1_TestClick(); });
    connect(But_P1_Login, &QPushButton::clicked, this, [this] { But_P1_LoginClick(); });
    connect(Edit_P1_Password, &QLineEdit::returnPressed, this,
            [this] { Edit_P1_PasswordKeyPress('\r'); });
    Label_P1_Ver->OnDblClick = [this] { Label_P1_VerDblClick(); };
    connect(ComboBox_Language, &QComboBox::activated, this, [this] { ComboBox_LanguageChange(); });
    connect(ComboBox_P3, &QComboBox::activated, this, [this] { ComboBox_P3Change(); });
    connect(But_P2_Cancel, &QPushButton::clicked, this, [this] { But_P2_CancelClick(); });
    connect(But_P3_Next, &QPushButton::clicked, this, [this] { But_P3_NextClick(); });
    connect(But_P3_Cancel, &QPushButton::clicked, this, [this] { But_P3_CancelClick(); });
    connect(But_P4_cancel, &QPushButton::clicked, this, [this] { But_P4_cancelClick(); });

    TimerAnimate.OnTimer = [this] { TimerAnimateTimer(); };
}

void TForm1::FormCreate() {
    // The client area is fixed; the window manager adds its own frame around it.
    setFixedSize(kClientWidth, kClientHeight);

    Panel2->move(165, 0);
    Panel3->move(165, 0);
    Panel4->move(165, 0);
    wizard_.ToStartPage();

    // The program refuses to start without a readable working directory; should it vanish
    // later, the folders stay those the program started with.
    if (std::optional<std::string> dir = platform::WorkingDirectory()) ProgramDir = *dir;
    DataDir = ProgramDir + "Data/";
    LanguageDir = ProgramDir + "Language/";
    CurrentLanguage.clear();
    ServiceMode = false;
    AutoUpdateMinutes = 0;
    AutoUpdateStep = 0;
    // A repeated start-up begins with service mode off again, and so do its indicators.
    Label_ServiceMode->hide();
    But_P1_UpdateTessara->hide();

    const CommandLine options = ParseCommandLine(args_);
    if (!commandLineChecked_) {
        for (const std::string& problem : options.problems) std::cerr << problem << '\n';
        commandLineChecked_ = true;
    }
    if (options.serviceMode) EnterServiceMode();
    AutoUpdateMinutes = options.autoUpdateMinutes;
    if (AutoUpdateMinutes > 0) {
        Timer_AutoUpdate.SetInterval(2000);
        Timer_AutoUpdate.SetEnabled(true);
    }

    platform::CreateFolder(DataDir);
    platform::CreateFolder(LanguageDir);

    LoadTextFile();
}

void TForm1::ShowPage(int page) {
    QWidget* panels[] = {Panel1, Panel2, Panel3, Panel4};
    if (page < 1 || page > 4) return;
    // Only the page in front is seen; hiding the others also keeps the keyboard focus
    // out of controls that cannot be seen.
    for (int i = 0; i < 4; ++i) panels[i]->setVisible(i == page - 1);
    panels[page - 1]->raise();
    // Return then starts the first task rather than ending the program.
    if (page == 1) But_P1_Update->setFocus();
}

int TForm1::VisiblePage() const {
    const QWidget* panels[] = {Panel1, Panel2, Panel3, Panel4};
    for (int i = 0; i < 4; ++i)
        if (!panels[i]->isHidden()) return i + 1;
    return 0;
}

void TForm1::AddStatusLine(const std::string& text) {
    const QString line = QString::fromStdString(text);
    downloadPageRepaints_->Changed();
    ListBox_P2->addItem(line);
    ListBox_P2->scrollToBottom();
    Label_P2_FTP_Info->setText(line);
}

void TForm1::TimerAnimateTimer() {
    const std::string text = Texts[i18n::TextId::SearchingForPlantrix] +
                             std::string(static_cast<size_t>(AnimateDots), '.');
    if (++AnimateDots > 5) AnimateDots = 0;
    Label_P3_Info->setText(QString::fromStdString(text));
}

}  // namespace app
