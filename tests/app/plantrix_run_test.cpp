// Programming runs through the window against simulated terminals: what reaches the
// terminal's memories, and the result the page shows when a step fails.
#include <gtest/gtest.h>

#include "programming_fixture.h"

namespace {

using progtest::Bytes;
using termsim::FrameKind;
using termsim::Refusal;
using termsim::SimOptions;

const std::string kChecksumError = "Communication checksum error";

std::string ErrorCode(const std::string& codeWithSeparator) {
    return "An error occured!\nError code:" + codeWithSeparator;
}

Bytes AsBytes(const std::string& s) { return {s.begin(), s.end()}; }

class PlantrixRun : public testsupport::ProgrammingTest {
  protected:
    // One terminal on COM3 and the package KX_R0104 for its hardware, up to the
    // confirmation.
    void Prepare(uint8_t code, const std::function<void(SimOptions&)>& faults = {}) {
        terminals.Start(3, [&](SimOptions& o) {
            o.model.hardwareCode = code;
            if (faults) faults(o);
        });
        firmware = progtest::FirmwareFor(code);
        WritePackage(code == 3 ? "KX_R0104_s12.vbf" : "KX_R0104.vbf", firmware);
        ToConfirmation();
    }
    termsim::SimResults Results() { return terminals.At(3).Results(); }

    progtest::Firmware firmware;
};

class WholeRun : public PlantrixRun, public ::testing::WithParamInterface<int> {};

TEST_P(WholeRun, TheTerminalHoldsThePackageAndTheBarIsFull) {
    const auto code = static_cast<uint8_t>(GetParam());
    Prepare(code);
    EXPECT_EQ(Caption("Label_P3_Headline2"), "Selected firmware: KX, R0104");
    EXPECT_EQ(RunResult(), "Download success!");
    EXPECT_TRUE(messages.boxes.empty());

    const auto* bar = Find<QProgressBar>("ProgressBar1");
    EXPECT_TRUE(bar->isVisible());
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_FALSE(Shown("But_P3_Next"));
    EXPECT_TRUE(Find("But_P3_Cancel")->isEnabled());
    EXPECT_EQ(Caption("But_P3_Cancel"), "Finish");

    // The finish byte is the run's last, and nothing answers it.
    EXPECT_TRUE(terminals.At(3).WaitForRunComplete(std::chrono::seconds(5)));
    const termsim::SimResults r = Results();
    EXPECT_EQ(r.blockWrites.Read(firmware.vgfAddress, firmware.vgf.size()), AsBytes(firmware.vgf));
    EXPECT_EQ(r.blockWrites.Read(0x40, firmware.vtf.size()), AsBytes(firmware.vtf));
    EXPECT_EQ(r.blockWrites.Size(), firmware.vgf.size() + firmware.vtf.size());
    EXPECT_EQ(r.ramLoader.Read(0, 64), progtest::LoaderData());
    EXPECT_EQ(r.ramLoader.Size(), 64u);
    EXPECT_EQ(r.flashOutsideWindow, 0u);
    EXPECT_TRUE(r.FlashWindowImage() == firmware.ExpectedFlash(code));
    EXPECT_EQ(folder.Read("ComPort.txt"), "3");
    EXPECT_TRUE(form->ComPort.Open());
}

INSTANTIATE_TEST_SUITE_P(HardwareCodes, WholeRun, ::testing::Values(1, 2, 3));

struct RunFault {
    const char* name;
    std::function<void(SimOptions&)> faults;
    std::string result;
    std::vector<std::string> boxes;
    bool portOpenAfter;
    friend void PrintTo(const RunFault& c, std::ostream* os) { *os << c.name; }
};

class FailingRun : public PlantrixRun, public ::testing::WithParamInterface<RunFault> {};

TEST_P(FailingRun, EndsWithItsResult) {
    const RunFault& c = GetParam();
    Prepare(1, c.faults);
    EXPECT_EQ(RunResult(), c.result);
    EXPECT_EQ(messages.Texts(), c.boxes);
    EXPECT_EQ(form->ComPort.Open(), c.portOpenAfter);
    EXPECT_TRUE(Find("But_P3_Cancel")->isEnabled());
    if (c.result == "Download success!") {
        EXPECT_TRUE(terminals.At(3).WaitForRunComplete(std::chrono::seconds(5)));
    }
    // Finish lets go of the port whatever the run left behind, a vanished device included.
    Click("But_P3_Cancel");
    EXPECT_FALSE(form->ComPort.Open());
    EXPECT_EQ(form->VisiblePage(), 1);
}

Refusal Refuse(FrameKind kind, unsigned ordinal, unsigned times) { return {kind, ordinal, times}; }

// The vgf member is three block writes, the vtf member two, the loader four records.
const RunFault kRunFaults[] = {
    {"VgfBlockRefusedForEver",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::BlockWrite, 1, 0)}; },
     ErrorCode(" 5"),
     {kChecksumError},
     false},
    {"VgfBlocksRefused21TimesInAll",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::BlockWrite, 0, 7)}; },
     ErrorCode(" 5"),
     {kChecksumError},
     false},
    {"VgfBlockRefused20Times",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::BlockWrite, 1, 20)}; },
     "Download success!",
     {},
     true},
    {"VtfUnanswered",
     [](SimOptions& o) {
         o.model.faults.silentAfter = termsim::FrameCount{FrameKind::BlockWrite, 3};
     },
     ErrorCode("1"),
     {},
     false},
    {"VtfBlockRefusedForEver",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::BlockWrite, 4, 0)}; },
     ErrorCode("1"),
     {kChecksumError},
     false},
    {"LoadRecordRefusedForEver",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::LoadRecord, 1, 0)}; },
     ErrorCode("2"),
     {kChecksumError},
     false},
    {"LoadRecordsRefused20TimesAcrossTheLoader",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::LoadRecord, 0, 5)}; },
     "Download success!",
     {},
     true},
    {"LoadRecordsRefused21TimesAcrossTheLoader",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::LoadRecord, 0, 6)}; },
     ErrorCode("2"),
     {kChecksumError},
     false},
    {"FlashNeverReady",
     [](SimOptions& o) { o.model.faults.noFlashReady = true; },
     ErrorCode("3"),
     {},
     true},
    {"FlashRecordRefusedForEver",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::FlashRecord, 2, 0)}; },
     ErrorCode("4"),
     {kChecksumError},
     true},
    {"FlashRecordRefused21Times",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::FlashRecord, 1, 21)}; },
     ErrorCode("4"),
     {kChecksumError},
     true},
    {"EveryFlashRecordRefused20Times",
     [](SimOptions& o) { o.model.faults.refusals = {Refuse(FrameKind::FlashRecord, 0, 20)}; },
     "Download success!",
     {},
     true},
    {"FlashRecordNotWritten",
     [](SimOptions& o) {
         o.model.faults.wrongDone = termsim::WrongDone{2, 'X'};
     },
     ErrorCode("4"),
     {"Error while programming"},
     true},
    {"DeviceVanishesDuringTheVgfBlocks",
     [](SimOptions& o) {
         o.model.faults.vanishAfter = termsim::FrameCount{FrameKind::BlockWrite, 1};
     },
     ErrorCode(" 5"),
     {},
     false},
    {"DeviceVanishesDuringTheFlashRecords",
     [](SimOptions& o) {
         o.model.faults.vanishAfter = termsim::FrameCount{FrameKind::FlashRecord, 3};
     },
     ErrorCode("4"),
     {},
     true},
};

INSTANTIATE_TEST_SUITE_P(Faults, FailingRun, ::testing::ValuesIn(kRunFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// Files the run refuses before it sends the terminal anything but the identification.
struct BadFile {
    const char* name;
    std::function<void(progtest::Firmware&, testsupport::TempFolder&)> spoil;
    std::function<std::string(const testsupport::TempFolder&)> result;
    std::vector<std::string> boxes;
    bool indexOfTheUnspoiledFile = false;
    friend void PrintTo(const BadFile& c, std::ostream* os) { *os << c.name; }
};

class RefusedFile : public PlantrixRun, public ::testing::WithParamInterface<BadFile> {};

TEST_P(RefusedFile, NothingIsSent) {
    const BadFile& c = GetParam();
    terminals.Start(3);
    firmware = progtest::FirmwareFor(1);
    const std::string index = progtest::IndexOf(firmware);
    c.spoil(firmware, folder);
    folder.Write(
        "Data/KX_R0104.vbf",
        progtest::PackageBytes(firmware, "FW0104", c.indexOfTheUnspoiledFile ? &index : nullptr));
    ToConfirmation();
    EXPECT_EQ(RunResult(), c.result(folder));
    EXPECT_EQ(messages.Texts(), c.boxes);
    const termsim::SimResults r = Results();
    EXPECT_EQ(r.Count(FrameKind::Identify), r.frames.size()) << "frames beyond the identification";
}

std::string LineWith(std::string line, size_t at, char c) {
    line[at] = c;
    return line;
}

// A firmware line spoiled as a cut or damaged file shows it; the loader's lines likewise.
std::function<void(progtest::Firmware&, testsupport::TempFolder&)> FirmwareLine(
    std::function<void(std::vector<std::string>&)> spoil) {
    return [spoil](progtest::Firmware& f, testsupport::TempFolder&) { spoil(f.s19); };
}
std::function<void(progtest::Firmware&, testsupport::TempFolder&)> LoaderLine(
    std::function<void(std::vector<std::string>&)> spoil) {
    return [spoil](progtest::Firmware&, testsupport::TempFolder& folder) {
        std::vector<std::string> lines = progtest::LoaderLines();
        spoil(lines);
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        folder.Write("BLdg128.prg", text);
    };
}
auto Fixed(std::string text) {
    return [text](const testsupport::TempFolder&) { return text; };
}

const std::vector<std::string> kS19Error{"Error in s19 file"};

const BadFile kBadFiles[] = {
    {"RecordWithANonHexDigit", FirmwareLine([](auto& l) { l[3] = LineWith(l[3], 12, 'G'); }),
     Fixed(ErrorCode("4")), kS19Error},
    {"RecordWithoutItsChecksum", FirmwareLine([](auto& l) { l[5].resize(l[5].size() - 2); }),
     Fixed(ErrorCode("4")), kS19Error},
    {"S3Record", FirmwareLine([](auto& l) { l.insert(l.begin() + 4, "S30900001000AABBCCDD00"); }),
     Fixed(ErrorCode("4")), kS19Error},
    {"S5Record", FirmwareLine([](auto& l) { l.insert(l.end() - 1, "S5030004F8"); }),
     Fixed(ErrorCode("4")), kS19Error},
    {"S7Record", FirmwareLine([](auto& l) { l.back() = "S70500000000FA"; }), Fixed(ErrorCode("4")),
     kS19Error},
    {"LineThatIsNoRecord", FirmwareLine([](auto& l) { l.insert(l.begin() + 2, "; comment"); }),
     Fixed(ErrorCode("4")), kS19Error},
    {"NoEndRecord", FirmwareLine([](auto& l) { l.pop_back(); }), Fixed(ErrorCode("4")), kS19Error},
    {"LoaderRecordWithANonHexDigit", LoaderLine([](auto& l) { l[2] = LineWith(l[2], 20, 'x'); }),
     Fixed(ErrorCode("2")), kS19Error},
    {"LoaderS2Record", LoaderLine([](auto& l) { l.insert(l.begin() + 2, "S2080010000102030468"); }),
     Fixed(ErrorCode("2")), kS19Error},
    {"LoaderWithoutS9", LoaderLine([](auto& l) { l.pop_back(); }), Fixed(ErrorCode("2")),
     kS19Error},
    {"BootloaderMissing",
     [](progtest::Firmware&, testsupport::TempFolder& folder) {
         std::filesystem::remove(folder.Path() + "BLdg128.prg");
     },
     [](const testsupport::TempFolder& folder) { return folder.Path() + "BLdg128.prg is missing"; },
     {}},
    {"MemberSumNotAsIndexed",
     [](progtest::Firmware& f, testsupport::TempFolder&) { f.vgf.back() ^= 1; },
     Fixed("Error in firmware file"),
     {},
     true},
};

INSTANTIATE_TEST_SUITE_P(Files, RefusedFile, ::testing::ValuesIn(kBadFiles),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// Each member read opens the package again; what is wrong with the archive itself is told
// once in each run.
TEST_F(PlantrixRun, DataAfterThePackagesEndIsToldOnceARun) {
    const std::vector<std::string> warning{"Warning - Garbage at the end of the zipfile!"};
    terminals.Start(3);
    firmware = progtest::FirmwareFor(1);
    folder.Write("Data/KX_R0104.vbf", progtest::PackageBytes(firmware) + "trailing text");
    ToConfirmation();
    EXPECT_EQ(RunResult(), "Download success!");
    EXPECT_EQ(messages.Texts(), warning);
    ASSERT_TRUE(terminals.At(3).WaitForRunComplete(std::chrono::seconds(5)));

    messages.boxes.clear();
    Click("But_P3_Cancel");
    Click("But_P1_UpdatePlantrix");
    Click("But_P3_Next");
    Click("But_P3_Next");
    Click("But_P3_Next");
    EXPECT_EQ(RunResult(), "Download success!");
    EXPECT_EQ(messages.Texts(), warning);
}

}  // namespace
