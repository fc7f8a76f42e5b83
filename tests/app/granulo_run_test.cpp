// Granulo runs through the window's handler against a simulated terminal in Granulo mode:
// the image the terminal is left with and the message boxes that tell the result.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "programming_fixture.h"
#include "zip_builder.h"

namespace {

using progtest::Bytes;
using progtest::Placed;
using termsim::FrameKind;
using termsim::SimOptions;

constexpr uint32_t kImageSize = 0xF080;
constexpr uint32_t kChecksumAt = 0xF040;
const std::string kSuccess = "Download success!";

std::string ErrorText(const std::string& suffix) {
    return "An error occured!\nError code:" + suffix;
}

struct Piece {
    uint32_t address;
    std::size_t size;
    std::optional<uint32_t> offset;  // address - 0x0580 where the image holds it
};

const Piece kPieces[] = {
    {0x0500, 16, std::nullopt},  // below the image
    {0x0580, 64, 0x0000},        // block 0, summed
    {0x0600, 16, 0x0080},        // left out of the sum
    {0x2000, 100, 0x1A80},       // two blocks
    {0xF5F0, 16, 0xF070},        // the last block, beside the checksum
};

struct GranuloPackage {
    std::vector<std::string> lines;
    Bytes image;
};

GranuloPackage MakePackage() {
    GranuloPackage p;
    std::vector<Placed> placed;
    p.lines.push_back("S00600004844521B");
    for (const Piece& piece : kPieces) {
        const Bytes data = progtest::Pattern(piece.size, static_cast<int>(piece.address));
        for (const std::string& line : progtest::Records('1', piece.address, data, 32))
            p.lines.push_back(line);
        if (piece.offset) placed.push_back({*piece.offset, data});
    }
    p.lines.push_back("S9030000FC");
    p.image = progtest::ExpectedImage(
        kImageSize, placed,
        [](uint32_t at) { return at < 0x80 || (at >= 0x880 && at < kChecksumAt); }, kChecksumAt);
    return p;
}

struct GranuloCase {
    const char* name;
    uint8_t hardwareCode;
    std::function<void(SimOptions&)> faults;
    // Changes the lines of the package before it is written, or the program folder.
    std::function<void(std::vector<std::string>&, testsupport::TempFolder&)> spoil;
    std::function<std::vector<std::string>(const testsupport::TempFolder&)> boxes;
    bool sendsBeyondSearch;
    friend void PrintTo(const GranuloCase& c, std::ostream* os) { *os << c.name; }
};

class GranuloRun : public testsupport::ProgrammingTest,
                   public ::testing::WithParamInterface<GranuloCase> {
  protected:
    void SetUp() override {
        ProgrammingTest::SetUp();
        ASSERT_TRUE(
            platform::WriteTextLines(folder.Path() + "BLaz60A.prg", progtest::LoaderLines()));
    }
};

TEST_P(GranuloRun, ShowsItsResultInABox) {
    const GranuloCase& c = GetParam();
    terminals.Start(3, [&](SimOptions& o) {
        o.model.mode = termsim::SimMode::Granulo;
        o.model.hardwareCode = c.hardwareCode;
        if (c.faults) c.faults(o);
    });
    GranuloPackage package = MakePackage();
    std::vector<std::string> lines = package.lines;
    if (c.spoil) c.spoil(lines, folder);
    if (!lines.empty()) {
        std::string text;
        for (const std::string& line : lines) text += line + "\r\n";
        folder.Write("Data/Granulo_R01_04.bbf",
                     ziptest::ZipBuilder().AddFile("GRANULO.s19", text).Build());
    }
    Start();
    form->But_P1_UpdatePlantrixGranuloClick();
    EXPECT_EQ(messages.Texts(), c.boxes(folder));
    EXPECT_FALSE(Shown("ProgressBar1"));

    const termsim::SimResults r = terminals.At(3).Results();
    if (!c.sendsBeyondSearch) {
        EXPECT_EQ(r.Count(FrameKind::Identify), r.frames.size()) << "frames beyond the search";
    }
    if (c.boxes(folder).back() == kSuccess) {
        ASSERT_TRUE(terminals.At(3).WaitForRunComplete(std::chrono::seconds(5)));
        const termsim::SimResults done = terminals.At(3).Results();
        EXPECT_EQ(done.ramLoader.Read(0, 64), progtest::LoaderData());
        EXPECT_TRUE(done.granuloImage == package.image);
        // The port is left open after the run; the next search or the wizard closes it.
        EXPECT_TRUE(form->ComPort.Open());
    }
}

std::vector<std::string> Boxes(std::vector<std::string> texts) { return texts; }
auto Fixed(std::vector<std::string> texts) {
    return [texts](const testsupport::TempFolder&) { return texts; };
}

const GranuloCase kCases[] = {
    {"HardwareCode1", 1, {}, {}, Fixed({kSuccess}), true},
    {"BlockRefused20Times",
     1,
     [](SimOptions& o) {
         o.model.faults.refusals = {{FrameKind::GranuloBlock, 2, 20}};
     },
     {},
     Fixed({kSuccess}),
     true},
    {"BlockRefused21Times",
     1,
     [](SimOptions& o) {
         o.model.faults.refusals = {{FrameKind::GranuloBlock, 2, 21}};
     },
     {},
     Fixed({"Communication checksum error", ErrorText(" sendS19")}),
     true},
    {"NoEAfterTheLoader",
     1,
     [](SimOptions& o) { o.model.faults.noFlashReady = true; },
     {},
     Fixed({"Error erasing flash"}),
     true},
    {"LoaderRefusedForEver",
     1,
     [](SimOptions& o) {
         o.model.faults.refusals = {{FrameKind::LoadRecord, 1, 0}};
     },
     {},
     Fixed({"Communication checksum error", ErrorText(" Error sending bootloader to RAM")}),
     true},
    {"HardwareCode2",
     2,
     {},
     {},
     Fixed({"Could not program connected device. Error in hardware code"}),
     false},
    {"BootloaderMissing",
     1,
     {},
     [](std::vector<std::string>&, testsupport::TempFolder& folder) {
         std::filesystem::remove(folder.Path() + "BLaz60A.prg");
     },
     [](const testsupport::TempFolder& folder) {
         return Boxes({folder.Path() + "BLaz60A.prgis missing"});
     },
     false},
    {"PackageMissing",
     1,
     {},
     [](std::vector<std::string>& lines, testsupport::TempFolder&) { lines.clear(); },
     Fixed({"LoadZIP error", "Error in firmware file"}),
     false},
    {"NotAGranuloPackage",
     1,
     {},
     [](std::vector<std::string>& lines, testsupport::TempFolder&) { lines.erase(lines.begin()); },
     Fixed({"Error in firmware file"}),
     false},
    {"S2Line",
     1,
     {},
     [](std::vector<std::string>& lines, testsupport::TempFolder&) {
         lines.insert(lines.begin() + 2, "S2080010000102030468");
     },
     Fixed({"Error in s19 file", ErrorText(" sendS19")}),
     false},
    {"NoEndRecord",
     1,
     {},
     [](std::vector<std::string>& lines, testsupport::TempFolder&) { lines.pop_back(); },
     Fixed({"Error in s19 file", ErrorText(" sendS19")}),
     false},
    {"LoaderWithoutS9",
     1,
     {},
     [](std::vector<std::string>&, testsupport::TempFolder& folder) {
         std::vector<std::string> loader = progtest::LoaderLines();
         loader.pop_back();
         ASSERT_TRUE(platform::WriteTextLines(folder.Path() + "BLaz60A.prg", loader));
     },
     Fixed({"Error in s19 file", ErrorText(" Error sending bootloader to RAM")}),
     false},
    {"NonHexDigitInARecord",
     1,
     {},
     [](std::vector<std::string>& lines, testsupport::TempFolder&) { lines[3][12] = 'Q'; },
     Fixed({"Error in s19 file", ErrorText(" sendS19")}),
     false},
};

INSTANTIATE_TEST_SUITE_P(Cases, GranuloRun, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
