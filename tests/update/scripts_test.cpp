// The installers' scripts as text, and the offers that write and start them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "message_recorder.h"
#include "temp_folder.h"
#include "update/batch_scripts.h"
#include "update/installer_offers.h"
#include "update/shell_scripts.h"

using namespace update;
using i18n::TextId;
using Names = std::vector<std::string>;
using platform::MessageAnswer;
using platform::MessageButtons;

TEST(BatchScripts, LinesAsTheCommandInterpreterRunsThem) {
    EXPECT_EQ(DriverInstallBatch("C:\\P\\Data\\", "ArvexDriver_4.exe"),
              (Names{"@echo off", "start \"\" /wait \"C:\\P\\Data\\ArvexDriver_4.exe\"",
                     "del \"ArvexDriver_*.exe\"", "move \"C:\\P\\Data\\ArvexDriver_4.exe\"",
                     "del InstallDriver.bat"}));
    EXPECT_EQ(SelfUpdateBatch("C:\\P\\Data\\", "ArvexUpdate_106.exe", {"/S", "/T:30"}),
              (Names{"@echo off", "set /A timeout = 0", ":Retry", "set /A timeout += 1",
                     "if %timeout% GTR 100 goto :StopTrying",
                     "xcopy \"C:\\P\\Data\\ArvexUpdate_106.exe\" ArvexUpdate.exe /y",
                     "if errorlevel 4 goto Retry", "goto Finish", ":StopTrying",
                     "echo MsgBox \"Unable to update program due to restricted access.\", 16, "
                     "\"Error message\" > message.vbs",
                     "message.vbs", "del message.vbs", ":Finish",
                     "del \"C:\\P\\Data\\ArvexUpdate_106.exe\"", "start ArvexUpdate.exe /S /T:30",
                     "del Update.bat"}));
    EXPECT_EQ(SelfUpdateBatch("D\\", "N", {}).at(14), "start ArvexUpdate.exe");
}

TEST(BatchScripts, ArgumentsArriveWholeAndExpandNothing) {
    struct Case {
        std::string argument, written;
    } cases[] = {
        {"/T:30", "/T:30"},
        {"with blanks", "\"with blanks\""},
        {"", "\"\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a\\\"b", "\"a\\\\\"\"b\""},          // a backslash before a quote is doubled
        {"C:\\dir x\\", "\"C:\\dir x\\\\\""},  // so is one before the closing quote
        {"C:\\dir\\", "C:\\dir\\"},            // unquoted, backslashes stay single
        {"50%", "50%%"},
        {"a&del x", "\"a&del x\""},
        {"x\r\ndel *", "\"x  del *\""},
    };
    for (const auto& c : cases) EXPECT_EQ(QuoteBatchArgument(c.argument), c.written) << c.argument;
}

TEST(ShellScripts, ArgumentsAreQuotedAndTheScriptsParse) {
    EXPECT_EQ(QuoteShellArgument("/S"), "'/S'");
    EXPECT_EQ(QuoteShellArgument("it's"), "'it'\\''s'");
    EXPECT_EQ(QuoteShellArgument(""), "''");

    const Names update = SelfUpdateShell("/p q/", "/p q/Data/", "ArvexUpdate_106.exe",
                                         "/usr/o'k/ArvexUpdate", {"/S", "a b", "it's"}, 4242);
    EXPECT_EQ(update.front(), "#!/bin/sh");
    EXPECT_EQ(update.at(update.size() - 2), "\"$program\" '/S' 'a b' 'it'\\''s' &");
    EXPECT_EQ(update.back(), "rm -f Update.sh");
    const auto has = [&](const Names& lines, const std::string& part) {
        for (const auto& l : lines)
            if (l.find(part) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has(update, "cd '/p q/' || exit 1"));
    EXPECT_TRUE(has(update, "installer='/p q/Data/ArvexUpdate_106.exe'"));
    EXPECT_TRUE(has(update, "program='/usr/o'\\''k/ArvexUpdate'"));
    // The new version is written beside the program and renamed over it.
    EXPECT_TRUE(has(update,
                    "cp -f \"$installer\" \"$program.new\" && chmod +x \"$program.new\" && "
                    "mv -f \"$program.new\" \"$program\""));
    EXPECT_TRUE(has(update, "kill -0 4242"));
    EXPECT_FALSE(has(SelfUpdateShell("/p/", "/p/Data/", "N", "/p/A", {}, 0), "kill -0"));
    for (const char* tool : {"zenity", "kdialog", "xmessage", ">&2"})
        EXPECT_TRUE(has(update, tool));

    const Names driver = DriverInstallShell("/p/", "/p/Data/", "ArvexDriver_4.exe");
    EXPECT_EQ(driver.back(), "rm -f InstallDriver.sh");

    // Both parse as POSIX sh (dash is strict about it).
    testsupport::TempFolder dir;
    for (const Names* lines : {&update, &driver}) {
        std::string text;
        for (const auto& l : *lines) text += l + "\n";
        dir.Write("s.sh", text);
        EXPECT_EQ(std::system(("/bin/sh -n '" + dir.Path() + "s.sh'").c_str()), 0) << text;
    }
}

class OfferTest : public ::testing::Test {
  protected:
    OfferTest() {
        i18n::SetDefaultTexts(texts);
        program.Write("Data/.keep", "");
    }
    InstallerOffer Offer() {
        InstallerOffer offer{
            {program.Path(), program.Path() + "Data/", program.Path() + "Language/"},
            texts,
            boxes,
            "Solvenda Plantrix Update",
            {"/S", "/T:30"},
            [this](const std::string& path, std::string& error) {
                started.push_back(path);
                error = "refused by the test";
                return startWorks;
            },
            [this] { ++endRequests; }};
        offer.program = {program.Path() + "ArvexUpdate", true};
        return offer;
    }
    Names BoxTexts() const { return boxes.Texts(); }

    testsupport::TempFolder program;
    i18n::TextTable texts;
    testsupport::MessageRecorder boxes;
    Names started;
    bool startWorks = true;
    int endRequests = 0;
};

TEST_F(OfferTest, SelfUpdateOnlyForTheLastInstallerWhenNewer) {
    EXPECT_EQ(OfferSelfUpdate(Offer()), OfferResult::NothingToOffer);
    program.Write("Data/ArvexUpdate_105.exe", "own version");
    EXPECT_EQ(OfferSelfUpdate(Offer()), OfferResult::NothingToOffer);
    program.Write("Data/ArvexUpdate_107.exe", "newer, but listed before _99");
    program.Write("Data/ArvexUpdate_99.exe", "older");
    EXPECT_EQ(OfferSelfUpdate(Offer()), OfferResult::NothingToOffer);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(OfferTest, SelfUpdateAnsweredOkOrCancel) {
    program.Write("Data/ArvexUpdate_106.exe", "new");
    boxes.SetYesNoAnswer(MessageAnswer::No);
    EXPECT_EQ(OfferSelfUpdate(Offer()), OfferResult::Declined);
    EXPECT_EQ(BoxTexts(), (Names{"A new version of this program was found.\nIt will now restart "
                                 "to complete update.",
                                 texts[TextId::AskedAgainNextTime]}));
    EXPECT_EQ(boxes.boxes[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(boxes.boxes[0].caption, "Solvenda Plantrix Update");
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(program.Exists("Update.sh"));

    boxes.boxes.clear();
    boxes.SetYesNoAnswer(MessageAnswer::Yes);
    EXPECT_EQ(OfferSelfUpdate(Offer()), OfferResult::Started);
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(started, Names{program.Path() + "Update.sh"});
    EXPECT_EQ(endRequests, 1);
    const std::string script = program.Read("Update.sh");
    EXPECT_EQ(script.find('\r'), std::string::npos);
    EXPECT_NE(script.find("\nprogram='" + program.Path() + "ArvexUpdate'\n"), std::string::npos)
        << script;
    EXPECT_NE(script.find("\n\"$program\" '/S' '/T:30' &\n"), std::string::npos) << script;
}

// A copy the user cannot replace (an installed one) is never asked about a newer version,
// whether it waits in DataDir or the check left it on the server: one box tells why.
TEST_F(OfferTest, ACopyThatCannotBeReplacedLeavesTheUpdateToThePackageManager) {
    struct Case {
        const char* what;
        const char* inData;  // a program installer in DataDir, or none
        std::string notFetched;
        OfferResult result;
        const char* named;  // the installer the box names
    } cases[] = {
        {"NothingNewer", "ArvexUpdate_105.exe", "", OfferResult::NothingToOffer, nullptr},
        {"LeftOnTheServer", nullptr, "ArvexUpdate_107.exe", OfferResult::Declined,
         "ArvexUpdate_107.exe"},
        {"WaitingInData", "ArvexUpdate_106.exe", "", OfferResult::Declined, "ArvexUpdate_106.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempFolder fresh;
        fresh.Write("Data/.keep", "");
        if (c.inData) fresh.Write(std::string("Data/") + c.inData, "new");
        boxes.boxes.clear();
        InstallerOffer offer = Offer();
        offer.folders = {fresh.Path(), fresh.Path() + "Data/", fresh.Path() + "Language/"};
        offer.program = {"/usr/lib/arvexupdate/ArvexUpdate", false};
        offer.programNotFetched = c.notFetched;
        EXPECT_EQ(OfferSelfUpdate(offer), c.result);
        if (c.named) {
            EXPECT_EQ(BoxTexts(), Names{"A newer version of this program is on the server (" +
                                        std::string(c.named) +
                                        ").\nThis copy cannot replace its own file in "
                                        "/usr/lib/arvexupdate: the package manager updates it."});
            EXPECT_EQ(boxes.boxes[0].buttons, MessageButtons::Ok);
        } else {
            EXPECT_TRUE(boxes.boxes.empty());
        }
        EXPECT_TRUE(started.empty());
        EXPECT_EQ(endRequests, 0);
        EXPECT_FALSE(fresh.Exists("Update.sh"));
        if (c.inData) {
            EXPECT_TRUE(fresh.Exists(std::string("Data/") + c.inData));
        }
    }
}

// Replaceable means: an absolute file path in a folder this user may write.
TEST(ProgramFile, ReplaceableWhereItsFolderIsWritable) {
    testsupport::TempFolder dir;
    dir.Write("file", "");
    const struct {
        std::string path;
        bool replaceable;
    } cases[] = {
        {dir.Path() + "ArvexUpdate", true},
        {dir.Path() + "missing/ArvexUpdate", false},
        {dir.Path() + "file/ArvexUpdate", false},  // its "folder" is a file
        {dir.Path(), false},                       // a folder is no program file
        {"ArvexUpdate", false},                    // relative: nobody knows where
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgramFileAt(c.path).replaceable, c.replaceable) << c.path;
        EXPECT_EQ(ProgramFileAt(c.path).path, c.path);
    }
    const ProgramFile running = RunningProgramFile();
    EXPECT_TRUE(running.path.ends_with("/test_update")) << running.path;
    EXPECT_TRUE(running.replaceable);  // the build folder
}

TEST_F(OfferTest, DriverAnsweredYesOrNo) {
    program.Write("ArvexDriver_3.exe", "installed");
    program.Write("Data/ArvexDriver_3.exe", "same version");
    EXPECT_EQ(OfferDriverInstall(Offer()), OfferResult::NothingToOffer);
    program.Write("Data/ArvexDriver_4.exe", "new");

    boxes.SetYesNoAnswer(MessageAnswer::No);
    EXPECT_EQ(OfferDriverInstall(Offer()), OfferResult::Declined);
    EXPECT_EQ(BoxTexts(), (Names{"A new driver version has been downloaded.\nInstall it now?",
                                 texts[TextId::AskedAgainNextTime]}));
    EXPECT_EQ(boxes.boxes[0].buttons, MessageButtons::YesNo);

    boxes.SetYesNoAnswer(MessageAnswer::Yes);
    EXPECT_EQ(OfferDriverInstall(Offer()), OfferResult::Started);
    EXPECT_EQ(started, Names{program.Path() + "InstallDriver.sh"});
    EXPECT_EQ(endRequests, 0);
    EXPECT_NE(program.Read("InstallDriver.sh").find("ArvexDriver_4.exe"), std::string::npos);
}

TEST_F(OfferTest, AScriptThatCannotBeStartedOrWrittenIsReportedAndEndsNothing) {
    program.Write("Data/ArvexUpdate_106.exe", "new");
    startWorks = false;
    EXPECT_EQ(OfferSelfUpdate(Offer()), OfferResult::Failed);
    EXPECT_EQ(BoxTexts().back(),
              "Cannot start \"" + program.Path() + "Update.sh\": refused by the test");
    EXPECT_FALSE(program.Exists("Update.sh"));
    EXPECT_EQ(endRequests, 0);

    startWorks = true;
    InstallerOffer offer = Offer();
    offer.folders.programDir = program.Path() + "missing/";
    EXPECT_EQ(OfferSelfUpdate(offer), OfferResult::Failed);
    EXPECT_EQ(BoxTexts().back(), "Cannot create file \"" + program.Path() + "missing/Update.sh\".");
    EXPECT_EQ(started.size(), 1u);
    EXPECT_EQ(endRequests, 0);
}
