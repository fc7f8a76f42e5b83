// The update check through the window, against a real FTP server: what the status log
// says, what arrives in the local folders and what leaves them, the installation step,
// Cancel, the failures, the offers at the end and the unattended checks.
#include <gtest/gtest.h>

#include "scripted_ftp_server.h"
#include "server_window_fixture.h"
#include "stalled_listener.h"

namespace {

using app::WizardStep;
using platform::MessageAnswer;
using Lines = std::vector<std::string>;
using namespace testsupport::status;

// Bytes that differ from block to block, so a lost or repeated block shows.
std::string Bytes(size_t size) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) % 256);
    return s;
}

class UpdateCheck : public testsupport::ServerWindowTest {
  protected:
    void Offer(const std::string& name, const std::string& bytes) {
        serverRoot.Write("UpdateFiles/" + name, bytes);
    }
    // Check for updates, Next, and wait for the check to end.
    void RunCheck() {
        Click("But_P1_Update");
        Click("But_P3_Next");
        EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    }
};

struct ListingCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> server;  // "UpdateFiles"
    // Files in DataDir beforehand (holding "local"); a name ending in "/" is a folder.
    std::vector<std::string> local;
    std::vector<std::string> args;
    Lines log;                          // after "Connecting to server..."
    std::vector<std::string> got = {};  // program-relative, byte-exact with the server's file
    std::vector<std::string> gone = {};
};

void PrintTo(const ListingCase& c, std::ostream* out) { *out << c.what; }

class Listings : public UpdateCheck, public ::testing::WithParamInterface<ListingCase> {};

TEST_P(Listings, FetchWhatIsWantedAndDropWhatTheServerNoLongerHolds) {
    const ListingCase& c = GetParam();
    for (const auto& [name, bytes] : c.server) Offer(name, bytes);
    for (const auto& name : c.local)
        folder.Write("Data/" + name + (name.back() == '/' ? "x" : ""), "local");
    InstallRequiredFiles();
    Serve();
    StartWindow(c.args);
    RunCheck();

    Lines log{kConnecting};
    log.insert(log.end(), c.log.begin(), c.log.end());
    EXPECT_EQ(StatusLines(), log);
    for (const auto& path : c.got) {
        const std::string name = path.substr(path.find('/') + 1);
        EXPECT_EQ(folder.Read(path), serverRoot.Read("UpdateFiles/" + name)) << path;
    }
    // The counter is shown once a download began, and then shows the last one's bytes.
    EXPECT_EQ(Shown("Label_P2_Info2"), !c.got.empty());
    if (!c.got.empty()) {
        EXPECT_EQ(Caption("Label_P2_Info2"),
                  "Bytes downloaded: " + std::to_string(folder.Read(c.got.back()).size()));
    }
    for (const auto& path : c.gone) EXPECT_FALSE(folder.Exists(path)) << path;
    EXPECT_TRUE(messages.boxes.empty());
    // Page 2's drawing, held back while the log filled, is not left held.
    EXPECT_TRY(Find("Panel2")->updatesEnabled());
}

const std::string kLanguageFile = "Language=Deutsch\r\nVersion=2\r\n2=Abbrechen\r\n";

INSTANTIATE_TEST_SUITE_P(
    UpdateCheck, Listings,
    ::testing::Values(
        ListingCase{"NothingNew", {{"a.vbf", "A"}}, {"a.vbf"}, {}, {kLatest, kDisconnected}},
        ListingCase{"ThreeNewFiles",
                    {{"a.vbf", Bytes(200000)}, {"Deutsch_2.lan", kLanguageFile}, {"t.b12", "T"}},
                    {},
                    {},
                    {kFound, "Downloading file: Deutsch_2.lan", "Downloading file: a.vbf",
                     "Downloading file: t.b12", kComplete, kDisconnected},
                    {"Language/Deutsch_2.lan", "Data/a.vbf", "Data/t.b12"}},
        ListingCase{"StaleFilesDeleted",
                    {{"kept.vbf", "K"}},
                    {"kept.vbf", "old.vbf", "Jo [jo@b.de]", "folder/"},
                    {},
                    {kLatest, kDisconnected},
                    {},
                    {"Data/old.vbf", "Data/Jo [jo@b.de]"}},
        ListingCase{
            "EmptyFolderDeletesNothing",
            {},
            {"a.vbf"},
            {},
            {"The server's file list is empty: no local file was deleted", kLatest, kDisconnected}},
        ListingCase{"TestReleaseOutsideServiceMode",
                    {{"c_T1.vbf", "C"}},
                    {},
                    {},
                    {kLatest, kDisconnected},
                    {},
                    {"Data/c_T1.vbf"}},
        ListingCase{"TestReleaseInServiceMode",
                    {{"c_T1.vbf", "C"}},
                    {},
                    {"/S"},
                    {kFound, "Downloading file: c_T1.vbf", kComplete, kDisconnected},
                    {"Data/c_T1.vbf"}},
        ListingCase{"InstallersByVersion",
                    {{"ArvexUpdate_105.exe", "own"}, {"ArvexDriver_x.exe", "no version"}},
                    {},
                    {},
                    {"Skipped installer \"ArvexDriver_x.exe\": its version is not a whole number",
                     kLatest, kDisconnected},
                    {},
                    {"Data/ArvexUpdate_105.exe"}},
        // Folder names only, as a server that stays in another folder lists them.
        ListingCase{"NoUpdateFileListedDeletesNothing",
                    {{"ProgramFiles/x.prg", "X"}, {"Registration/.keep", ""}},
                    {"a.vbf"},
                    {},
                    {"The server's file list holds no update file: no local file was deleted",
                     kLatest, kDisconnected}},
        ListingCase{"AFileTheClientCannotWriteIsSkipped",
                    {{"a.vbf", "A"}, {"b.vbf", "B"}},
                    {"a.vbf:partial/"},
                    {},
                    {kFound, "Skipped file \"a.vbf\": it cannot be fetched here",
                     "Downloading file: b.vbf", kComplete, kDisconnected},
                    {"Data/b.vbf"},
                    {"Data/a.vbf"}}),
    [](const auto& info) { return std::string(info.param.what); });

// Names pyftpdlib cannot hold, names special where the files may be copied to, the
// folder's own entries, and a last name without its line end.
TEST_F(UpdateCheck, HostileNamesAreSkippedAndAnUnendedLastNameCounts) {
    using namespace ftptest::play;
    ftptest::ScriptedFtpServer server(
        Login() +
        std::vector<ftptest::Step>{
            Expect("CWD UpdateFiles"), Send("250 OK\r\n"), Expect("TYPE A"), Send("200 OK\r\n"),
            Expect("PASV"), Pasv(), Expect("NLST"), Send("150 Here\r\n"), AcceptData(),
            SendData(".\r\n..\r\n../x.vbf\r\na/b.vbf\r\nC:evil.vbf\r\nNUL.vbf\r\n"
                     "*.vbf\r\nkeep.vbf"),
            CloseData(), Send("226 Done\r\n"), Expect("QUIT"), Send("221 Bye\r\n"), Drop()});
    folder.Write("Data/keep.vbf", "local");
    folder.Write("Data/stale.vbf", "local");
    InstallRequiredFiles();
    PointAt(server.Port());
    StartWindow();
    RunCheck();
    EXPECT_EQ(StatusLines(),
              (Lines{kConnecting, "Skipped file \"../x.vbf\": it holds a folder separator",
                     "Skipped file \"a/b.vbf\": it holds a folder separator",
                     "Skipped file \"C:evil.vbf\": it holds a character not allowed in file names",
                     "Skipped file \"NUL.vbf\": it is the name of a device",
                     "Skipped file \"*.vbf\": it holds a character not allowed in file names",
                     kLatest, kDisconnected}));
    EXPECT_EQ(folder.Read("Data/keep.vbf"), "local");
    EXPECT_FALSE(folder.Exists("Data/stale.vbf"));
    EXPECT_FALSE(folder.Exists("x.vbf"));
    EXPECT_EQ(server.Failure(), "");
}

TEST_F(UpdateCheck, InstallationFetchesTheProgramFilesThenChecksForUpdates) {
    const char* programFiles[] = {"BLS12G128.prg", "BLaz60A.prg", "BLdg128A.prg", "ZipEngine.so"};
    for (const char* f : programFiles) serverRoot.Write(std::string("ProgramFiles/") + f, f);
    Offer("a.vbf", "A");
    Serve();
    app::TForm1& w = StartWindow();
    ASSERT_EQ(w.Step(), WizardStep::Installation);
    Click("But_P3_Next");
    // The files are here; the update folder follows after a pause, ticked here at once.
    EXPECT_TRY(w.Timer_Event.Enabled());
    EXPECT_EQ(w.Step(), WizardStep::UpdateCheck);
    EXPECT_EQ(w.Timer_Event.Interval(), 2000);
    w.Timer_Event.Tick();
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");

    Lines log{kConnecting, "Found program files - starting download"};
    for (const char* f : programFiles) {
        log.push_back(std::string("Downloading file: ") + f);
        EXPECT_EQ(folder.Read(f), f);
    }
    log.insert(log.end(), {kFound, "Downloading file: a.vbf", kComplete, kDisconnected});
    EXPECT_EQ(StatusLines(), log);
    EXPECT_EQ(folder.Read("Data/a.vbf"), "A");
    Click("But_P2_Cancel");
    EXPECT_EQ(w.VisiblePage(), 1);
}

// The installation fetches every file, also one the folder already holds: Cancel during
// its download must leave the old copy as it was.
TEST_F(UpdateCheck, CancelDuringADownloadKeepsWhatWasThere) {
    serverRoot.Write("ProgramFiles/BLS12G128.prg", "S");
    serverRoot.Write("ProgramFiles/BLaz60A.prg", Bytes(4 << 20));
    folder.Write("BLaz60A.prg", "old");
    Serve(256 * 1024);
    app::TForm1& w = StartWindow();
    ASSERT_EQ(w.Step(), WizardStep::Installation);
    Click("But_P3_Next");
    EXPECT_TRY(!StatusLines().empty() && StatusLines().back() == "Downloading file: BLaz60A.prg" &&
               Caption("Label_P2_Info2") != "Bytes downloaded: 0" && Shown("Label_P2_Info2"));
    Click("But_P2_Cancel");
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    const Lines log = StatusLines();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(Lines(log.end() - 2, log.end()), (Lines{"Aborted by user", kDisconnected}));
    EXPECT_EQ(folder.Read("BLS12G128.prg"), "S");
    EXPECT_EQ(folder.Read("BLaz60A.prg"), "old");
    EXPECT_FALSE(folder.Exists("BLaz60A.prg.part"));
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_FALSE(w.FTPclient.IsActive());
    // The files are not all here: the start-up runs again, back to the Installation page.
    Click("But_P2_Cancel");
    EXPECT_EQ(w.Step(), WizardStep::Installation);
    EXPECT_EQ(w.VisiblePage(), 3);
}

TEST_F(UpdateCheck, AnUnreachableServerSaysSoAndFinishes) {
    testsupport::StalledListener silent;
    InstallRequiredFiles();
    PointAt(silent.Port());
    app::TForm1& w = StartWindow();
    w.FTPclient.SetConnectTimeout(2);
    RunCheck();
    EXPECT_EQ(StatusLines(), (Lines{kConnecting, "Could not connect to Solvenda server"}));
    EXPECT_TRY(!w.FTPclient.IsActive());
}

TEST_F(UpdateCheck, ARefusedLoginIsShownWithTheServersWords) {
    testsupport::ScopedEnvironment stranger("ARVEX_FTP_USER", "stranger");
    InstallRequiredFiles();
    Serve();
    app::TForm1& w = StartWindow();
    Click("But_P1_Update");
    Click("But_P3_Next");
    EXPECT_TRY(!messages.boxes.empty() && !w.FTPclient.IsActive());
    EXPECT_EQ(messages.Texts(), Lines{"ErrorCode: 530 ErrorText: 530 Authentication failed."});
    // Never logged in: no end of session, and Cancel leads back.
    EXPECT_EQ(StatusLines(), Lines{kConnecting});
    EXPECT_EQ(Caption("But_P2_Cancel"), "Cancel");
}

TEST_F(UpdateCheck, ANewerLanguageFileFetchedDuringTheCheckIsInUseAtItsEnd) {
    folder.Write("Language/Deutsch_1.lan", "Language=Deutsch\r\nVersion=1\r\n2=Abbruch\r\n");
    folder.Write("default.lan", folder.Read("Language/Deutsch_1.lan"));
    Offer("Deutsch_2.lan", kLanguageFile + "8=Fertig\r\n");
    InstallRequiredFiles();
    Serve();
    StartWindow();
    Click("But_P1_Update");
    Click("But_P3_Next");
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Fertig");
    EXPECT_EQ(folder.Read("default.lan"), kLanguageFile + "8=Fertig\r\n");
    EXPECT_EQ(Caption("But_P3_Cancel"), "Abbrechen");
    EXPECT_FALSE(folder.Exists("Language/Deutsch_1.lan"));
}

// The installers arrive by version and are offered at the end; each answer's boxes and
// scripts.
TEST_F(UpdateCheck, DriverAndProgramOffersAnsweredEitherWay) {
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        SCOPED_TRACE(answer == MessageAnswer::Yes ? "yes" : "no");
        Offer("ArvexDriver_3.exe", "old driver");
        Offer("ArvexDriver_4.exe", "new driver");
        Offer("ArvexUpdate_106.exe", "new program");
        folder.Write("ArvexDriver_3.exe", "installed");
        folder.Write("bin/ArvexUpdate", "the running program");
        InstallRequiredFiles();
        messages.boxes.clear();
        messages.SetYesNoAnswer(answer);
        Serve();
        app::TForm1& w = StartWindow({"/T:30", "a b"});
        w.Timer_AutoUpdate.SetEnabled(false);
        w.ProgramFile = update::ProgramFileAt(folder.Path() + "bin/ArvexUpdate");
        RunCheck();
        EXPECT_FALSE(folder.Exists("Data/ArvexDriver_3.exe"));

        const std::string driver = "A new driver version has been downloaded.\nInstall it now?";
        const std::string program =
            "A new version of this program was found.\nIt will now restart to complete update.";
        const std::string again = "You will be asked again next time you check for updates.";
        if (answer == MessageAnswer::No) {
            EXPECT_EQ(messages.Texts(), (Lines{driver, again, program, again}));
            EXPECT_TRUE(startedScripts.empty());
            EXPECT_FALSE(w.ProgramEndRequested);
            continue;
        }
        ASSERT_EQ(messages.Texts(), (Lines{driver, program}));
        EXPECT_EQ(messages.boxes[0].caption, "Solvenda Plantrix Update");
        EXPECT_EQ(startedScripts,
                  (Lines{folder.Path() + "InstallDriver.sh", folder.Path() + "Update.sh"}));
        const std::string install = folder.Read("InstallDriver.sh");
        EXPECT_NE(install.find("installer='" + folder.Path() + "Data/ArvexDriver_4.exe'"),
                  std::string::npos)
            << install;
        const std::string update = folder.Read("Update.sh");
        EXPECT_NE(update.find("installer='" + folder.Path() + "Data/ArvexUpdate_106.exe'"),
                  std::string::npos)
            << update;
        EXPECT_NE(update.find("\nprogram='" + folder.Path() + "bin/ArvexUpdate'\n"),
                  std::string::npos)
            << update;
        EXPECT_NE(update.find("\n\"$program\" '/T:30' 'a b' &\n"), std::string::npos) << update;
        EXPECT_TRUE(w.ProgramEndRequested);
    }
}

// An installed copy, whose folder the user cannot write: the newer program stays on the
// server, the log and a box say that the package manager updates it; the rest is fetched.
TEST_F(UpdateCheck, AnInstalledCopyLeavesTheNewerProgramToThePackageManager) {
    Offer("ArvexUpdate_106.exe", "new program");
    Offer("a.vbf", "A");
    InstallRequiredFiles();
    Serve();
    app::TForm1& w = StartWindow();
    w.ProgramFile = {"/usr/lib/arvexupdate/ArvexUpdate", false};
    RunCheck();
    EXPECT_EQ(StatusLines(),
              (Lines{kConnecting,
                     "Skipped installer \"ArvexUpdate_106.exe\": this copy of the program is "
                     "updated by the package manager",
                     kFound, "Downloading file: a.vbf", kComplete, kDisconnected}));
    EXPECT_EQ(messages.Texts(),
              Lines{"A newer version of this program is on the server (ArvexUpdate_106.exe).\n"
                    "This copy cannot replace its own file in /usr/lib/arvexupdate: the package "
                    "manager updates it."});
    EXPECT_FALSE(folder.Exists("Data/ArvexUpdate_106.exe"));
    EXPECT_FALSE(folder.Exists("Update.sh"));
    EXPECT_TRUE(startedScripts.empty());
    EXPECT_FALSE(w.ProgramEndRequested);
}

// Ticks of Timer_AutoUpdate by hand: start page, a check, 5 s after it, the period; then a
// check that hangs is cancelled after its last watched tick.
TEST_F(UpdateCheck, UnattendedChecksStepByStep) {
    Offer("a.vbf", "A");
    InstallRequiredFiles();
    Serve();
    app::TForm1& w = StartWindow({"/T:15"});
    EXPECT_TRUE(w.Timer_AutoUpdate.Enabled());
    EXPECT_EQ(w.Timer_AutoUpdate.Interval(), 2000);
    w.Timer_AutoUpdate.SetEnabled(false);
    const auto tick = [&] {
        w.Timer_AutoUpdate.Tick();
        return std::pair(w.AutoUpdateStep, w.Timer_AutoUpdate.Interval());
    };

    Click("But_P1_UpdatePlantrix");
    EXPECT_EQ(tick(), std::pair(1, 1000));
    EXPECT_EQ(tick(), std::pair(1, 1000)) << "waits for the start page";
    Click("But_P3_Cancel");
    EXPECT_EQ(tick(), std::pair(2, 1000));
    EXPECT_EQ(tick(), std::pair(3, 1000));
    EXPECT_EQ(w.VisiblePage(), 2);
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    EXPECT_EQ(folder.Read("Data/a.vbf"), "A");
    EXPECT_EQ(tick(), std::pair(2000, 5000));
    // The user has left the check's page for a wizard meanwhile: the wizard stays.
    Click("But_P2_Cancel");
    Click("But_P1_UpdatePlantrix");
    EXPECT_EQ(tick(), std::pair(0, 15 * 60000));
    EXPECT_EQ(w.Step(), WizardStep::PlantrixIntroduction);
    Click("But_P3_Cancel");

    testsupport::StalledListener silent;
    PointAt(silent.Port());
    w.AutoUpdateStep = 2;
    EXPECT_EQ(tick(), std::pair(3, 15 * 60000));
    EXPECT_EQ(StatusLines(), Lines{kConnecting});
    w.AutoUpdateStep = 603;
    EXPECT_EQ(tick(), std::pair(604, 15 * 60000));
    EXPECT_EQ(tick(), std::pair(2, 15 * 60000));
    EXPECT_EQ(StatusLines(), (Lines{kConnecting, "Aborted by user"}));
    EXPECT_TRY(!w.FTPclient.IsActive());
}

}  // namespace
