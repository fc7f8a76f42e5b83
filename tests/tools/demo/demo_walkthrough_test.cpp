// The demo's walk-through as a new user goes it, through the window on its named controls:
// an empty program folder, the generated demo tree served by the demo's FTP server and the
// simulated terminal on COM1 of a ports folder. At the end the terminal holds the package's
// firmware, laid out here from the package's own records.
//
// With ARVEX_DEMO_SCREENSHOTS=FOLDER (absolute, as the test works in the program folder) the
// window is also saved as PNGs on the way (the README's pictures); ARVEX_DEMO_SIM_ARGS adds
// options to the simulator as in the demo ("--baud 19200" walks it at the demo's pace).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QProgressBar>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "demo_test_support.h"
#include "ftp_server_process.h"
#include "platform/files.h"
#include "terminal-sim/memory.h"
#include "update/server_settings.h"
#include "window_fixture.h"

namespace fs = std::filesystem;
using namespace demotest;
using Lines = std::vector<std::string>;

namespace {

constexpr int kStepMs = 30000;
constexpr const char* kPackage = "Sprayer_R0105.vbf";

// Waits, processing events, for the condition; bounded, as a step of the walk may take a
// few seconds on a loaded machine.
bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, kStepMs); }

// Reads an S-record line's data record (S1, S2, S3), or nothing for the other types.
struct Record {
    uint32_t address = 0;
    std::string data;
};
std::optional<Record> DataRecord(const std::string& line) {
    if (line.size() < 4 || line[0] != 'S' || line[1] < '1' || line[1] > '3') return {};
    const size_t width = static_cast<size_t>(line[1] - '0') + 1;
    const size_t count = std::stoul(line.substr(2, 2), nullptr, 16);
    Record r;
    r.address = static_cast<uint32_t>(std::stoul(line.substr(4, 2 * width), nullptr, 16));
    for (size_t i = width; i + 1 < count; ++i)
        r.data += static_cast<char>(std::stoul(line.substr(4 + 2 * i, 2), nullptr, 16));
    return r;
}

class DemoWalkThrough : public testsupport::WindowTest {
  protected:
    void SetUp() override {
        const testsupport::RunResult made = MakeTree(Tree());
        ASSERT_EQ(made.status, 0) << made.output;
        ftp = std::make_unique<testsupport::FtpServerProcess>(Tree(), update::kDefaultServerUser,
                                                              update::kServerPassword);
        ASSERT_TRUE(ftp->Running()) << ftp->Error();
        server = std::make_unique<testsupport::ScopedEnvironment>(
            "ARVEX_FTP_SERVER", "127.0.0.1:" + std::to_string(ftp->Port()));
        std::vector<std::string> simulator{BuildDir() + "/arvex-terminal-sim",
                                           "--ports",
                                           Ports(),
                                           "--com",
                                           "1",
                                           "--out",
                                           Results(),
                                           "--exit-after-run"};
        std::istringstream extra(
            std::getenv("ARVEX_DEMO_SIM_ARGS") ? std::getenv("ARVEX_DEMO_SIM_ARGS") : "");
        for (std::string word; extra >> word;) simulator.push_back(word);
        sim = std::make_unique<testsupport::ChildProcess>(simulator);
        ASSERT_TRUE(sim->WaitForOutput(Ports() + "/COM1", kStepMs)) << sim->Output();
    }
    void TearDown() override { form.reset(); }

    std::string Tree() const { return pieces.Path() + "tree/"; }
    std::string Ports() const { return pieces.Path() + "ports"; }
    std::string Results() const { return pieces.Path() + "results"; }

    // Next, Check for updates and the like: the click, then the page's button reads
    // "Finish" when the step has ended.
    void ClickAndWaitForFinish(const char* button, const char* finish) {
        Click(button);
        EXPECT_TRUE(WaitFor([&] { return Caption(finish) == "Finish"; })) << StatusText();
    }
    std::string StatusText() const {
        std::string text;
        for (const std::string& line : StatusLines()) text += line + "\n";
        return text;
    }
    void Shoot(const char* name) {
        const char* folder = std::getenv("ARVEX_DEMO_SCREENSHOTS");
        if (folder == nullptr) return;
        QApplication::processEvents();
        EXPECT_TRUE(form->grab().save(QString::fromLocal8Bit(folder) + "/" + name + ".png"));
    }
    // The member of the package with that extension, read by Python's zipfile.
    std::string Member(const std::string& extension) {
        const testsupport::RunResult r = testsupport::RunProcess(
            {kPython, "-c",
             "import sys, zipfile\n"
             "z = zipfile.ZipFile(sys.argv[1])\n"
             "n = [m for m in z.namelist() if m.lower().endswith(sys.argv[2])]\n"
             "sys.stdout.buffer.write(z.read(n[0]))\n",
             Tree() + "UpdateFiles/" + kPackage, "." + extension});
        EXPECT_EQ(r.status, 0) << r.output;
        return r.output;
    }
    // The flash window of hardware code 1 as the package's s19 records leave it.
    std::string ExpectedFlash() {
        const termsim::FlashWindow window = termsim::FlashWindowFor(1);
        std::string image(window.size, '\xFF');
        for (const std::string& line : platform::SplitLines(Member("s19"))) {
            const auto record = DataRecord(line);
            if (!record || record->address < window.start ||
                record->address + record->data.size() > window.start + window.size)
                continue;
            image.replace(record->address - window.start, record->data.size(), record->data);
        }
        return image;
    }

    testsupport::TempFolder pieces;
    std::unique_ptr<testsupport::FtpServerProcess> ftp;
    std::unique_ptr<testsupport::ScopedEnvironment> server;
    testsupport::ScopedEnvironment portsFolder{"ARVEX_COM_PORTS", Ports()};
    std::unique_ptr<testsupport::ChildProcess> sim;
};

TEST_F(DemoWalkThrough, FromAnEmptyFolderToAProgrammedTerminal) {
    ASSERT_TRUE(fs::is_empty(folder.Path()));
    Start();
    ASSERT_EQ(form->Step(), app::WizardStep::Installation);

    // Installation: the program files, then after a pause the update files.
    ClickAndWaitForFinish("But_P3_Next", "But_P2_Cancel");
    for (const char* f :
         {"ZipEngine.so", "BLaz60A.prg", "BLdg128.prg", "BLdg128A.prg", "BLS12G128.prg"}) {
        EXPECT_EQ(folder.Read(f), pieces.Read(std::string("tree/ProgramFiles/") + f)) << f;
    }
    EXPECT_EQ(folder.Read(std::string("Data/") + kPackage),
              pieces.Read(std::string("tree/UpdateFiles/") + kPackage));
    EXPECT_TRUE(folder.Exists("Language/Deutsch_1.lan")) << StatusText();
    Shoot("installation_done");
    Click("But_P2_Cancel");
    ASSERT_EQ(form->VisiblePage(), 1) << StatusText();
    Shoot("start");

    // Check for updates: the folders are in step with the server now.
    Click("But_P1_Update");
    ClickAndWaitForFinish("But_P3_Next", "But_P2_Cancel");
    EXPECT_EQ(StatusLines(), (Lines{"Connecting to server...", "Your files are the latest!",
                                    "Disconnected from server"}));
    Click("But_P2_Cancel");
    ASSERT_EQ(form->VisiblePage(), 1);

    // Program Plantrix: introduction, instructions, the search finds the terminal on COM1.
    Click("But_P1_UpdatePlantrix");
    Click("But_P3_Next");
    Click("But_P3_Next");
    ASSERT_TRUE(WaitFor([&] { return form->Step() == app::WizardStep::PlantrixMachineType; }))
        << Caption("Label_P3_Info");
    auto* types = Find<QComboBox>("ComboBox_P3");
    const int sprayer = types->findText("Sprayer");
    ASSERT_GE(sprayer, 0);
    types->setCurrentIndex(sprayer);
    emit types->activated(sprayer);
    Click("But_P3_Next");
    ASSERT_EQ(form->Step(), app::WizardStep::PlantrixConfirmation) << Caption("Label_P3_Info");
    EXPECT_EQ(Caption("Label_P3_Headline2"), "Selected firmware: Sprayer, R0105");
    Click("But_P3_Next");
    EXPECT_TRUE(WaitFor([&] { return Caption("Label_P3_Info") == "Download success!"; }))
        << Caption("Label_P3_Info");
    const auto* bar = Find<QProgressBar>("ProgressBar1");
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_EQ(Caption("But_P3_Cancel"), "Finish");
    Shoot("plantrix_success");

    // The terminal took the run's last byte: the simulator has written what it holds.
    EXPECT_EQ(sim->Wait(kStepMs), 0) << sim->Output();
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(messages.Texts(), Lines{});
    EXPECT_TRUE(pieces.Read("results/flash.bin") == ExpectedFlash());
    EXPECT_EQ(pieces.Read("results/blocks-00000040.bin"), Member("vtf"));
    EXPECT_EQ(pieces.Read("results/blocks-00080000.bin"), Member("vgf"));
}

}  // namespace
