// The update check when things go wrong, through the window: every failure ends in
// bounded time with "Finish", reaches the screen once, and leaves the local files whole.
// The scripted server plays what a real server seldom does; pyftpdlib serves the rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "platform/message_box.h"
#include "reader_fixture.h"
#include "scripted_ftp_server.h"
#include "server_window_fixture.h"

namespace {

using namespace ftptest::play;
using app::WizardStep;
using Lines = std::vector<std::string>;
using namespace testsupport::status;
using Steps = std::vector<ftptest::Step>;

// A retrieve of `name` up to the RETR, SIZE answered with `size`.
Steps Retrieve(const std::string& name, const std::string& size = "502 No SIZE\r\n") {
    return {
        Expect("TYPE I"), Send("200 OK\r\n"),    Expect("SIZE " + name), Send(size), Expect("PASV"),
        Pasv(),           Expect("RETR " + name)};
}

// A later retrieve on the same connection: the server has the type already.
Steps NextRetrieve(const std::string& name) {
    const Steps all = Retrieve(name);
    return {all.begin() + 2, all.end()};
}

Steps Fetched(const std::string& bytes) {
    return {Send("150 Here\r\n"), AcceptData(), SendData(bytes), CloseData(), Send("226 Done\r\n")};
}

const Steps kQuit = {Expect("QUIT"), Send("221 Bye\r\n"), Drop()};

class UpdateCheckFailures : public testsupport::ServerWindowTest {
  protected:
    void RunCheck() {
        Click("But_P1_Update");
        Click("But_P3_Next");
        EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    }
    // Ticks of the unattended checks by hand, each giving the step it leads to.
    int Tick() {
        form->Timer_AutoUpdate.Tick();
        return form->AutoUpdateStep;
    }
};

// No connection, or one that ends before the login: said at once, the same unattended.
TEST_F(UpdateCheckFailures, NoNetworkSaysSoAndFinishes) {
    struct Case {
        const char* what;
        std::optional<Steps> script;  // none: nothing listens
        bool unattended = false;
    };
    const Case cases[] = {
        {"nothing listens", std::nullopt},
        {"nothing listens, unattended", std::nullopt, true},
        {"closed right after the accept", Steps{Drop()}},
        {"closed at PASS",
         Steps{Send("220 Hi\r\n"), Expect("USER"), Send("331 Pw\r\n"), Expect("PASS"), Drop()}},
    };
    InstallRequiredFiles();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::optional<ftptest::ScriptedFtpServer> server;
        if (c.script) {
            server.emplace(*c.script);
            PointAt(server->Port());
        } else {
            serverAddress.reset();  // the fixture's refusing address
        }
        messages.boxes.clear();
        app::TForm1& w = StartWindow({"/T:15"});
        w.Timer_AutoUpdate.SetEnabled(false);
        if (c.unattended) {
            w.AutoUpdateStep = 1;
            Tick();
            EXPECT_EQ(Tick(), 3);
            EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
        } else {
            RunCheck();
        }
        EXPECT_EQ(StatusLines(), (Lines{kConnecting, kCouldNotConnect}));
        EXPECT_TRUE(messages.boxes.empty());
        EXPECT_FALSE(w.FTPclient.IsActive());
        if (c.unattended) EXPECT_EQ(Tick(), 2000);
    }
}

struct FailureCase {
    const char* what;
    Steps script;  // after the login
    Lines log;     // after "Connecting to server..."
    Lines boxes;
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.what; }

class ServerFailures : public UpdateCheckFailures,
                       public ::testing::WithParamInterface<FailureCase> {};

// Each failure, with no retry left: one box, the check logged out and finished, QUIT at
// most once, and the failed download not under its name.
TEST_P(ServerFailures, EndTheCheckWithOneMessage) {
    const FailureCase& c = GetParam();
    ftptest::ScriptedFtpServer server(Login() + c.script);
    InstallRequiredFiles();
    PointAt(server.Port());
    app::TForm1& w = StartWindow();
    w.SetDownloadRetryPauses({});
    RunCheck();
    Lines log{kConnecting};
    log.insert(log.end(), c.log.begin(), c.log.end());
    EXPECT_EQ(StatusLines(), log);
    EXPECT_EQ(messages.Texts(), c.boxes);
    EXPECT_TRY(!w.FTPclient.IsActive());
    EXPECT_EQ(server.Failure(), "");
    const Lines sent = server.Commands();
    EXPECT_LE(std::count(sent.begin(), sent.end(), "QUIT"), 1);
    EXPECT_FALSE(folder.Exists("Data/a.vbf"));
}

const std::string kRefusedA = "File \"a.vbf\" could not be fetched: 550 a.vbf: Permission denied";

INSTANTIATE_TEST_SUITE_P(
    UpdateCheck, ServerFailures,
    ::testing::Values(
        FailureCase{"CwdAnsweredWithoutACode",
                    Steps{Expect("CWD"), Send("what?\r\n")} + kQuit,
                    {kDisconnected},
                    {"ErrorCode: -2 ErrorText: what?"}},
        FailureCase{"CwdAnswered200",
                    Steps{Expect("CWD"), Send("200 Command okay.\r\n")} + kQuit,
                    {kDisconnected},
                    {"ErrorCode: -2 ErrorText: 200 Command okay."}},
        FailureCase{"RetrAnswered230",
                    ListUpdateFolder("a.vbf\r\n") + Retrieve("a.vbf") +
                        Steps{Send("230 Logged in\r\n")} + kQuit,
                    {kFound, "Downloading file: a.vbf", kDisconnected},
                    {"ErrorCode: -2 ErrorText: 230 Logged in"}},
        FailureCase{
            "ListingCutWith426",
            Steps{Expect("CWD"), Send("250 OK\r\n"), Expect("TYPE A"), Send("200 OK\r\n"),
                  Expect("PASV"), Pasv(), Expect("NLST"), Send("150 Here\r\n"), AcceptData(),
                  SendData("a.vbf\r\nb.v"), CloseData(), Send("426 Transfer aborted.\r\n")} +
                kQuit,
            {kDisconnected},
            {"ErrorCode: 426 ErrorText: 426 Transfer aborted."}},
        FailureCase{"DownloadCutWith426",
                    ListUpdateFolder("a.vbf\r\n") + Retrieve("a.vbf") +
                        Steps{Send("150 Here\r\n"), AcceptData(), SendData("par"), CloseData(),
                              Send("426 Transfer aborted.\r\n")} +
                        kQuit,
                    {kFound, "Downloading file: a.vbf", kDisconnected},
                    {"ErrorCode: 426 ErrorText: 426 Transfer aborted."}},
        FailureCase{"ShortDownloadThe150Announced",
                    ListUpdateFolder("a.vbf\r\n") + Retrieve("a.vbf") +
                        Steps{Send("150 Opening BINARY mode data connection for a.vbf (10 "
                                   "bytes).\r\n"),
                              AcceptData(), SendData("12345"), CloseData(), Send("226 Done\r\n")} +
                        kQuit,
                    {kFound, "Downloading file: a.vbf", kDisconnected},
                    {"ErrorCode: -3 ErrorText: Received 5 of 10 bytes"}},
        FailureCase{"ShortDownloadSizeAnnounced",
                    ListUpdateFolder("a.vbf\r\n") + Retrieve("a.vbf", "213 10\r\n") +
                        Fetched("12345") + kQuit,
                    {kFound, "Downloading file: a.vbf", kDisconnected},
                    {"ErrorCode: -3 ErrorText: Received 5 of 10 bytes"}},
        FailureCase{"DataConnectionResetThenConfirmed",
                    ListUpdateFolder("a.vbf\r\n") + Retrieve("a.vbf") +
                        Steps{Send("150 Here\r\n"), AcceptData(), SendData("part"), ResetData(),
                              Send("226 Done\r\n")} +
                        kQuit,
                    {kFound, "Downloading file: a.vbf", kDisconnected},
                    {"ErrorCode: 10054 ErrorText: The virtual circuit has been reset by the "
                     "partner"}},
        FailureCase{"Reply421WhileTheDataConnectionIsReset",
                    ListUpdateFolder("a.vbf\r\n") + Retrieve("a.vbf") +
                        Steps{Send("150 Here\r\n"), AcceptData(), SendData("part"), ResetData(),
                              Send("421 Timeout.\r\n"), Drop()},
                    {kFound, "Downloading file: a.vbf", kDisconnected},
                    {"ErrorCode: 421 ErrorText: 421 Timeout."}},
        // A refused file is noted and the queue goes on; the refusal's reset of the data
        // connection adds nothing.
        FailureCase{
            "OneFileRefusedTheRestFetched",
            ListUpdateFolder("a.vbf\r\nb.vbf\r\n") + Retrieve("a.vbf") +
                Steps{AcceptData(), ResetData(), Send("550 a.vbf: Permission denied\r\n")} +
                NextRetrieve("b.vbf") + Fetched("B") + kQuit,
            {kFound, "Downloading file: a.vbf", kRefusedA, "Downloading file: b.vbf",
             "Download incomplete: some files could not be fetched", kDisconnected},
            {"Not every file could be fetched; the next check tries again.\n" + kRefusedA}}),
    [](const auto& info) { return std::string(info.param.what); });

// A failed installation keeps its page 2 until Finish, also when a language file is in
// use, whose refresh at the end of the session runs the start-up's file check.
TEST_F(UpdateCheckFailures, AFailedInstallationStaysOnScreenUntilFinish) {
    const std::string german = "Language=Deutsch\r\nVersion=2\r\n2=Abbrechen\r\n";
    folder.Write("Language/Deutsch_2.lan", german);
    folder.Write("default.lan", german);
    std::filesystem::remove_all(serverRoot.Path() + "ProgramFiles");
    Serve();
    app::TForm1& w = StartWindow();
    ASSERT_EQ(w.Step(), WizardStep::Installation);
    Click("But_P3_Next");
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    EXPECT_EQ(w.VisiblePage(), 2);
    EXPECT_EQ(StatusLines(), (Lines{kConnecting, kDisconnected}));
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text.rfind("ErrorCode: 550 ", 0), 0u) << messages.boxes[0].text;
    Click("But_P2_Cancel");
    EXPECT_EQ(w.VisiblePage(), 3);
    EXPECT_EQ(w.Step(), WizardStep::Installation);
}

// A manual check from the Plantrix wizard's introduction leads back there; the unattended
// checks that follow start from, and lead back to, the start page.
TEST_F(UpdateCheckFailures, UnattendedChecksAfterAManualOneFromTheWizard) {
    serverRoot.Write("UpdateFiles/a.vbf", "A");
    folder.Write("Data/a.vbf", "A");
    InstallRequiredFiles();
    Serve();
    app::TForm1& w = StartWindow({"/T:15"});
    w.Timer_AutoUpdate.SetEnabled(false);
    Click("But_P1_UpdatePlantrix");
    Click("But_P3_Update");
    Click("But_P3_Next");
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    Click("But_P2_Cancel");
    EXPECT_EQ(w.Step(), WizardStep::PlantrixIntroduction);
    Click("But_P3_Cancel");
    ASSERT_EQ(w.VisiblePage(), 1);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        w.AutoUpdateStep = 1;
        EXPECT_EQ(Tick(), 2);
        EXPECT_EQ(Tick(), 3);
        EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
        EXPECT_EQ(StatusLines(), (Lines{kConnecting, kLatest, kDisconnected}));
        EXPECT_EQ(Tick(), 2000);
        EXPECT_EQ(Tick(), 0);
        EXPECT_EQ(w.VisiblePage(), 1);
    }
}

// Offers nobody answers: while a box is open the unattended sequence stands still, so no
// second check piles its boxes on the first's.
TEST_F(UpdateCheckFailures, NoUnattendedCheckWhileAnOfferWaits) {
    serverRoot.Write("UpdateFiles/ArvexDriver_4.exe", "new driver");
    serverRoot.Write("UpdateFiles/ArvexUpdate_106.exe", "new program");
    InstallRequiredFiles();
    Serve();
    app::TForm1& w = StartWindow({"/T:15"});
    w.Timer_AutoUpdate.SetEnabled(false);
    w.ProgramFile = update::ProgramFileAt(folder.Path() + "ArvexUpdate");

    Lines asked;
    std::vector<int> stepsBehindBoxes;
    const platform::MessageAnswerer recorder = platform::SetMessageAnswerer(
        [&](const std::string&, const std::string& text, platform::MessageButtons buttons) {
            asked.push_back(text);
            const int step = w.AutoUpdateStep;
            // An hour of ticks behind the box.
            for (int i = 0; i < 3600; ++i) w.Timer_AutoUpdate.Tick();
            if (w.AutoUpdateStep != step) stepsBehindBoxes.push_back(w.AutoUpdateStep);
            return platform::UnansweredReply(buttons);
        });
    w.AutoUpdateStep = 1;
    Tick();
    Tick();
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    platform::SetMessageAnswerer(recorder);

    EXPECT_EQ(asked.size(), 4u);  // each offer, and that it comes again
    EXPECT_TRUE(stepsBehindBoxes.empty());
    EXPECT_EQ(Tick(), 2000);
}

// A language file whose newer version is here is not fetched: the check finds nothing.
TEST_F(UpdateCheckFailures, AnOlderLanguageFileOnTheServerIsNotFetched) {
    const std::string german = "Language=Deutsch\r\nVersion=2\r\n2=Abbrechen\r\n";
    folder.Write("Language/Deutsch_2.lan", german);
    folder.Write("default.lan", german);
    serverRoot.Write("UpdateFiles/Deutsch_1.lan", "Language=Deutsch\r\nVersion=1\r\n");
    serverRoot.Write("UpdateFiles/Deutsch_2.lan", german);
    InstallRequiredFiles();
    Serve();
    StartWindow();
    RunCheck();
    EXPECT_EQ(StatusLines(), (Lines{kConnecting, kLatest, kDisconnected}));
    EXPECT_FALSE(folder.Exists("Language/Deutsch_1.lan"));
}

// An installed copy: the installation fetches no engine, and the package's is the one
// loaded, whatever lies in the program folder.
TEST_F(UpdateCheckFailures, AnInstalledCopyRunsTheEngineOfItsPackage) {
    testsupport::TempFolder installed;
    const std::string package = installed.Path() + "lib/arvexupdate/";
    std::filesystem::create_directories(package);
    std::filesystem::copy_file(std::filesystem::path(BuildDir()) / "ZipEngine.so",
                               package + "ZipEngine.so");
    testsupport::ScopedEnvironment packaged("ARVEX_PACKAGE_DIR", package);
    for (const char* f : {"ZipEngine.so", "BLaz60A.prg", "BLdg128A.prg", "BLS12G128.prg"})
        serverRoot.Write(std::string("ProgramFiles/") + f, f);
    folder.Write("ZipEngine.so", "not an engine");
    Serve();
    app::TForm1& w = StartWindow();
    ASSERT_EQ(w.Step(), WizardStep::Installation);
    Click("But_P3_Next");
    EXPECT_TRY(w.Timer_Event.Enabled());
    EXPECT_EQ(
        StatusLines(),
        (Lines{kConnecting, "Skipped file \"ZipEngine.so\": it comes with this copy's package",
               "Found program files - starting download", "Downloading file: BLS12G128.prg",
               "Downloading file: BLaz60A.prg", "Downloading file: BLdg128A.prg"}));
    w.Timer_Event.Tick();
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    EXPECT_EQ(folder.Read("ZipEngine.so"), "not an engine");
    EXPECT_GT(w.ZipReader.EngineVersion(), 0);
}

}  // namespace
