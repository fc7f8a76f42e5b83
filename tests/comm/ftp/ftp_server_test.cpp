// The client against a real server (pyftpdlib on 127.0.0.1): a whole session driven from
// the event handlers, byte-exact transfers both ways, and the failures a real server and
// a real network produce.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ftp_server_process.h"
#include "platform/files.h"
#include "platform/message_wait.h"
#include "recorded_client.h"
#include "temp_folder.h"

namespace {

using namespace ftptest;
using namespace zp;
using Events = std::vector<std::string>;
using testsupport::Pattern;

class FtpServer : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* f : {"UpdateFiles", "ProgramFiles", "Registration"}) {
            std::filesystem::create_directories(root.Path() + f);
        }
    }
    // Starts the server once the test has laid out its files.
    void Start(const testsupport::FtpServerOptions& options = {}) {
        server = std::make_unique<testsupport::FtpServerProcess>(root.Path(), options);
        ASSERT_TRUE(server->Running()) << server->Error();
        client = std::make_unique<RecordedClient>(server->Port());
    }
    TZpFtpClient& Ftp() { return client->Ftp(); }

    testsupport::TempFolder root;
    testsupport::TempFolder local;
    std::unique_ptr<testsupport::FtpServerProcess> server;
    std::unique_ptr<RecordedClient> client;
};

TEST_F(FtpServer, ASessionRunsFromTheHandlersInPostedOrder) {
    std::set<std::string> names;
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "pkg_%04d.vbf", i);
        names.insert(name);
        root.Write(std::string("UpdateFiles/") + name, "");
    }
    root.Write("UpdateFiles/pkg_0007.vbf", "seven");
    Start();
    std::vector<TFtpProcessState> statesInside;
    client->onStatus = [&](TFtpStatusCode code) {
        TZpFtpClient& f = Ftp();
        switch (code) {
            case scLogin:
                EXPECT_TRUE(f.ChangeDirectory("UpdateFiles"));
                break;
            case scComplete:
                EXPECT_TRUE(f.ChangeDirectory(""));
                break;
            case scCurrentDir:
                EXPECT_TRUE(f.ListDirectory("", false));
                break;
            case scDataAvail:
                EXPECT_TRUE(f.RetrieveFile("pkg_0007.vbf", local.Path() + "seven.vbf", 1));
                break;
            case scTransferOK:
                EXPECT_TRUE(f.Logout());
                break;
            default:
                return;
        }
        statesInside.push_back(f.ProcessState());
    };
    ASSERT_TRUE(Ftp().Login());
    ASSERT_TRUE(client->WaitFor("scLogout"));
    EXPECT_EQ(client->events, (Events{"scOpen", "scLogin", "scComplete", "scCurrentDir",
                                      "scDataAvail", "scTransferOK", "scLogout"}));
    // Each completion found the client idle, so the handler could start the next step.
    for (const char* e : {"scComplete", "scCurrentDir", "scDataAvail", "scTransferOK"}) {
        EXPECT_EQ(client->StateAt(e), fsIdle) << e;
    }
    EXPECT_EQ(statesInside, (std::vector<TFtpProcessState>{fsCommand, fsCommand, fsListing,
                                                           fsReceiving, fsClosed}));
    EXPECT_EQ(client->TextOf("scCurrentDir"), "/UpdateFiles");
    const std::vector<std::string> listed = platform::SplitLines(client->TextOf("scDataAvail"));
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), names);
    EXPECT_EQ(listed.size(), 1000u);
    EXPECT_EQ(local.Read("seven.vbf"), "seven");
    EXPECT_TRUE(client->handlersOnGuiThread);
}

TEST_F(FtpServer, RetrievesAreByteExactAndReplaceTheOldFile) {
    const std::vector<std::pair<std::string, std::size_t>> files = {
        {"empty.vbf", 0}, {"small.lan", 1000}, {"large.vbf", 64u * 1024 * 1024}};
    for (const auto& [name, size] : files) root.Write("UpdateFiles/" + name, Pattern(size));
    for (const auto& [name, size] : files) local.Write(name, "an older version");
    Start();
    std::size_t next = 0;
    std::vector<std::uint64_t> counted;
    auto retrieveNext = [&] {
        if (next == files.size()) return;
        EXPECT_TRUE(Ftp().RetrieveFile("UpdateFiles/" + files[next].first,
                                       local.Path() + files[next].first, 1));
        ++next;
    };
    client->onStatus = [&](TFtpStatusCode code) {
        if (code == scTransferOK) counted.push_back(Ftp().TransferredBytes());
        if (code == scLogin || code == scTransferOK) retrieveNext();
    };
    ASSERT_TRUE(Ftp().Login());
    ASSERT_TRUE(client->WaitUntil([&] { return counted.size() == files.size(); }, 60000));
    EXPECT_EQ(client->events,
              (Events{"scOpen", "scLogin", "scTransferOK", "scTransferOK", "scTransferOK"}));
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& [name, size] = files[i];
        EXPECT_EQ(counted[i], size) << name;
        EXPECT_TRUE(local.Read(name) == root.Read("UpdateFiles/" + name)) << name;
        EXPECT_FALSE(local.Exists(name + ".part")) << name;
    }
    // Progress is reported while the large file comes, folded while a report waits.
    EXPECT_GT(client->progress, 1);
}

TEST_F(FtpServer, StoresArriveByteExact) {
    local.Write("empty.txt", "");
    local.Write("big.bin", Pattern(1024 * 1024));
    Start();
    std::vector<std::uint64_t> counted;
    client->onStatus = [&](TFtpStatusCode code) {
        if (code == scTransferOK) counted.push_back(Ftp().TransferredBytes());
        if (code == scLogin) {
            EXPECT_TRUE(Ftp().StoreFile("Registration/empty.txt", local.Path() + "empty.txt", 1));
        }
        if (code == scTransferOK && counted.size() == 1) {
            EXPECT_TRUE(Ftp().StoreFile("Registration/big.bin", local.Path() + "big.bin", 1));
        }
    };
    ASSERT_TRUE(Ftp().Login());
    ASSERT_TRUE(client->WaitUntil([&] { return counted.size() == 2; }));
    EXPECT_EQ(counted, (std::vector<std::uint64_t>{0, 1024 * 1024}));
    EXPECT_TRUE(root.Exists("Registration/empty.txt"));
    EXPECT_EQ(root.Read("Registration/empty.txt"), "");
    EXPECT_TRUE(root.Read("Registration/big.bin") == local.Read("big.bin"));
    EXPECT_FALSE(Ftp().StoreFile("Registration/x", local.Path() + "missing.bin", 1));
    EXPECT_EQ(Ftp().ProcessState(), fsIdle);
}

TEST_F(FtpServer, ARefusedLoginAndAMissingFileAreErrorsWithTheServersText) {
    Start();
    {
        RecordedClient wrong(server->Port());
        wrong.Ftp().SetPassword("wrong");
        ASSERT_TRUE(wrong.Ftp().Login());
        ASSERT_TRUE(wrong.WaitFor("error 530"));
        EXPECT_EQ(wrong.events, (Events{"scOpen", "error 530"}));
        EXPECT_EQ(wrong.TextOf("error 530").substr(0, 4), "530 ");
        // The connection stays, still logging in, until the caller logs out.
        EXPECT_EQ(wrong.Ftp().ProcessState(), fsLoggingIn);
        EXPECT_TRUE(wrong.Ftp().Logout());
        ASSERT_TRUE(wrong.WaitFor("scClose"));
    }
    local.Write("keep.vbf", "kept");
    client->onStatus = [&](TFtpStatusCode code) {
        if (code == scLogin) {
            EXPECT_TRUE(Ftp().RetrieveFile("UpdateFiles/none.vbf", local.Path() + "keep.vbf", 1));
        }
    };
    ASSERT_TRUE(Ftp().Login());
    ASSERT_TRUE(client->WaitFor("error 550"));
    EXPECT_EQ(client->events, (Events{"scOpen", "scLogin", "error 550"}));
    EXPECT_EQ(client->StateAt("error 550"), fsIdle);
    EXPECT_EQ(local.Read("keep.vbf"), "kept");
    EXPECT_FALSE(local.Exists("keep.vbf.part"));
}

TEST_F(FtpServer, AbortingALargeRetrieveLeavesTheOldFileAlone) {
    root.Write("UpdateFiles/large.vbf", Pattern(64u * 1024 * 1024));
    local.Write("large.vbf", "the old package");
    Start();
    bool aborted = false;
    client->onStatus = [&](TFtpStatusCode code) {
        if (code == scLogin) {
            EXPECT_TRUE(Ftp().RetrieveFile("UpdateFiles/large.vbf", local.Path() + "large.vbf", 1));
        }
        // As Cancel does: abort, then log out.
        if (code == scProgress && !aborted && Ftp().TransferredBytes() > 1024 * 1024) {
            aborted = true;
            EXPECT_TRUE(Ftp().AbortTransfer());
            EXPECT_FALSE(local.Exists("large.vbf.part"));
            EXPECT_TRUE(Ftp().Logout());
        }
    };
    ASSERT_TRUE(Ftp().Login());
    ASSERT_TRUE(client->WaitFor("scLogout", 30000));
    EXPECT_TRUE(aborted);
    EXPECT_TRUE(client->Saw("error 426"));
    EXPECT_FALSE(client->Saw("scTransferOK"));
    EXPECT_EQ(local.Read("large.vbf"), "the old package");
    EXPECT_FALSE(local.Exists("large.vbf.part"));
}

// A file cut twice, tried again in restart mode from the handler of each failure, as a
// session that retries does: each try asks for what the last one kept (from zero when the
// server refuses REST), the final name never holds a part, and the file comes whole.
TEST_F(FtpServer, ARestartRetrieveCutTwiceCompletesByteExact) {
    const std::uint64_t size = 3u * 1024 * 1024;
    root.Write("UpdateFiles/pkg.vbf", Pattern(size));
    const struct {
        const char* name;
        bool closing;
        int refuseRest;
    } cases[] = {{"cut by closing", true, 0},
                 {"cut by a reset", false, 0},
                 {"REST refused", true, 502},
                 {"REST unknown", true, 500}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::TempFolder work;
        local.Write("pkg.vbf", "the old package");
        testsupport::FtpServerOptions options{0, "1000000,2000000", c.closing, c.refuseRest,
                                              work.Path() + "served.log"};
        Start(options);
        auto retrieve = [&] {
            EXPECT_TRUE(Ftp().RetrieveFile("UpdateFiles/pkg.vbf", local.Path() + "pkg.vbf",
                                           Ftp().kRetrieveRestart, local.Path() + "pkg.resume"));
        };
        std::vector<std::uint64_t> kept;
        client->onStatus = [&](TFtpStatusCode code) {
            if (code == scLogin) retrieve();
        };
        client->onError = [&](std::int32_t) {
            kept.push_back(Ftp().PartialBytes());
            EXPECT_EQ(Ftp().LastFailure(), TFtpFailureKind::Transient);
            EXPECT_EQ(local.Read("pkg.vbf"), "the old package");
            EXPECT_TRUE(local.Read("pkg.resume") ==
                        root.Read("UpdateFiles/pkg.vbf").substr(0, kept.back()));
            retrieve();
        };
        ASSERT_TRUE(Ftp().Login());
        ASSERT_TRUE(client->WaitFor("scTransferOK", 30000));
        EXPECT_EQ(client->events,
                  (Events{"scOpen", "scLogin", "error 426", "error 426", "scTransferOK"}));
        EXPECT_TRUE(local.Read("pkg.vbf") == root.Read("UpdateFiles/pkg.vbf"));
        EXPECT_FALSE(local.Exists("pkg.resume"));
        const auto served = testsupport::ReadServedRetrieves(options.transferLog);
        ASSERT_EQ(served.size(), 3u);
        ASSERT_EQ(kept.size(), 2u);
        const bool resumes = c.refuseRest == 0;
        EXPECT_EQ(served[1].start, resumes ? kept[0] : 0);
        EXPECT_EQ(served[2].start, resumes ? kept[1] : 0);
        if (c.closing) {
            // Nothing the server sent was lost on the way.
            EXPECT_EQ(kept, (std::vector<std::uint64_t>{1000000, 2000000}));
            const std::uint64_t sent = served[0].sent + served[1].sent + served[2].sent;
            EXPECT_EQ(sent, resumes ? size : size + 3000000);
        }
        client.reset();
        server.reset();
    }
}

// A port on loopback where nothing listens.
std::uint16_t UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(fd);
    return ntohs(a.sin_port);
}

TEST(FtpConnect, ARefusedConnectionIsAClosedOneAndNothingMore) {
    RecordedClient c(UnusedPort());
    c.Ftp().SetConnectTimeout(2);
    ASSERT_TRUE(c.Ftp().Login());
    ASSERT_TRUE(c.WaitFor("scClose"));
    // The connect timer went with the connection: no -1 follows.
    platform::ProcessMessagesUntil([] { return false; }, 300);
    EXPECT_EQ(c.events, Events{"scClose"});
    EXPECT_FALSE(c.Ftp().IsActive());
}

TEST(FtpConnect, APeerThatNeverCompletesTheHandshakeTimesOut) {
    // A listener with a full backlog drops the client's SYN: the connect never completes.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size);
    std::vector<int> fillers;
    for (int i = 0; i < 2; ++i) {
        fillers.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        ::connect(fillers.back(), reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    const std::uint16_t port = ntohs(a.sin_port);
    {
        RecordedClient c(port);
        c.Ftp().SetConnectTimeout(3);
        ASSERT_TRUE(c.Ftp().Login());
        ASSERT_TRUE(c.WaitFor("scClose"));
        EXPECT_EQ(c.events, (Events{"error -1", "scClose"}));
        EXPECT_EQ(c.Ftp().ProcessState(), fsClosed);
    }
    {
        RecordedClient c(port);
        ASSERT_TRUE(c.Ftp().Login());
        EXPECT_TRUE(c.Ftp().Logout()) << "a connection still being made is ended at once";
        EXPECT_FALSE(c.Ftp().IsActive());
        ASSERT_TRUE(c.WaitFor("scClose"));
        EXPECT_EQ(c.events, Events{"scClose"});
    }
    for (int fd : fillers) ::close(fd);
    ::close(listener);
}

TEST(FtpConnect, BadAddressesAndPortsAreRaisedOrReported) {
    RecordedClient c(21);
    c.Ftp().SetConnectTimeout(0);
    c.Ftp().SetServerAddress("");
    EXPECT_THROW(c.Ftp().Login(), EWinsockError);
    c.Ftp().SetServerAddress("127.0.0.1");
    c.Ftp().SetWsPort("no-such-service");
    try {
        c.Ftp().Login();
        ADD_FAILURE() << "no exception";
    } catch (const EWinsockError& e) {
        EXPECT_EQ(e.ErrorCode(), 9005);
        EXPECT_STREQ(e.what(), "Specified port is not valid");
    }
    std::vector<std::int32_t> reported;
    c.Ftp().SetOnWsError(
        [&](TZpCustomWinsockPort&, std::int32_t code) { reported.push_back(code); });
    EXPECT_FALSE(c.Ftp().Login());
    EXPECT_EQ(reported, std::vector<std::int32_t>{9005});
    EXPECT_FALSE(c.Ftp().IsActive());
    // The operations refuse outside fsIdle.
    EXPECT_FALSE(c.Ftp().ChangeDirectory("x"));
    EXPECT_FALSE(c.Ftp().ListDirectory("", false));
    EXPECT_FALSE(c.Ftp().RetrieveFile("a", "/tmp/a", 1));
    EXPECT_FALSE(c.Ftp().AbortTransfer());
    EXPECT_FALSE(c.Ftp().Logout());
}

}  // namespace
