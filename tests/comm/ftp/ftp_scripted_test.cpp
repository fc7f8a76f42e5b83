// The client against a scripted server: replies and failures a real server seldom or
// never produces, each with the events the caller sees and what is left on disk.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "platform/message_wait.h"
#include "recorded_client.h"
#include "scripted_ftp_server.h"
#include "temp_folder.h"

namespace {

using namespace ftptest;
using namespace ftptest::play;
using namespace zp;
using Events = std::vector<std::string>;

// What the test starts once logged in.
enum class Action { None, Cwd, List, Retrieve, Store, Restart };

constexpr const char* kPartial = "new.bin.partial";

// A logged-in client that runs `action` at scLogin; a retrieve goes to "old.bin", which
// holds "old" beforehand, so each test can tell whether it was left alone. A restart
// retrieve continues kPartial, which holds "abc" beforehand.
struct Session {
    explicit Session(const ScriptedFtpServer& server, Action action, std::int32_t timeout = 100)
        : client(server.Port(), timeout) {
        folder.Write("old.bin", "old");
        if (action == Action::Restart) folder.Write(kPartial, "abc");
        // Big enough that a store is still sending when the test aborts it.
        folder.Write("up.bin", std::string(8 << 20, 'u'));
        client.onStatus = [this, action](TFtpStatusCode code) {
            if (code != scLogin) return;
            TZpFtpClient& f = client.Ftp();
            switch (action) {
                case Action::None:
                    break;
                case Action::Cwd:
                    EXPECT_TRUE(f.ChangeDirectory("UpdateFiles"));
                    break;
                case Action::List:
                    EXPECT_TRUE(f.ListDirectory("", false));
                    break;
                case Action::Retrieve:
                    EXPECT_TRUE(f.RetrieveFile("new.bin", Local(), 1));
                    break;
                case Action::Store:
                    EXPECT_TRUE(f.StoreFile("up.bin", folder.Path() + "up.bin", 1));
                    break;
                case Action::Restart:
                    EXPECT_TRUE(f.RetrieveFile("new.bin", Local(), f.kRetrieveRestart,
                                               folder.Path() + kPartial));
                    break;
            }
        };
        EXPECT_TRUE(client.Ftp().Login());
    }
    std::string Local() const { return folder.Path() + "old.bin"; }
    // The old file as it was, and no temporary file beside it.
    void ExpectOldFileIntact() const {
        EXPECT_EQ(folder.Read("old.bin"), "old");
        EXPECT_FALSE(folder.Exists("old.bin.part"));
    }

    testsupport::TempFolder folder;
    RecordedClient client;
};

Events LoggedIn(Events more) {
    Events e = {"scOpen", "scLogin"};
    e.insert(e.end(), more.begin(), more.end());
    return e;
}

TEST(FtpScripted, AMultiLineGreetingIsOneReplyAndTheLoginFollows) {
    ScriptedFtpServer server({Send("220-Hello\r\n220-more\r\n220 ready\r\n"), Expect("USER arvex"),
                              Send("331 Password\r\n"), Expect("PASS pRwnKoeZ"),
                              Send("230 Logged in\r\n")});
    RecordedClient c(server.Port());
    std::vector<std::string> trace;
    c.Ftp().SetStateTrace([&](TFtpProcessState from, TFtpProcessState to) {
        trace.push_back(std::string(FtpStateName(from)) + ">" + std::string(FtpStateName(to)));
    });
    ASSERT_TRUE(c.Ftp().Login());
    EXPECT_EQ(c.Ftp().ProcessState(), fsLoggingIn);
    EXPECT_FALSE(c.Ftp().Login() && c.Ftp().ProcessState() != fsLoggingIn);
    ASSERT_TRUE(c.WaitFor("scLogin"));
    EXPECT_EQ(c.events, LoggedIn({}));
    EXPECT_EQ(c.TextOf("scOpen"), "Hello\r\n220-more\r\n");
    EXPECT_EQ(c.StateAt("scLogin"), fsIdle);
    EXPECT_TRUE(c.Ftp().LoggedIn());
    EXPECT_TRUE(c.handlersOnGuiThread);
    EXPECT_EQ(trace, (std::vector<std::string>{"fsClosed>fsLoggingIn", "fsLoggingIn>fsIdle"}));
    EXPECT_FALSE(c.Ftp().Login()) << "Login is refused once logged in";
    EXPECT_EQ(server.Failure(), "");
}

// Replies that end nothing, and replies out of place that end an operation: never
// without an event.
TEST(FtpScripted, RepliesOutOfPlaceNeverEndAnOperationSilently) {
    struct Case {
        const char* name;
        std::vector<Step> script;
        Action action;
        Events events;
        int lastReply;  // the reply to wait for
    };
    const std::vector<Case> cases = {
        {"code that is not digits while logging in",
         {Send("abc hello\r\n220 ready\r\n"), Expect("USER"), Send("331 pw\r\n"), Expect("PASS"),
          Send("230 in\r\n")},
         Action::None,
         LoggedIn({}),
         230},
        {"202 while logging in",
         {Send("220 ready\r\n"), Expect("USER"), Send("202 superfluous\r\n331 pw\r\n"),
          Expect("PASS"), Send("230 in\r\n")},
         Action::None,
         LoggedIn({}),
         230},
        {"code that is not digits during a listing",
         LoginAndTransfer("NLST") + std::vector<Step>{Send("xyz\r\n"), SendData("a\r\n"),
                                                      CloseData(), Send("226 done\r\n")},
         Action::List, LoggedIn({"scDataAvail"}), 226},
        {"code that is not digits to a command",
         Login() + std::vector<Step>{Expect("CWD UpdateFiles"), Send("what?\r\n")}, Action::Cwd,
         LoggedIn({"error -2"}), 0},
        {"200 to a command", Login() + std::vector<Step>{Expect("CWD"), Send("200 okay\r\n")},
         Action::Cwd, LoggedIn({"error -2"}), 200},
        {"230 to a retrieve",
         LoginAndTransfer("RETR new.bin") + std::vector<Step>{Send("230 in\r\n")}, Action::Retrieve,
         LoggedIn({"error -2"}), 230},
        {"226 to a command, then its answer",
         Login() + std::vector<Step>{Expect("CWD"), Send("226 late\r\n250 there\r\n")}, Action::Cwd,
         LoggedIn({"scComplete"}), 250},
        {"202 to a command", Login() + std::vector<Step>{Expect("CWD"), Send("202 no\r\n")},
         Action::Cwd, LoggedIn({"error 202"}), 202},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFtpServer server(c.script);
        Session s(server, c.action);
        ASSERT_TRUE(s.client.WaitUntil([&] {
            return std::count(s.client.replies.begin(), s.client.replies.end(), c.lastReply) > 0 &&
                   s.client.events.size() >= c.events.size();
        }));
        EXPECT_EQ(s.client.events, c.events);
        EXPECT_EQ(s.client.Ftp().ProcessState(), fsIdle);
        EXPECT_EQ(server.Failure(), "");
    }
}

TEST(FtpScripted, Reply421ClosesTheConnectionInEveryState) {
    struct Case {
        const char* name;
        std::vector<Step> script;
        Action action;
        Events events;
    };
    const std::vector<Step> bye = {Send("421 Service closing\r\n")};
    const std::vector<Case> cases = {
        {"as the greeting", bye, Action::None, {"scClose", "error 421"}},
        {"after USER",
         std::vector<Step>{Send("220 hi\r\n"), Expect("USER")} + bye,
         Action::None,
         {"scOpen", "scClose", "error 421"}},
        {"while idle", Login() + bye, Action::None, LoggedIn({"scLogout", "error 421"})},
        {"to a command", Login() + std::vector<Step>{Expect("CWD")} + bye, Action::Cwd,
         LoggedIn({"scLogout", "error 421"})},
        {"while listing", LoginAndTransfer("NLST") + bye, Action::List,
         LoggedIn({"scLogout", "error 421"})},
        {"while receiving",
         LoginAndTransfer("RETR new.bin") + std::vector<Step>{SendData("new")} + bye,
         Action::Retrieve, LoggedIn({"scLogout", "error 421"})},
        {"while storing", LoginAndTransfer("STOR up.bin") + bye, Action::Store,
         LoggedIn({"scLogout", "error 421"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFtpServer server(c.script);
        Session s(server, c.action);
        ASSERT_TRUE(s.client.WaitFor("error 421"));
        EXPECT_EQ(s.client.events, c.events);
        EXPECT_EQ(s.client.Ftp().ProcessState(), fsClosed);
        EXPECT_FALSE(s.client.Ftp().IsActive());
        EXPECT_FALSE(s.client.Ftp().Open());
        s.ExpectOldFileIntact();
        EXPECT_EQ(server.Failure(), "");
    }
}

TEST(FtpScripted, LogoutSendsQuitAndReportsTheCloseAfterItReturns) {
    ScriptedFtpServer server(Login() + std::vector<Step>{Expect("QUIT"), Send("500 Odd\r\n"),
                                                         Gate(), Send("221 Bye\r\n")});
    Session s(server, Action::None);
    ASSERT_TRUE(s.client.WaitFor("scLogin"));
    bool returned = false;
    std::vector<bool> returnedAt;
    // The error comes inside Logout's wait; its handler logs out again and waits, as the
    // update check's does, and the 221 and the close are handled meanwhile.
    s.client.onError = [&](std::int32_t) {
        returnedAt.push_back(returned);
        server.OpenGate();
        EXPECT_TRUE(s.client.Ftp().Logout());
        platform::ProcessPendingMessages();
    };
    s.client.onStatus = [&](TFtpStatusCode) { returnedAt.push_back(returned); };
    ASSERT_TRUE(s.client.Ftp().Logout());
    returned = true;
    EXPECT_EQ(s.client.Ftp().ProcessState(), fsClosed);
    ASSERT_TRUE(s.client.WaitFor("scLogout"));
    EXPECT_EQ(s.client.events, LoggedIn({"error 500", "scLogout"}));
    EXPECT_EQ(returnedAt, (std::vector<bool>{false, true}));
    EXPECT_FALSE(s.client.Ftp().Logout()) << "a second Logout has nothing to close";
    EXPECT_TRUE(s.client.WaitUntil([&] { return server.ClientClosed(); }));
    const std::vector<std::string> sent = server.Commands();
    EXPECT_EQ(sent.back(), "QUIT");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "QUIT"), 1);
}

TEST(FtpScripted, LogoutGivesUpOnAServerThatNeverCloses) {
    ScriptedFtpServer server(Login() + std::vector<Step>{Expect("QUIT")});
    Session s(server, Action::None, 4);
    ASSERT_TRUE(s.client.WaitFor("scLogin"));
    ASSERT_TRUE(s.client.Ftp().Logout());
    EXPECT_FALSE(s.client.Ftp().Open());
    ASSERT_TRUE(s.client.WaitFor("scLogout"));
    EXPECT_EQ(s.client.events, LoggedIn({"scLogout"}));
    EXPECT_TRUE(s.client.WaitUntil([&] { return server.ClientClosed(); }));
}

// Silence ends as a time-out: before login it also ends the connection.
TEST(FtpScripted, SilenceEndsAsATimeout) {
    struct Case {
        const char* name;
        std::vector<Step> script;
        Action action;
        Events events;
        TFtpProcessState state;
    };
    const std::vector<Case> cases = {
        {"a server that never greets", {}, Action::None, {"scTimeout", "scClose"}, fsClosed},
        {"no answer to USER",
         {Send("220 hi\r\n"), Expect("USER")},
         Action::None,
         {"scOpen", "scTimeout", "scClose"},
         fsClosed},
        {"a stalled retrieve",
         LoginAndTransfer("RETR new.bin") + std::vector<Step>{SendData("part of it")},
         Action::Retrieve, LoggedIn({"scTimeout"}), fsIdle},
        {"a stalled command", Login() + std::vector<Step>{Expect("CWD")}, Action::Cwd,
         LoggedIn({"scTimeout"}), fsIdle},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFtpServer server(c.script);
        Session s(server, c.action, 4);
        ASSERT_TRUE(s.client.WaitFor("scTimeout"));
        ASSERT_TRUE(s.client.WaitUntil([&] { return s.client.events.size() >= c.events.size(); }));
        EXPECT_EQ(s.client.events, c.events);
        EXPECT_EQ(s.client.StateAt("scTimeout"), c.state);
        s.ExpectOldFileIntact();
    }
}

TEST(FtpScripted, AfterATimeoutTheNextListingRunsNormally) {
    ScriptedFtpServer server(
        LoginAndTransfer("RETR new.bin") +
        std::vector<Step>{SendData("part"), Expect("TYPE A"), Send("200 ok\r\n"), Expect("PASV"),
                          Pasv(), Expect("NLST"), Send("150 here\r\n"), AcceptData(),
                          SendData("a.vbf\r\n"), CloseData(), Send("226 done\r\n")});
    Session s(server, Action::Retrieve, 4);
    s.client.onStatus = [&, start = s.client.onStatus](TFtpStatusCode code) {
        start(code);
        if (code == scTimeout) {
            EXPECT_TRUE(s.client.Ftp().ListDirectory("", false));
        }
    };
    ASSERT_TRUE(s.client.WaitFor("scDataAvail")) << server.Failure();
    EXPECT_EQ(s.client.events, LoggedIn({"scTimeout", "scDataAvail"}));
    EXPECT_EQ(s.client.TextOf("scDataAvail"), "a.vbf\r\n");
    s.ExpectOldFileIntact();
}

TEST(FtpScripted, TelnetSequencesAreAnsweredAndKeptOutOfTheReplies) {
    auto b = [](std::initializer_list<int> v) {
        std::string s;
        for (int x : v) s.push_back(static_cast<char>(x));
        return s;
    };
    const std::string offers =
        b({255, 253, 24, 255, 251, 1, 255, 250, 24, 1, 255, 240, 255, 253, 31});
    const std::string answers =
        b({255, 251, 24, 255, 253, 1, 255, 250, 24, 0}) + "vt100" + b({255, 240, 255, 252, 31});
    ScriptedFtpServer server({Send(offers + "220 Hi\r" + std::string(1, '\0') + "there\r\n"),
                              ExpectBytes(answers), Expect("USER arvex"), Send("331 pw\r\n"),
                              Expect("PASS"), Send("230 in\r\n")});
    RecordedClient c(server.Port());
    ASSERT_TRUE(c.Ftp().Login());
    ASSERT_TRUE(c.WaitFor("scLogin"));
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(c.events, LoggedIn({}));
    EXPECT_EQ(c.TextOf("scOpen"), "Hi\rthere\r\n");
}

TEST(FtpScripted, CompletionNeedsTheServersConfirmationAndTheDataConnectionsEnd) {
    // 250 while the data connection is still open: the file is complete at its close.
    ScriptedFtpServer server(LoginAndTransfer("RETR new.bin") +
                             std::vector<Step>{SendData("abc"), Send("250 done\r\n"), Gate(),
                                               SendData("def"), CloseData()});
    Session s(server, Action::Retrieve);
    ASSERT_TRUE(s.client.WaitUntil(
        [&] { return std::count(s.client.replies.begin(), s.client.replies.end(), 250) > 0; }));
    EXPECT_EQ(s.client.Ftp().ProcessState(), fsReceiving);
    EXPECT_EQ(s.folder.Read("old.bin"), "old");
    server.OpenGate();
    ASSERT_TRUE(s.client.WaitFor("scTransferOK"));
    EXPECT_EQ(s.client.events, LoggedIn({"scTransferOK"}));
    EXPECT_EQ(s.client.StateAt("scTransferOK"), fsIdle);
    EXPECT_EQ(s.folder.Read("old.bin"), "abcdef");
    EXPECT_FALSE(s.folder.Exists("old.bin.part"));
    EXPECT_EQ(s.client.Ftp().TransferredBytes(), 6u);
}

TEST(FtpScripted, AnEarlyCloseFollowedByAnErrorIsThatError) {
    struct Case {
        const char* name;
        std::vector<Step> script;
        Action action;
        Events events;
    };
    const std::vector<Step> cut = {SendData("partial"), CloseData(),
                                   Send("426 Connection closed; transfer aborted.\r\n")};
    const std::vector<Step> dropWhileOpen = {SendData("partial"), Drop()};
    const std::vector<Step> dropAfterData = {SendData("all of it"), CloseData(), Drop()};
    const std::vector<Case> cases = {
        {"retrieve cut, then 426", LoginAndTransfer("RETR") + cut, Action::Retrieve,
         LoggedIn({"error 426"})},
        {"listing cut, then 426", LoginAndTransfer("NLST") + cut, Action::List,
         LoggedIn({"error 426"})},
        {"control dropped during a retrieve", LoginAndTransfer("RETR") + dropWhileOpen,
         Action::Retrieve, LoggedIn({"scLogout", "error 10053"})},
        {"control dropped before the retrieve was confirmed",
         LoginAndTransfer("RETR") + dropAfterData, Action::Retrieve,
         LoggedIn({"scLogout", "error 10053"})},
        {"control dropped during a listing", LoginAndTransfer("NLST") + dropAfterData, Action::List,
         LoggedIn({"scLogout", "error 10053"})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFtpServer server(c.script);
        Session s(server, c.action);
        ASSERT_TRUE(s.client.WaitFor(c.events.back()));
        EXPECT_EQ(s.client.events, c.events);
        s.ExpectOldFileIntact();
        EXPECT_EQ(server.Failure(), "");
    }
}

TEST(FtpScripted, ThePassiveAddressIsCheckedBeforeItIsUsed) {
    const std::vector<Step> toPasv =
        Login() + std::vector<Step>{Expect("TYPE A"), Send("200 ok\r\n"), Expect("PASV")};
    {
        SCOPED_TRACE("a 227 without six numbers of 0..255");
        const std::string bad = "227 Entering Passive Mode (127,0,0,1,300,1)";
        ScriptedFtpServer server(toPasv + std::vector<Step>{Pasv227(bad)});
        Session s(server, Action::List);
        ASSERT_TRUE(s.client.WaitFor("error 10049"));
        EXPECT_EQ(s.client.events, LoggedIn({"error 10049"}));
        EXPECT_EQ(s.client.TextOf("error 10049"), bad + "\r\n");
        EXPECT_EQ(s.client.StateAt("error 10049"), fsIdle);
        EXPECT_EQ(server.Commands().back(), "PASV") << "nothing was sent after the bad 227";
    }
    {
        SCOPED_TRACE("a 227 naming a port where nothing listens");
        ScriptedFtpServer server(
            toPasv + std::vector<Step>{Pasv227("227 Entering Passive Mode (127,0,0,1,0,1)")});
        Session s(server, Action::List);
        ASSERT_TRUE(s.client.WaitFor("error 10061"));
        EXPECT_EQ(s.client.events, LoggedIn({"error 10061"}));
        EXPECT_EQ(s.client.StateAt("error 10061"), fsIdle);
    }
    {
        SCOPED_TRACE("a 227 naming 0.0.0.0");
        ScriptedFtpServer server(toPasv + std::vector<Step>{Pasv("0,0,0,0"), Expect("NLST"),
                                                            Send("150 here\r\n"), AcceptData(),
                                                            SendData("a.vbf\r\n"), CloseData(),
                                                            Send("226 done\r\n")});
        Session s(server, Action::List);
        ASSERT_TRUE(s.client.WaitFor("scDataAvail"));
        EXPECT_EQ(s.client.TextOf("scDataAvail"), "a.vbf\r\n");
        EXPECT_EQ(server.Failure(), "");
    }
}

TEST(FtpScripted, AListingBeyondTheBoundIsAnErrorNeverAPartialList) {
    ScriptedFtpServer server(
        LoginAndTransfer("NLST") +
        std::vector<Step>{SendData(std::string(TZpCustomFtpClient::kListingLimit + 4096, 'n')),
                          ReceiveData(), Send("426 Connection closed; transfer aborted.\r\n"),
                          Send("226 Transfer complete.\r\n")});
    Session s(server, Action::List);
    ASSERT_TRUE(s.client.WaitFor("error 10040", 30000));
    ASSERT_TRUE(s.client.WaitUntil(
        [&] { return std::count(s.client.replies.begin(), s.client.replies.end(), 226) > 0; }));
    EXPECT_EQ(s.client.events, LoggedIn({"error 10040"}));
    EXPECT_EQ(s.client.Ftp().ProcessState(), fsIdle);
}

TEST(FtpScripted, AnAbortedStoreIsResetSoTheServerCannotTakeItAsComplete) {
    ScriptedFtpServer server(LoginAndTransfer("STOR up.bin") +
                             std::vector<Step>{ReceiveData(), Send("426 Aborted\r\n"),
                                               Expect("ABOR"), Send("226 ABOR done\r\n")});
    Session s(server, Action::Store);
    s.client.onStatus = [&, start = s.client.onStatus](TFtpStatusCode code) {
        start(code);
        if (code == scProgress && s.client.progress == 1) {
            EXPECT_TRUE(s.client.Ftp().AbortTransfer());
        }
    };
    ASSERT_TRUE(s.client.WaitFor("error 426"));
    EXPECT_EQ(s.client.events, LoggedIn({"error 426"}));
    EXPECT_TRUE(server.DataWasReset());
    EXPECT_EQ(server.Failure(), "");
}

TEST(FtpScripted, ALocalFileThatCannotBeWrittenEndsTheRetrieveWithItsOwnError) {
    // Files of this process may not grow beyond 1,000 bytes for the test's length.
    struct FileSizeLimit {
        rlimit old{};
        void (*oldHandler)(int);
        FileSizeLimit() {
            ::getrlimit(RLIMIT_FSIZE, &old);
            rlimit small = old;
            small.rlim_cur = 1000;
            ::setrlimit(RLIMIT_FSIZE, &small);
            oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        }
        ~FileSizeLimit() {
            ::setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, oldHandler);
        }
    };
    ScriptedFtpServer server(LoginAndTransfer("RETR new.bin") +
                             std::vector<Step>{SendData(std::string(5000, 'd')), ReceiveData(),
                                               Send("426 Connection reset\r\n")});
    Session s(server, Action::Retrieve);
    FileSizeLimit limit;
    ASSERT_TRUE(s.client.WaitFor("error 451"));
    EXPECT_EQ(s.client.events, LoggedIn({"error 451"}));
    EXPECT_EQ(s.client.failures, std::vector<TFtpFailureKind>{TFtpFailureKind::Local})
        << "this machine's failure, not the server's 451";
    EXPECT_EQ(s.client.TextOf("error 451").rfind("451 Cannot write " + s.Local() + ": ", 0), 0u)
        << s.client.TextOf("error 451");
    s.ExpectOldFileIntact();
    EXPECT_TRUE(server.DataWasReset());
}

// Handlers run from the socket notification that brought their event: one that destroys
// the client there ends everything, and nothing more is heard.
TEST(FtpScripted, NoEventAfterTheClientIsDestroyed) {
    const struct {
        const char* name;
        std::vector<Step> script;
        Action action;
        TFtpStatusCode destroyAt;
    } cases[] = {
        // Both lines arrive in one read: scOpen and scLogin are queued together.
        {"by the greeting", {Send("220 hi\r\n230 in\r\n")}, Action::None, scOpen},
        {"by the data connection's close, after the 226",
         LoginAndTransfer("RETR new.bin") +
             std::vector<Step>{Send("226 done\r\n"), Gate(), SendData("new"), CloseData()},
         Action::Retrieve, scTransferOK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFtpServer server(c.script);
        Session s(server, c.action);
        s.client.onStatus = [&, start = s.client.onStatus](TFtpStatusCode code) {
            start(code);
            if (code == c.destroyAt) s.client.Destroy();
        };
        if (c.action != Action::None) {
            ASSERT_TRUE(s.client.WaitUntil([&] {
                return std::count(s.client.replies.begin(), s.client.replies.end(), 226) > 0;
            }));
            server.OpenGate();
        }
        const std::string last(FtpStatusName(c.destroyAt));
        ASSERT_TRUE(s.client.WaitFor(last));
        EXPECT_TRUE(s.client.WaitUntil([&] { return server.ClientClosed(); }));
        EXPECT_EQ(s.client.events.back(), last);
        EXPECT_EQ(std::count(s.client.events.begin(), s.client.events.end(), last), 1);
    }
}

// A retrieve "new.bin" in restart mode up to its RETR: TYPE, SIZE answered with `size`,
// PASV, and, unless `rest` is empty, REST at the partial's end answered with it.
std::vector<Step> RestartUpToRetr(const std::string& size, const std::string& rest) {
    std::vector<Step> steps =
        Login() + std::vector<Step>{Expect("TYPE I"),    Send("200 ok\r\n"), Expect("SIZE new.bin"),
                                    Send(size + "\r\n"), Expect("PASV"),     Pasv()};
    if (!rest.empty()) steps = steps + std::vector<Step>{Expect("REST 3"), Send(rest + "\r\n")};
    return steps + std::vector<Step>{Expect("RETR new.bin")};
}

// Whatever ends a restart retrieve, the final name holds the old file or the whole new
// one, never a part; the partial keeps what came unless that cannot be a beginning of the
// file; and the failure says whether another attempt is worth it.
TEST(FtpScripted, ARestartRetrieveKeepsItsPartialFileUntilTheWholeFileIsThere) {
    using K = TFtpFailureKind;
    const std::vector<Step> open = {Send("150 here\r\n"), AcceptData()};
    const std::vector<Step> done = {CloseData(), Send("226 done\r\n")};
    const std::vector<Step> def = open + std::vector<Step>{SendData("def")};
    struct Case {
        const char* name;
        std::vector<Step> script;
        Events events;
        std::vector<K> failures;
        std::optional<std::string> partial;  // nothing: no partial file
        std::string final;
        std::int32_t timeout = 100;
        bool abortAtProgress = false;
    };
    const std::vector<Case> cases = {
        {"continued where the partial ends",
         RestartUpToRetr("213 6", "350 ok") + def + done,
         LoggedIn({"scTransferOK"}),
         {},
         std::nullopt,
         "abcdef"},
        {"REST refused: the whole file",
         RestartUpToRetr("213 6", "502 no") + open + std::vector<Step>{SendData("ABCDEF")} + done,
         LoggedIn({"scTransferOK"}),
         {},
         std::nullopt,
         "ABCDEF"},
        {"a partial as long as the file: the whole file, without REST",
         RestartUpToRetr("213 3", "") + open + std::vector<Step>{SendData("XYZ")} + done,
         LoggedIn({"scTransferOK"}),
         {},
         std::nullopt,
         "XYZ"},
        {"REST and RETR refused",
         RestartUpToRetr("213 6", "500 what") + std::vector<Step>{Send("550 gone\r\n")},
         LoggedIn({"error 550"}),
         {K::Refusal},
         "abc",
         "old"},
        {"short, yet confirmed",
         RestartUpToRetr("213 10", "350 ok") + def + done,
         LoggedIn({"error -3"}),
         {K::Transient},
         "abcdef",
         "old"},
        {"longer than the file",
         RestartUpToRetr("213 5", "350 ok") + open + std::vector<Step>{SendData("defgh")} + done,
         LoggedIn({"error -3"}),
         {K::Transient},
         std::nullopt,
         "old"},
        {"cut, the data connection still open",
         RestartUpToRetr("213 9", "350 ok") + def +
             std::vector<Step>{Send("426 Connection closed; transfer aborted.\r\n")},
         LoggedIn({"error 426"}),
         {K::Transient},
         "abcdef",
         "old"},
        {"the control connection dropped",
         RestartUpToRetr("213 9", "350 ok") + def + std::vector<Step>{Drop()},
         LoggedIn({"scLogout", "error 10053"}),
         {K::Transient},
         "abcdef",
         "old"},
        {"stalled",
         RestartUpToRetr("213 9", "350 ok") + def,
         LoggedIn({"scTimeout"}),
         {K::Transient},
         "abcdef",
         "old",
         4},
        {"aborted by the caller",
         RestartUpToRetr("213 9", "350 ok") + def +
             std::vector<Step>{Expect("ABOR"), Send("426 aborted\r\n226 ABOR done\r\n")},
         LoggedIn({"error 426"}),
         {K::Cancelled},
         "abcdef",
         "old",
         100,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFtpServer server(c.script);
        Session s(server, Action::Restart, c.timeout);
        s.client.onStatus = [&, start = s.client.onStatus](TFtpStatusCode code) {
            start(code);
            if (code == scProgress && c.abortAtProgress) s.client.Ftp().AbortTransfer();
        };
        ASSERT_TRUE(s.client.WaitFor(c.events.back()));
        EXPECT_EQ(s.client.events, c.events);
        EXPECT_EQ(s.client.failures, c.failures);
        EXPECT_EQ(s.folder.Read("old.bin"), c.final);
        EXPECT_EQ(s.folder.Exists(kPartial), c.partial.has_value());
        if (c.partial) {
            EXPECT_EQ(s.folder.Read(kPartial), *c.partial);
        }
        EXPECT_EQ(s.client.Ftp().PartialBytes(), c.partial ? c.partial->size() : 0u);
        EXPECT_EQ(server.Failure(), "");
    }
    {
        SCOPED_TRACE("what a short retrieve says");
        ScriptedFtpServer server(RestartUpToRetr("213 10", "350 ok") + def + done);
        Session s(server, Action::Restart);
        ASSERT_TRUE(s.client.WaitFor("error -3"));
        EXPECT_EQ(s.client.TextOf("error -3"), "Received 6 of 10 bytes");
    }
}

// Per file a server that knows the type and announces sizes hears PASV and RETR only.
TEST(FtpScripted, TheTypeIsSentOncePerTypeAndSizeOnlyWhileTheServerDoesNotAnnounceIt) {
    auto retrieve = [](const std::string& name, std::vector<Step> before, const char* opening) {
        return before +
               std::vector<Step>{
                   Expect("PASV"), Pasv(),      Expect("RETR " + name), Send(opening), AcceptData(),
                   SendData(name), CloseData(), Send("226 done\r\n")};
    };
    const std::vector<Step> typeI = {Expect("TYPE I"), Send("200 ok\r\n")};
    ScriptedFtpServer server(
        Login() +
        retrieve("a", typeI + std::vector<Step>{Expect("SIZE a"), Send("213 1\r\n")},
                 "150 Opening a (1 bytes)\r\n") +
        retrieve("b", {}, "150 Opening b (1 bytes)\r\n") +
        std::vector<Step>{Expect("TYPE A"), Send("200 ok\r\n"), Expect("PASV"), Pasv(),
                          Expect("NLST"), Send("150 here\r\n"), AcceptData(), SendData("a\r\n"),
                          CloseData(), Send("226 done\r\n")} +
        retrieve("c", typeI, "150 Opening c\r\n"));
    RecordedClient c(server.Port());
    testsupport::TempFolder folder;
    int done = 0;
    c.onStatus = [&](TFtpStatusCode code) {
        if (code != scLogin && code != scTransferOK && code != scDataAvail) return;
        const char* next[] = {"a", "b", nullptr, "c"};
        if (done < 4 && next[done] != nullptr) {
            EXPECT_TRUE(c.Ftp().RetrieveFile(next[done], folder.Path() + next[done], 1));
        } else if (done < 4) {
            EXPECT_TRUE(c.Ftp().ListDirectory("", false));
        }
        ++done;
    };
    ASSERT_TRUE(c.Ftp().Login());
    ASSERT_TRUE(c.WaitUntil([&] { return done == 5 || !server.Failure().empty(); }));
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(c.events, LoggedIn({"scTransferOK", "scTransferOK", "scDataAvail", "scTransferOK"}));
    for (const char* name : {"a", "b", "c"}) EXPECT_EQ(folder.Read(name), name);
}

}  // namespace
