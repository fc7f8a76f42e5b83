// Closing the window while something waits inside a handler: a programming run is asked
// about and stopped between two frames or left to finish, and a logout wait ends with the
// window.
#include <gtest/gtest.h>

#include <QTimer>

#include "programming_fixture.h"
#include "scripted_ftp_server.h"
#include "server_window_fixture.h"

namespace {

using platform::MessageAnswer;
using termsim::FrameKind;

const std::string kStopQuestion =
    "The terminal is being programmed.\n\n"
    "Stop programming and close the program? The terminal is then left without a complete "
    "firmware and has to be programmed again.";

// Calls `action` once, as soon as `ready` holds, from inside whatever wait runs then.
class WhenReady {
  public:
    WhenReady(std::function<bool()> ready, std::function<void()> action) {
        QObject::connect(&poll_, &QTimer::timeout, [this, ready, action] {
            if (done_ || !ready()) return;
            done_ = true;
            action();
        });
        poll_.start(5);
    }
    bool Done() const { return done_; }

  private:
    QTimer poll_;
    bool done_ = false;
};

struct CloseCase {
    const char* name;
    FrameKind kind;  // the close comes once the terminal has this many frames of the kind
    unsigned count;
    MessageAnswer answer;
    bool asked;
    bool closes;
    friend void PrintTo(const CloseCase& c, std::ostream* os) { *os << c.name; }
};

class CloseDuringARun : public testsupport::ProgrammingTest,
                        public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseDuringARun, AsksWhileItWritesAndStopsBetweenFrames) {
    const CloseCase& c = GetParam();
    messages.SetYesNoAnswer(c.answer);
    termsim::TerminalSimulator& terminal =
        terminals.Start(3, [](termsim::SimOptions& o) { o.paceBaud = 19200; });
    // Next in the search's order: a search that outlived the window would try it.
    termsim::TerminalSimulator& next = terminals.Start(4);
    WritePackage("KX_R0104.vbf", progtest::FirmwareFor(1));
    ToConfirmation();
    size_t framesAtClose = 0;
    WhenReady closing([&] { return terminal.Results().Count(c.kind) >= c.count; },
                      [&] {
                          framesAtClose = terminal.Results().frames.size();
                          form->close();
                      });
    const std::string result = RunResult();
    ASSERT_TRUE(closing.Done());
    EXPECT_EQ(messages.Texts(),
              c.asked ? std::vector<std::string>{kStopQuestion} : std::vector<std::string>{});
    EXPECT_EQ(form->isVisible(), !c.closes);
    const termsim::SimResults r = terminal.Results();
    if (!c.closes) {
        EXPECT_EQ(result, "Download success!");
        EXPECT_TRUE(terminal.WaitForRunComplete(std::chrono::seconds(5)));
        return;
    }
    EXPECT_FALSE(form->ComPort.Open());
    EXPECT_TRUE(next.Results().frames.empty()) << "a port was tried after the close";
    EXPECT_EQ(r.Count(FrameKind::Finish), 0u);
    // At most the frame that was on its way when the window closed arrived after it.
    EXPECT_LE(r.frames.size(), framesAtClose + 1);
    EXPECT_EQ(r.garbageBytes, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CloseDuringARun,
    ::testing::Values(CloseCase{"NoLetsTheRunFinish", FrameKind::BlockWrite, 2, MessageAnswer::No,
                                true, false},
                      CloseCase{"YesStopsItDuringTheBlockWrites", FrameKind::BlockWrite, 2,
                                MessageAnswer::Yes, true, true},
                      CloseCase{"YesStopsItDuringTheFlashRecords", FrameKind::FlashRecord, 2,
                                MessageAnswer::Yes, true, true},
                      CloseCase{"TheSearchEndsWithoutAQuestion", FrameKind::Identify, 1,
                                MessageAnswer::No, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// The server never answers QUIT: without the close the logout would wait about a minute
// behind a window that is gone.
using CloseOnPage2 = testsupport::ServerWindowTest;

TEST_F(CloseOnPage2, WhileTheLogoutWaitsEndsTheWait) {
    using namespace ftptest::play;
    ftptest::ScriptedFtpServer server(
        Login() + std::vector<ftptest::Step>{Expect("CWD UpdateFiles"), Send("250 OK\r\n"),
                                             Expect("TYPE A"), Send("200 OK\r\n"), Expect("PASV"),
                                             Pasv(), Expect("NLST"), Send("150 Here\r\n"),
                                             AcceptData(), CloseData(), Send("226 Done\r\n"),
                                             Expect("QUIT"), Gate(), Send("221 Bye\r\n"), Drop()});
    InstallRequiredFiles();
    PointAt(server.Port());
    StartWindow();
    // Long after a prompt end of the wait, the server lets go on its own.
    bool serverLetGo = false;
    QTimer letGo;
    letGo.setSingleShot(true);
    QObject::connect(&letGo, &QTimer::timeout, [&] {
        serverLetGo = true;
        server.OpenGate();
    });
    const auto quitArrived = [&] {
        const std::vector<std::string> commands = server.Commands();
        return !commands.empty() && commands.back() == "QUIT";
    };
    WhenReady closing(quitArrived, [&] {
        form->close();
        letGo.start(4000);
    });
    Click("But_P1_Update");
    Click("But_P3_Next");
    EXPECT_TRY(closing.Done() && !form->FTPclient.IsActive());
    EXPECT_FALSE(serverLetGo) << "the logout went on waiting after the window closed";
    EXPECT_FALSE(form->isVisible());
    server.OpenGate();
}

}  // namespace
