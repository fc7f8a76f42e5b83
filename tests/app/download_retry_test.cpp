// Downloads that a broken link does not lose, through the window: a cut download is taken
// up again within the check after a pause, the next check continues what an earlier one
// left, and the file never stands under its name until it is whole. The server cuts the
// retrieves and logs them; the tests shorten the pauses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "scripted_ftp_server.h"
#include "server_window_fixture.h"

namespace {

using Lines = std::vector<std::string>;
using namespace testsupport::status;
using testsupport::FtpServerOptions;
using testsupport::Pattern;

constexpr const char* kDownloading = "Downloading file: a.vbf";
constexpr const char* kPartial = "Data/a.vbf:partial";

std::string Resuming(std::uint64_t at, int attempt, int budget) {
    return "Connection lost, resuming a.vbf at " + std::to_string(at) + " bytes (try " +
           std::to_string(attempt) + " of " + std::to_string(budget) + ")";
}

class DownloadRetry : public testsupport::ServerWindowTest {
  protected:
    DownloadRetry() {
        serverRoot.Write("UpdateFiles/a.vbf", package);
        InstallRequiredFiles();
    }
    // Its cuts close the data connection, so that what the server sent before a cut is
    // what the client kept.
    void ServeCutting(FtpServerOptions options) {
        options.cutByClosing = true;
        options.transferLog = logs.Path() + "served.log";
        std::filesystem::remove(options.transferLog);
        ftp = std::make_unique<testsupport::FtpServerProcess>(serverRoot.Path(), options);
        ASSERT_TRUE(ftp->Running()) << ftp->Error();
        PointAt(ftp->Port());
    }
    void StartCheck(const update::RetryPauses& pauses) {
        StartWindow().SetDownloadRetryPauses(pauses);
        Click("But_P1_Update");
        Click("But_P3_Next");
    }
    void Check(const FtpServerOptions& options, const update::RetryPauses& pauses) {
        ServeCutting(options);
        StartCheck(pauses);
        EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    }
    // Where each retrieve began.
    std::vector<std::uint64_t> Starts() const {
        std::vector<std::uint64_t> starts;
        for (const auto& r : testsupport::ReadServedRetrieves(logs.Path() + "served.log"))
            starts.push_back(r.start);
        return starts;
    }

    const std::string package = Pattern(1 << 20);
    testsupport::TempFolder logs;
};

// Cuts within one check: each retry asks for what the last attempt kept, until the file is
// whole or the pauses are used up.
TEST_F(DownloadRetry, ACutDownloadIsTakenUpAgainWithinTheCheck) {
    const std::string kCut426 =
        "ErrorCode: 426 ErrorText: 426 Connection closed; transfer aborted.";
    const struct {
        const char* what;
        FtpServerOptions options;
        update::RetryPauses pauses;
        std::vector<std::uint64_t> starts;
        Lines log;  // between "Downloading file: a.vbf" and "Disconnected from server"
        Lines boxes;
    } cases[] = {
        {"cut twice, resumed twice",
         {0, "300000,600000"},
         {1, 1, 1},
         {0, 300000, 600000},
         {Resuming(300000, 1, 3), Resuming(600000, 2, 3), kComplete},
         {}},
        {"REST refused: from the first byte",
         {0, "300000", false, 502},
         {1, 1, 1},
         {0, 0},
         {Resuming(300000, 1, 3), kComplete},
         {}},
        {"more cuts than pauses: the failure is told once",
         {0, "100000,200000,300000"},
         {1, 1},
         {0, 100000, 200000},
         {Resuming(100000, 1, 2), Resuming(200000, 2, 2)},
         {kCut426}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(folder.Path() + "Data");
        messages.boxes.clear();
        Check(c.options, c.pauses);
        Lines log{kConnecting, kFound, kDownloading};
        log.insert(log.end(), c.log.begin(), c.log.end());
        log.push_back(kDisconnected);
        EXPECT_EQ(StatusLines(), log);
        EXPECT_EQ(messages.Texts(), c.boxes);
        EXPECT_EQ(Starts(), c.starts);
        if (c.boxes.empty()) {
            EXPECT_TRUE(folder.Read("Data/a.vbf") == package);
            EXPECT_FALSE(folder.Exists(kPartial));
        } else {
            EXPECT_FALSE(folder.Exists("Data/a.vbf"));
            EXPECT_TRUE(folder.Read(kPartial) == package.substr(0, 300000));
        }
    }
}

// What an earlier check left is continued when it can be a beginning of the file, and a
// partial whose file the server no longer lists is deleted.
TEST_F(DownloadRetry, TheNextCheckTakesUpWhatAnEarlierOneLeft) {
    const struct {
        const char* what;
        std::string partial;
        std::uint64_t start;
    } cases[] = {
        {"a beginning is continued", package.substr(0, 400000), 400000},
        {"one longer than the file starts over", package + "junk", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(folder.Path() + "Data");
        folder.Write(kPartial, c.partial);
        folder.Write("Data/gone.vbf:partial", "of a file the server dropped");
        Check({}, {1});
        EXPECT_EQ(StatusLines(),
                  (Lines{kConnecting, kFound, kDownloading, kComplete, kDisconnected}));
        EXPECT_EQ(Starts(), std::vector<std::uint64_t>{c.start});
        EXPECT_TRUE(folder.Read("Data/a.vbf") == package);
        EXPECT_FALSE(folder.Exists(kPartial));
        EXPECT_FALSE(folder.Exists("Data/gone.vbf:partial"));
    }
}

// The scripted server's retrieve of "a.vbf" (6 bytes) up to its RETR.
std::vector<ftptest::Step> RetrieveA() {
    using namespace ftptest::play;
    return {Expect("TYPE I"),  Send("200 OK\r\n"), Expect("SIZE a.vbf"),
            Send("213 6\r\n"), Expect("PASV"),     Pasv()};
}

// Cancel during a pause ends the check at once, with or without a connection left to
// close; what came stays for the next check.
TEST_F(DownloadRetry, CancelDuringThePauseEndsTheRetries) {
    using namespace ftptest::play;
    ftptest::ScriptedFtpServer closing(
        Login() + ListUpdateFolder("a.vbf\r\n") + RetrieveA() +
        std::vector<ftptest::Step>{Expect("RETR"), Send("421 Going down.\r\n"), Drop()});
    for (const bool connectionKept : {false, true}) {
        SCOPED_TRACE(connectionKept ? "a 426 keeps the connection" : "a 421 closes it");
        if (connectionKept) {
            ServeCutting({0, "300000"});
        } else {
            PointAt(closing.Port());
        }
        StartCheck({60000});
        const std::string resuming = Resuming(connectionKept ? 300000 : 0, 1, 1);
        EXPECT_TRY(StatusLines().back() == resuming);
        if (!connectionKept) EXPECT_TRY(!form->FTPclient.IsActive());
        Click("But_P2_Cancel");
        EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
        EXPECT_EQ(StatusLines(), (Lines{kConnecting, kFound, kDownloading, resuming,
                                        "Aborted by user", kDisconnected}));
        EXPECT_TRUE(messages.boxes.empty());
        // Nothing came before the 421: no empty partial lies in the folder.
        EXPECT_EQ(folder.Exists(kPartial), connectionKept);
    }
    EXPECT_EQ(Starts(), std::vector<std::uint64_t>{0});
    EXPECT_TRUE(folder.Read(kPartial) == package.substr(0, 300000));
}

// A control connection the server closes is opened anew after the pause: the session logs
// in again, returns to its folder and continues the file.
TEST_F(DownloadRetry, ALostConnectionIsOpenedAgain) {
    using namespace ftptest::play;
    using Steps = std::vector<ftptest::Step>;
    ftptest::ScriptedFtpServer server(
        Login() + ListUpdateFolder("a.vbf\r\n") + RetrieveA() +
        Steps{Expect("RETR a.vbf"), Send("150 Here\r\n"), AcceptData(), SendData("abc"),
              CloseData(), Send("421 Timeout.\r\n"), Drop(), Reconnect()} +
        Login() + Steps{Expect("CWD UpdateFiles"), Send("250 OK\r\n")} + RetrieveA() +
        Steps{Expect("REST 3"), Send("350 Restarting\r\n"), Expect("RETR a.vbf"),
              Send("150 Here\r\n"), AcceptData(), SendData("def"), CloseData(),
              Send("226 Done\r\n"), Expect("QUIT"), Send("221 Bye\r\n"), Drop()});
    PointAt(server.Port());
    StartCheck({1});
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(StatusLines(), (Lines{kConnecting, kFound, kDownloading, Resuming(3, 1, 1), kComplete,
                                    kDisconnected}));
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_EQ(folder.Read("Data/a.vbf"), "abcdef");
}

}  // namespace
