// Tessara runs through the window against a simulated terminal in Tessara mode: the image
// the Tessara is left with, the release choice in and out of service mode, and the result
// the page shows when a step fails.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <filesystem>

#include "programming_fixture.h"

namespace {

using app::WizardStep;
using progtest::Bytes;
using progtest::Placed;
using termsim::FrameKind;
using termsim::Refusal;
using termsim::SimOptions;

constexpr uint32_t kImageSize = 0x3E000;
constexpr uint32_t kChecksumAt = 0x3DFFE;
const std::string kSuccess = "Download success!";

std::string ErrorCode(int code) { return "An error occured!\nError code: " + std::to_string(code); }

// A record of the file, and where the banking rule puts its data (nothing: nowhere).
struct Piece {
    char type;
    uint32_t address;
    std::size_t size;
    std::optional<uint32_t> offset;
};

// Offsets worked out by hand: (page - 0x30) * 0x4000 + (window - 0x8000), S1 records
// below 0x8000 in page 0x3E and from 0xC000 in page 0x3F.
const Piece kPieces[] = {
    {'1', 0x2000, 16, std::nullopt},    // below 0x4000
    {'1', 0x4000, 16, 0x38000},         // page 3E, window 8000
    {'1', 0x9000, 16, std::nullopt},    // the window itself, no page
    {'1', 0xC000, 16, 0x3C000},         // page 3F, window 8000
    {'2', 0x308000, 96, 0x0},           // the image's first bytes
    {'2', 0x33A010, 40, 0xE010},        // across two blocks of page 33
    {'2', 0x3C8000, 16, 0x30000},       // page 3C: written, not summed
    {'2', 0x3FA000, 16, std::nullopt},  // above the range
};
// The blocks above (0x0, 0x40, 0xE000, 0x30000, 0x38000, 0x3C000) and the checksum's.
constexpr std::size_t kPageWrites = 7;

struct TessaraFile {
    std::vector<std::string> lines;
    Bytes image;
};

TessaraFile MakeFile(int seed) {
    TessaraFile f;
    std::vector<Placed> placed;
    f.lines.push_back("S00600004844521B");
    for (const Piece& p : kPieces) {
        const Bytes data = progtest::Pattern(p.size, seed + static_cast<int>(p.address));
        for (const std::string& line : progtest::Records(p.type, p.address, data, 32))
            f.lines.push_back(line);
        if (p.offset) placed.push_back({*p.offset, data});
    }
    f.lines.push_back("S804000000FB");
    f.image = progtest::ExpectedImage(
        kImageSize, placed,
        [](uint32_t at) { return at < 0x30000 || (at >= 0x38000 && at < kChecksumAt); },
        kChecksumAt);
    return f;
}

class TessaraRun : public testsupport::ProgrammingTest {
  protected:
    termsim::TerminalSimulator& StartTessara(const std::function<void(SimOptions&)>& adjust = {}) {
        return terminals.Start(3, [&](SimOptions& o) {
            o.model.mode = termsim::SimMode::Tessara;
            // Long enough that the "E" never comes before the run listens for it.
            o.model.eraseTime = std::chrono::milliseconds(100);
            if (adjust) adjust(o);
        });
    }
    void WriteFile(const std::string& name, const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        folder.Write("Data/" + name, text);
    }
    // Service mode off: the wizard is opened by its handler, as no button shows it.
    void ToConfirmation() {
        Start();
        form->But_P1_UpdateTessaraClick();
        Click("But_P3_Next");
        ASSERT_EQ(form->Step(), WizardStep::TessaraConfirmation) << Caption("Label_P3_Info");
    }
    void ExpectRunEnded() {
        EXPECT_EQ(form->Step(), WizardStep::TessaraProgramming);
        EXPECT_FALSE(Shown("But_P3_Next"));
        EXPECT_EQ(Caption("But_P3_Cancel"), "Finish");
        EXPECT_TRUE(Find("But_P3_Cancel")->isEnabled());
        EXPECT_FALSE(Shown("ProgressBar1"));
        EXPECT_FALSE(form->ComPort.Open());
    }
    void ExpectImage(const Bytes& expected) {
        ASSERT_TRUE(terminals.At(3).WaitForRunComplete(std::chrono::seconds(5)));
        const termsim::SimResults r = terminals.At(3).Results();
        const auto written = std::ranges::count_if(r.frames, [](const termsim::FrameRecord& f) {
            return f.kind == FrameKind::PageWrite &&
                   f.reply == Bytes{termsim::kAck, termsim::kDone};
        });
        EXPECT_EQ(static_cast<std::size_t>(written), kPageWrites);
        ASSERT_EQ(r.pageImage.size(), expected.size());
        const auto differs =
            std::mismatch(r.pageImage.begin(), r.pageImage.end(), expected.begin());
        EXPECT_TRUE(differs.first == r.pageImage.end())
            << "first wrong byte at 0x" << std::hex << (differs.first - r.pageImage.begin());
    }
    termsim::SimResults Results() { return terminals.At(3).Results(); }
};

TEST_F(TessaraRun, ServiceModeOffProgramsTheNewestReleaseAndLeavesTestReleasesOut) {
    StartTessara();
    const TessaraFile newest = MakeFile(2);
    WriteFile("Tessara_R0101.b12", MakeFile(1).lines);
    WriteFile("Tessara_R0102.b12", newest.lines);
    WriteFile("Tessara_T0103.b12", MakeFile(3).lines);
    ToConfirmation();
    EXPECT_FALSE(Shown("ComboBox_P3"));
    EXPECT_EQ(Caption("Label_P3_Headline2"), "Selected firmware: Tessara, R0102");
    EXPECT_EQ(Caption("Label_P3_Info"),
              "1. Press C button when you start your Plantrix\n\n"
              "2. Connect cable between PC and GPS port on Plantrix, connect Tessara directly "
              "to Plantrix\n\n3. Press Next to start download!");
    Click("But_P3_Next");
    EXPECT_EQ(Caption("Label_P3_Info"), kSuccess);
    ExpectRunEnded();
    EXPECT_TRUE(messages.boxes.empty());
    ExpectImage(newest.image);
}

// With the login: the Tessara button, the release list with every release, the last one
// preselected, and the chosen file programmed.
class ServiceModeRelease : public TessaraRun, public ::testing::WithParamInterface<int> {};

TEST_P(ServiceModeRelease, TheChosenReleaseIsProgrammed) {
    const int chosen = GetParam();
    StartTessara();
    const char* names[] = {"Tessara_R0101.b12", "Tessara_R0102.b12", "Tessara_T0103.b12"};
    std::vector<TessaraFile> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(MakeFile(i + 1));
        WriteFile(names[i], files.back().lines);
    }
    Start();
    EXPECT_FALSE(Shown("But_P1_UpdateTessara"));
    QTest::mouseDClick(Find("Label_P1_Ver"), Qt::LeftButton);
    QTest::keyClicks(Find<QLineEdit>("Edit_P1_Password"), "QKTD");
    Click("But_P1_Login");
    ASSERT_TRUE(Shown("But_P1_UpdateTessara"));

    Click("But_P1_UpdateTessara");
    EXPECT_EQ(form->Step(), WizardStep::TessaraIntroduction);
    Click("But_P3_Next");
    EXPECT_EQ(form->Step(), WizardStep::TessaraRelease);
    EXPECT_EQ(Caption("Label_P3_Headline2"), "Selected firmware: Tessara");
    EXPECT_EQ(Caption("Label_P3_Info"), "Select release version:");
    EXPECT_EQ(Choices(), (std::vector<std::string>{"R0101", "R0102", "T0103"}));
    EXPECT_EQ(Find<QComboBox>("ComboBox_P3")->currentIndex(), 2);
    EXPECT_EQ(Find("ComboBox_P3")->y(), 120);
    if (chosen != 2) Choose(chosen);

    Click("But_P3_Next");
    EXPECT_EQ(form->Step(), WizardStep::TessaraConfirmation);
    EXPECT_FALSE(Shown("ComboBox_P3"));
    EXPECT_EQ(Caption("Label_P3_Headline2"),
              "Selected firmware: Tessara, " + Choices()[static_cast<size_t>(chosen)]);
    Click("But_P3_Next");
    EXPECT_EQ(Caption("Label_P3_Info"), kSuccess);
    ExpectRunEnded();
    ExpectImage(files[static_cast<size_t>(chosen)].image);
}

INSTANTIATE_TEST_SUITE_P(Releases, ServiceModeRelease, ::testing::Values(0, 2));

struct RunFault {
    const char* name;
    std::function<void(SimOptions&)> faults;
    std::string result;
    bool startRequestSent;
    friend void PrintTo(const RunFault& c, std::ostream* os) { *os << c.name; }
};

class TessaraFailingRun : public TessaraRun, public ::testing::WithParamInterface<RunFault> {};

TEST_P(TessaraFailingRun, EndsWithItsResultAndThePortClosed) {
    const RunFault& c = GetParam();
    StartTessara(c.faults);
    const TessaraFile file = MakeFile(1);
    WriteFile("Tessara_R0101.b12", file.lines);
    ToConfirmation();
    Click("But_P3_Next");
    EXPECT_EQ(Caption("Label_P3_Info"), c.result);
    ExpectRunEnded();
    // The Tessara's failures are told on the page alone.
    EXPECT_TRUE(messages.boxes.empty());
    if (c.result == kSuccess) {
        ExpectImage(file.image);
    } else {
        EXPECT_EQ(Results().completeRuns, 0u);
    }
    EXPECT_EQ(Results().Count(FrameKind::StartRequest), c.startRequestSent ? 1u : 0u);
}

Refusal RefusePage(unsigned ordinal, unsigned times) {
    return {FrameKind::PageWrite, ordinal, times};
}

const RunFault kRunFaults[] = {
    {"PathAnswers01", [](SimOptions& o) { o.model.relayAnswer = 0x01; }, kSuccess, true},
    {"PathAnswers02", [](SimOptions& o) { o.model.relayAnswer = 0x02; },
     "Could not program connected device. Error in hardware code", false},
    {"PathAnswersNothing", [](SimOptions& o) { o.model.relayAnswer = std::nullopt; }, ErrorCode(8),
     false},
    {"NoEAfterTheStart", [](SimOptions& o) { o.model.faults.noFlashReady = true; }, ErrorCode(3),
     true},
    {"PageRefused20Times", [](SimOptions& o) { o.model.faults.refusals = {RefusePage(2, 20)}; },
     kSuccess, true},
    {"PageRefused21Times", [](SimOptions& o) { o.model.faults.refusals = {RefusePage(2, 21)}; },
     ErrorCode(4), true},
    {"PageNotWritten",
     [](SimOptions& o) {
         o.model.faults.wrongDone = termsim::WrongDone{3, 'X'};
     },
     ErrorCode(4), true},
};

INSTANTIATE_TEST_SUITE_P(Faults, TessaraFailingRun, ::testing::ValuesIn(kRunFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// Files the run refuses before it sends anything but the search's identification.
struct BadFile {
    const char* name;
    std::function<void(std::vector<std::string>&, testsupport::TempFolder&)> spoil;
    std::string result;
    friend void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }
};

class TessaraRefusedFile : public TessaraRun, public ::testing::WithParamInterface<BadFile> {};

TEST_P(TessaraRefusedFile, NothingReachesTheTessara) {
    const BadFile& c = GetParam();
    StartTessara();
    std::vector<std::string> lines = MakeFile(1).lines;
    WriteFile("Tessara_R0101.b12", lines);
    ToConfirmation();
    c.spoil(lines, folder);
    if (!lines.empty()) WriteFile("Tessara_R0101.b12", lines);
    Click("But_P3_Next");
    EXPECT_EQ(Caption("Label_P3_Info"), c.result);
    ExpectRunEnded();
    EXPECT_TRUE(messages.boxes.empty());
    const termsim::SimResults r = Results();
    EXPECT_EQ(r.Count(FrameKind::Identify), r.frames.size()) << "frames beyond the search";
}

const BadFile kBadFiles[] = {
    {"GoneBeforeNext",
     [](std::vector<std::string>& lines, testsupport::TempFolder& folder) {
         lines.clear();
         std::filesystem::remove(folder.Path() + "Data/Tessara_R0101.b12");
     },
     "No boot files were found!"},
    {"NonHexDigitInARecord",
     [](std::vector<std::string>& lines, testsupport::TempFolder&) { lines[6][14] = 'G'; },
     ErrorCode(4)},
    {"RecordWithoutItsChecksum",
     [](std::vector<std::string>& lines, testsupport::TempFolder&) {
         lines[6].resize(lines[6].size() - 2);
     },
     ErrorCode(4)},
    {"RecordTypeNotTaken",
     [](std::vector<std::string>& lines, testsupport::TempFolder&) {
         lines.insert(lines.begin() + 3, "S30900001000AABBCCDD00");
     },
     ErrorCode(4)},
};

INSTANTIATE_TEST_SUITE_P(Files, TessaraRefusedFile, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TessaraRun, NoTerminalTellsHowToStartTheTessaraPath) {
    WriteFile("Tessara_R0101.b12", MakeFile(1).lines);
    ToConfirmation();
    Click("But_P3_Next");
    EXPECT_EQ(Caption("Label_P3_Info"),
              "Plantrix not found on any COM port,\n"
              "make sure it is connected and in Tessara program mode (started with C button)");
    EXPECT_FALSE(Shown("ProgressBar1"));
}

}  // namespace
