// The demo tree and the program agree: the program's own package, S-record, image,
// firmware-choice, download and language functions read what the generator wrote. And the
// generator rewrites only a tree of its own, only when its content changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <set>

#include "archive/zip_reader.h"
#include "demo_test_support.h"
#include "device/bootloader_frames.h"
#include "device/firmware_lists.h"
#include "device/firmware_names.h"
#include "device/firmware_package.h"
#include "device/granulo_image.h"
#include "device/srecord.h"
#include "device/tessara_image.h"
#include "i18n/language_file.h"
#include "i18n/language_folder.h"
#include "i18n/text_table.h"
#include "message_recorder.h"
#include "platform/files.h"
#include "platform/folder_listing.h"
#include "temp_folder.h"
#include "update/file_rules.h"

namespace fs = std::filesystem;
using namespace demotest;

namespace {

// The byte sum of an S-record line from its count to its checksum is 0xFF: read from the
// text here, not by the program's reader.
bool ChecksumIsRight(const std::string& line) {
    if (line.size() < 4 || line.size() % 2 != 0) return false;
    unsigned sum = 0;
    for (size_t i = 2; i < line.size(); i += 2) sum += std::stoul(line.substr(i, 2), nullptr, 16);
    return (sum & 0xFF) == 0xFF;
}

struct SRecordCheck {
    size_t dataRecords = 0;
    size_t insideWindow = 0;
    bool endsWithEndRecord = false;
    std::string fault;  // the first line that is not a good record
};

// Every line a well-formed record with its checksum; the data records counted by whether
// the program would send them to a terminal of `hardwareCode`, and built as it builds them.
SRecordCheck CheckRecords(const std::vector<std::string>& lines, uint8_t hardwareCode = 0) {
    SRecordCheck check;
    const auto window = device::FlashWindowFor(hardwareCode);
    for (const std::string& line : lines) {
        const auto record = device::ReadSRecordLine(line);
        if (!record || !ChecksumIsRight(line) || check.endsWithEndRecord) {
            if (check.fault.empty()) check.fault = line;
            continue;
        }
        if (record->type == '8' || record->type == '9') check.endsWithEndRecord = true;
        if (record->type != '1' && record->type != '2') continue;
        ++check.dataRecords;
        if (window && window->Holds(record->address)) {
            ++check.insideWindow;
            if (!std::holds_alternative<device::Frame>(device::BuildFlashRecord(*record)) &&
                check.fault.empty())
                check.fault = line;
        }
    }
    return check;
}

class DemoTree : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<testsupport::TempFolder>();
        const testsupport::RunResult made = MakeTree(Tree());
        ASSERT_EQ(made.status, 0) << made.output;
    }
    static void TearDownTestSuite() { folder_.reset(); }
    static std::string Tree() { return folder_->Path() + "tree/"; }
    static std::string UpdateFiles() { return Tree() + "UpdateFiles/"; }
    static std::string ProgramFiles() { return Tree() + "ProgramFiles/"; }

    std::vector<std::string> MemberLines(const std::string& package, const std::string& ext) {
        ziparchive::TZipStream* stream = device::LoadZIP(reader, UpdateFiles() + package, ext);
        if (stream == nullptr) return {};
        std::string bytes(static_cast<size_t>(stream->Size()), '\0');
        stream->Read(bytes.data(), bytes.size());
        return platform::SplitLines(bytes);
    }

    // The archive reader loads the engine from the working directory: the one the tree
    // serves as a program file.
    testsupport::WorkingDirectory cwd{ProgramFiles()};
    testsupport::MessageRecorder boxes;
    ziparchive::TZipReader reader;

    static std::unique_ptr<testsupport::TempFolder> folder_;
};

std::unique_ptr<testsupport::TempFolder> DemoTree::folder_;

TEST_F(DemoTree, EveryFirmwarePackageIsReadWithItsSumsAndFitsItsHardware) {
    reader.SetMessageSink(&boxes);
    const auto packages = platform::ListFiles(UpdateFiles(), "*.vbf");
    ASSERT_GE(packages.size(), 6u);
    for (const std::string& name : packages) {
        SCOPED_TRACE(name);
        const std::string path = UpdateFiles() + name;
        const auto index = device::ReadPackageIndex(reader, path);
        ASSERT_TRUE(index.has_value());
        EXPECT_FALSE(device::ReadCheckedMember(reader, path, "vgf", index->vgfSum).empty());
        EXPECT_FALSE(device::ReadCheckedMember(reader, path, "vtf", index->vtfSum).empty());
        EXPECT_FALSE(device::ReadCheckedMember(reader, path, "s19", index->s19Sum).empty());

        const uint8_t code = device::IsS12File(name) ? 3 : 1;
        const SRecordCheck records = CheckRecords(MemberLines(name, "s19"), code);
        EXPECT_EQ(records.fault, "");
        EXPECT_TRUE(records.endsWithEndRecord);
        // Enough to watch the progress bar move at 19200 baud, and all of it programmed
        // but what lies outside the window on purpose.
        EXPECT_GE(records.insideWindow, 100u);
        EXPECT_LE(records.dataRecords - records.insideWindow, 2u);
    }
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Texts().front();
}

TEST_F(DemoTree, EachHardwareFamilyHasTwoMachineTypesWithReleasesAndTestReleases) {
    for (const bool s12 : {false, true}) {
        SCOPED_TRACE(s12 ? "hardware code 3" : "hardware codes 1 and 2");
        const auto types = device::FillMachineTypes(UpdateFiles(), false, s12).machineTypes;
        ASSERT_GE(types.size(), 2u);
        bool testRelease = false;
        for (const std::string& type : types) {
            SCOPED_TRACE(type);
            EXPECT_NE(device::FindNewestFirmware(UpdateFiles(), type, "*.vbf", s12), "");
            for (const auto& file :
                 device::FillReleases(UpdateFiles(), type, "*.vbf", s12).fileNames)
                testRelease = testRelease || device::IsTestRelease(file);
        }
        EXPECT_TRUE(testRelease);
    }
    // The Tessara wizard's own machine type, with a release and a test release.
    const auto tessara = device::FillReleases(UpdateFiles(), "Tessara", "*.b12", false);
    EXPECT_NE(device::FindNewestFirmware(UpdateFiles(), "Tessara", "*.b12", false), "");
    EXPECT_TRUE(
        std::any_of(tessara.fileNames.begin(), tessara.fileNames.end(), device::IsTestRelease));
}

TEST_F(DemoTree, AnUpdateCheckWantsEveryFileButTheInstallerWhichIsNotNewer) {
    update::WantedRules rules;
    rules.folders = {folder_->Path() + "program/", folder_->Path() + "program/Data/",
                     folder_->Path() + "program/Language/"};
    for (const std::string& name : platform::ListFiles(UpdateFiles(), "*")) {
        SCOPED_TRACE(name);
        const bool installer = name.ends_with(".exe");
        for (const bool service : {false, true}) {
            rules.serviceMode = service;
            const bool wanted = !installer && (service || !device::IsTestRelease(name));
            EXPECT_EQ(update::IsWantedFile(name, rules),
                      wanted ? update::Wanted::Yes : update::Wanted::No);
        }
        // A newer installer would replace the demo's program with this placeholder.
        if (installer) {
            EXPECT_EQ(update::IsNewerProgram(name), false);
        }
    }
    EXPECT_EQ(platform::ListFiles(UpdateFiles(), "ArvexUpdate_*.exe").size(), 1u);
}

TEST_F(DemoTree, ProgramFilesHoldTheEngineAndABootloaderForEveryHardware) {
    const auto engine = platform::ReadFileBytes(ProgramFiles() + "ZipEngine.so");
    ASSERT_TRUE(engine);
    EXPECT_EQ(engine, platform::ReadFileBytes(BuildDir() + "/ZipEngine.so"));

    std::set<std::string> loaders = {"BLaz60A.prg"};  // the Granulo run's
    for (const uint8_t code : {1, 2, 3})
        loaders.insert(std::string(*device::BootloaderFileFor(code)));
    for (const std::string& name : loaders) {
        SCOPED_TRACE(name);
        const auto lines = platform::ReadTextLines(ProgramFiles() + name);
        ASSERT_TRUE(lines);
        const SRecordCheck records = CheckRecords(*lines);
        EXPECT_EQ(records.fault, "");
        EXPECT_TRUE(records.endsWithEndRecord);
        EXPECT_GE(records.dataRecords, 10u);
        EXPECT_EQ(device::RecordTypeOf(lines->back()), '9');  // the loader's start request
    }
    EXPECT_EQ(platform::ListFiles(ProgramFiles(), "*").size(), loaders.size() + 1);
}

TEST_F(DemoTree, TessaraAndGranuloImagesAreBuiltFromTheirFiles) {
    reader.SetMessageSink(&boxes);
    for (const std::string& name : platform::ListFiles(UpdateFiles(), "*.b12")) {
        SCOPED_TRACE(name);
        const auto lines = platform::ReadTextLines(UpdateFiles() + name);
        ASSERT_TRUE(lines);
        EXPECT_EQ(CheckRecords(*lines).fault, "");
        const auto image = device::BuildTessaraImage(*lines);
        ASSERT_TRUE(std::holds_alternative<device::FlashImage>(image));
        EXPECT_GE(std::get<device::FlashImage>(image).dataBlocks.size(), 64u);
    }
    const std::string granulo = UpdateFiles() + "Granulo_R01_04.bbf";
    EXPECT_EQ(device::ReadS19Head(reader, granulo, "s19"), "S00");
    const auto lines = MemberLines("Granulo_R01_04.bbf", "s19");
    EXPECT_EQ(CheckRecords(lines).fault, "");
    const auto image = device::BuildGranuloImage(lines);
    ASSERT_TRUE(std::holds_alternative<device::FlashImage>(image));
    EXPECT_GE(std::get<device::FlashImage>(image).dataBlocks.size(), 32u);
}

TEST_F(DemoTree, LanguageFilesHoldEveryTextAndReadAsTheProgramReadsThem) {
    EXPECT_EQ(i18n::LanguageNames(UpdateFiles()), (std::vector<std::string>{"Deutsch", "English"}));

    i18n::TextTable english;
    i18n::SetDefaultTexts(english);
    const auto englishLines = i18n::ReadLanguageFileLines(UpdateFiles() + "English_1.lan");
    ASSERT_TRUE(englishLines);
    const i18n::LanguageFile en = i18n::ParseLanguageFile(*englishLines);
    ASSERT_EQ(en.status, i18n::LanguageFile::Status::Ok);
    EXPECT_EQ(en.name, "English");
    ASSERT_EQ(en.texts.size(), static_cast<size_t>(i18n::kLastBuiltInText));
    for (const auto& [key, text] : en.texts) EXPECT_EQ(text, english[key]) << "text " << key;

    const auto germanFiles = platform::ListFiles(UpdateFiles(), "Deutsch_*.lan");
    ASSERT_EQ(germanFiles.size(), 1u);
    const auto germanLines = i18n::ReadLanguageFileLines(UpdateFiles() + germanFiles[0]);
    ASSERT_TRUE(germanLines);
    const i18n::LanguageFile de = i18n::ParseLanguageFile(*germanLines);
    ASSERT_EQ(de.status, i18n::LanguageFile::Status::Ok);
    EXPECT_EQ(de.name, "Deutsch");
    std::set<int> keys;
    for (const auto& [key, text] : de.texts) {
        keys.insert(key);
        // Only the blank line between texts 16 and 18 is empty, as in English.
        EXPECT_EQ(text.empty(), english[key].empty()) << "text " << key;
    }
    EXPECT_EQ(keys.size(), static_cast<size_t>(i18n::kLastBuiltInText));
    EXPECT_EQ(*keys.rbegin(), i18n::kLastBuiltInText);
    // Written in the 8-bit code page, read back as the same letters.
    const auto text30 =
        std::find_if(de.texts.begin(), de.texts.end(), [](const auto& t) { return t.first == 30; });
    ASSERT_NE(text30, de.texts.end());
    EXPECT_EQ(text30->second,
              "\xC3\x9C"
              "bertragung erfolgreich!");
}

// Regenerating: what the generator leaves alone and what it takes back.
TEST(DemoTreeGenerator, RewritesOnlyItsOwnTreeAndOnlyWhenItsContentChanged) {
    testsupport::TempFolder folder;
    const std::string tree = folder.Path() + "tree";
    ASSERT_EQ(MakeTree(tree).status, 0);
    struct stat before {};
    ASSERT_EQ(::stat((tree + "/UpdateFiles/English_1.lan").c_str(), &before), 0);

    // Unchanged: nothing is written.
    testsupport::RunResult again = MakeTree(tree);
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.output.find("up to date"), std::string::npos) << again.output;
    struct stat after {};
    ASSERT_EQ(::stat((tree + "/UpdateFiles/English_1.lan").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);

    // Another content version (a stale stamp): the served folders are made anew, a stray
    // file goes, a link goes without what it points to, the sign-ups stay.
    folder.Write("tree/.demo-tree", "an older content\n");
    folder.Write("tree/UpdateFiles/Stray_R0001.vbf", "stray");
    folder.Write("tree/Registration/Name_a@b.c", "");
    folder.Write("outside/keep.txt", "keep");
    fs::remove_all(tree + "/ProgramFiles");
    fs::create_directory_symlink(folder.Path() + "outside", tree + "/ProgramFiles");
    again = MakeTree(tree);
    EXPECT_EQ(again.status, 0) << again.output;
    EXPECT_NE(again.output.find("generated"), std::string::npos) << again.output;
    EXPECT_FALSE(folder.Exists("tree/UpdateFiles/Stray_R0001.vbf"));
    EXPECT_TRUE(folder.Exists("tree/UpdateFiles/English_1.lan"));
    EXPECT_TRUE(folder.Exists("tree/Registration/Name_a@b.c"));
    EXPECT_FALSE(fs::is_symlink(tree + "/ProgramFiles"));
    EXPECT_TRUE(folder.Exists("tree/ProgramFiles/ZipEngine.so"));
    EXPECT_EQ(folder.Read("outside/keep.txt"), "keep");
    EXPECT_FALSE(folder.Exists("outside/ZipEngine.so"));

    // A folder that is not a demo tree, or a link to one, is refused and left as it was.
    folder.Write("home/notes.txt", "mine");
    const testsupport::RunResult foreign = MakeTree(folder.Path() + "home");
    EXPECT_EQ(foreign.status, 1);
    EXPECT_NE(foreign.output.find("holds no demo tree"), std::string::npos) << foreign.output;
    EXPECT_EQ(fs::directory_iterator(folder.Path() + "home")->path().filename(), "notes.txt");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path() + "home"), {}), 1);
    fs::create_directory_symlink(tree, folder.Path() + "link");
    EXPECT_EQ(MakeTree(folder.Path() + "link").status, 1);
}

}  // namespace
