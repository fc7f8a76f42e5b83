// Loading the engine: where it is found, which versions and exports are accepted, how its
// results are turned into messages, and what it may ask through the callback.
#include <cstdlib>

#include "reader_fixture.h"

using ziptest::ZipBuilder;

namespace {

class FakeEngineMode {
public:
    explicit FakeEngineMode(const std::string& mode) { ::setenv("ARVEX_FAKE_ENGINE", mode.c_str(), 1); }
    ~FakeEngineMode() { ::unsetenv("ARVEX_FAKE_ENGINE"); }
};

}  // namespace

class EngineTest : public ReaderTest {
protected:
    EngineTest() {
        ZipBuilder zip;
        zip.AddFile("FW.vif", "0123456789abcdef");
        Open(zip);
    }
};

TEST_F(EngineTest, MissingEngineIsReportedAndTheReaderStaysUsable) {
    RemoveEngine();
    EXPECT_EQ(reader.ExtractToMemory("FW.vif"), nullptr);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Failed to load ZipEngine.so"}));
    EXPECT_EQ(reader.ErrCode(), 10650);
    EXPECT_FALSE(reader.Busy());
    InstallEngine();
    EXPECT_NE(reader.ExtractToMemory("FW.vif"), nullptr);
}

TEST_F(EngineTest, EngineOutsideTheVersionWindowOrIncompleteIsRefused) {
    for (const char* built : {"FakeEngineV178.so", "FakeEngineV301.so", "FakeEngineNoAbort.so"}) {
        SCOPED_TRACE(built);
        boxes.boxes.clear();
        InstallEngine(built);
        EXPECT_EQ(reader.ExtractToMemory("FW.vif"), nullptr);
        EXPECT_EQ(boxes.Texts(),
                  (std::vector<std::string>{"Unable to load ZipEngine.so - It is old or corrupt"}));
        EXPECT_EQ(reader.ErrCode(), 10651);
    }
    InstallEngine("FakeEngine.so");
    EXPECT_EQ(reader.EngineVersion(), 200);
    InstallEngine();
    EXPECT_EQ(reader.EngineVersion(), 190);
}

TEST_F(EngineTest, EngineInDllDirectoryIsPreferredAndAMissingOneFallsBack) {
    InstallEngine("FakeEngine.so", "engines");
    reader.settings.dllDirectory = "./engines";
    EXPECT_EQ(reader.EngineVersion(), 200);
    reader.settings.dllDirectory = "./nowhere";
    EXPECT_EQ(reader.EngineVersion(), 190);
}

TEST_F(EngineTest, EngineIsUnloadedAfterEachExtractionUnlessKeptLoaded) {
    reader.settings.verbose = true;
    ASSERT_NE(reader.ExtractToMemory("FW.vif"), nullptr);
    std::vector<std::string> progress;
    for (const auto& h : heard)
        if (h.code == 0) progress.push_back(h.text.substr(0, h.text.find(' ')));
    EXPECT_EQ(progress, (std::vector<std::string>{"Loaded", "Unloaded"}));

    heard.clear();
    reader.SetDll_Load(true);
    ASSERT_NE(reader.ExtractToMemory("FW.vif"), nullptr);
    ASSERT_NE(reader.ExtractToMemory("FW.vif"), nullptr);
    EXPECT_EQ(heard.size(), 1u);  // loaded once, still loaded
    reader.SetDll_Load(false);
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[1].text.rfind("Unloaded ", 0), 0u);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(EngineTest, EngineResultsBecomeTheirMessages) {
    InstallEngine("FakeEngine.so");
    const std::pair<const char*, const char*> cases[] = {
        {"-1", "DLL Error - User Cancelled"},
        {"-2", "DLL Error - Aborting"},
        {"-3", "DLL Error - Exception in handler "},
        {"-4", "DLL Error - Not enough memory"},
        {"-5", "DLL Error - Invalid structure"},
        {"-42", "critical DLL Error -42"},
        {"throw", "critical DLL Error -7"},
    };
    for (const auto& [mode, text] : cases) {
        SCOPED_TRACE(mode);
        boxes.boxes.clear();
        FakeEngineMode m(mode);
        EXPECT_EQ(reader.ExtractToMemory("FW.vif"), nullptr);
        EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{text}));
    }
    // Anything but exactly one member extracted gives nothing, silently.
    for (const char* mode : {"0", "2"}) {
        boxes.boxes.clear();
        FakeEngineMode m(mode);
        EXPECT_EQ(reader.ExtractToMemory("FW.vif"), nullptr) << mode;
        EXPECT_TRUE(boxes.boxes.empty()) << mode;
    }
}

TEST_F(EngineTest, EngineOutputPassesOnlyWhenItIsTheEntryAskedFor) {
    InstallEngine("FakeEngine.so");
    const std::pair<const char*, bool> cases[] = {
        {"write:0123456789abcdef", true},
        {"write:0123456789abcdeF", false},           // another member of the same size
        {"write:0123456789abcdef and more", false},  // a block resized through the callback
        {"write:", false},
    };
    for (const auto& [mode, passes] : cases) {
        SCOPED_TRACE(mode);
        boxes.boxes.clear();
        FakeEngineMode m(mode);
        ziparchive::TZipStream* s = reader.ExtractToMemory("FW.vif");
        ASSERT_EQ(s != nullptr, passes);
        if (passes) {
            EXPECT_EQ(s->View(), "0123456789abcdef");
        }
        EXPECT_EQ(boxes.Texts(), passes
                                     ? std::vector<std::string>{}
                                     : std::vector<std::string>{"DLL Error - Invalid structure"});
    }
}

TEST_F(EngineTest, PasswordRequestIsRefusedWithAMessage) {
    InstallEngine("FakeEngine.so");
    FakeEngineMode m("password");
    EXPECT_EQ(reader.ExtractToMemory("FW.vif"), nullptr);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"Error - no extract password given",
                                                       "DLL Error - User Cancelled"}));
}
