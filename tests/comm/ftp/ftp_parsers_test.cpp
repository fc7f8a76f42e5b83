// The pure units under the client: reply lines, the multi-line rule, the telnet layer,
// the 227 address, the command stack, the socket numbers and addresses, and what a
// failure's code says about trying again.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "comm/ftp/ftp_command_stack.h"
#include "comm/ftp/ftp_failure.h"
#include "comm/ftp/ftp_reply.h"
#include "comm/ftp/passive_address.h"
#include "comm/ftp/socket_address.h"
#include "comm/ftp/telnet_filter.h"
#include "comm/ftp/winsock_errors.h"

namespace {

using namespace zp;

std::vector<std::string> CutInPieces(const std::string& bytes, std::size_t piece) {
    TReplyLineCutter cutter;
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const std::string part = bytes.substr(at, piece);
        cutter.Feed(reinterpret_cast<const std::uint8_t*>(part.data()), part.size(), lines);
    }
    return lines;
}

TEST(ReplyLines, AreCutAtCrLfOnlyWhateverTheReadsLookLike) {
    const std::string bytes = "220 a\r\nb\rc\nd\r\n\r\n331 x";
    const std::vector<std::string> expected = {"220 a\r\n", "b\rc\nd\r\n", "\r\n"};
    for (std::size_t piece : {1u, 2u, 3u, 7u, 64u}) {
        EXPECT_EQ(CutInPieces(bytes, piece), expected) << "pieces of " << piece;
    }
}

TEST(ReplyLines, AnEndlessLineIsHeldToTheBoundAndStillEndsAtItsCrLf) {
    const std::string longLine = "220 " + std::string(100000, 'x') + "\r\n";
    const auto lines = CutInPieces(longLine + "230 ok\r\n", 4096);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), kMaxReplyBytes);
    EXPECT_EQ(lines[0].substr(0, 5), "220 x");
    EXPECT_EQ(lines[0].substr(lines[0].size() - 3), "x\r\n");
    EXPECT_EQ(lines[1], "230 ok\r\n");
}

struct ReplyCase {
    const char* name;
    std::vector<std::string> lines;
    std::vector<std::pair<int, std::string>> replies;
};

TEST(Replies, FollowTheMultiLineRule) {
    const std::vector<ReplyCase> cases = {
        {"single", {"220 ready\r\n"}, {{220, "220 ready\r\n"}}},
        {"multi-line greeting",
         {"220-Hello\r\n", "220-more\r\n", "  indented\r\n", "220 ready\r\n"},
         {{220, "220-Hello\r\n220-more\r\n  indented\r\n"}}},
        {"another code inside",
         {"230-a\r\n", "220 x\r\n", "230 done\r\n", "250 ok\r\n"},
         {{230, "230-a\r\n220 x\r\n"}, {250, "250 ok\r\n"}}},
        {"no digits", {"abc hello\r\n"}, {{0, "abc hello\r\n"}}},
        {"two digits", {"22 \r\n"}, {{0, "22 \r\n"}}},
        {"digits then a letter", {"2a0 x\r\n"}, {{0, "2a0 x\r\n"}}},
        {"bare code", {"226\r\n"}, {{226, "226\r\n"}}},
    };
    for (const auto& c : cases) {
        TReplyAssembler assembler;
        std::vector<std::pair<int, std::string>> got;
        for (const auto& line : c.lines) {
            if (auto r = assembler.Feed(line)) got.emplace_back(r->code, r->text);
        }
        EXPECT_EQ(got, c.replies) << c.name;
    }
}

TEST(Replies, ContinuationBeyondTheBoundIsDropped) {
    TReplyAssembler assembler;
    EXPECT_FALSE(assembler.Feed("211-start\r\n"));
    for (int i = 0; i < 100; ++i) assembler.Feed(std::string(1000, 'n') + "\r\n");
    const auto reply = assembler.Feed("211 end\r\n");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->code, 211);
    EXPECT_EQ(reply->text.size(), kMaxReplyBytes);
    EXPECT_EQ(reply->text.substr(0, 11), "211-start\r\n");
}

TEST(Replies, QuotedPathAndTextAfterTheCode) {
    EXPECT_EQ(QuotedText("257 \"/UpdateFiles\" is the current directory\r\n"), "/UpdateFiles");
    EXPECT_EQ(QuotedText("257 \"unclosed\r\n"), "");
    EXPECT_EQ(QuotedText("257 none\r\n"), "");
    EXPECT_EQ(TextAfterCode("220 Hello\r\n"), "Hello\r\n");
    EXPECT_EQ(TextAfterCode("220"), "");
}

// The size a retrieve must reach: the 150 reply's last "(N bytes)", or SIZE's number.
TEST(Replies, TheAnnouncedSizeOrNothing) {
    using Size = std::optional<std::uint64_t>;
    const struct {
        const char* reply;
        Size announced;
        Size sized;
    } cases[] = {
        {"150 Opening BINARY mode data connection for a.vbf (1048576 bytes).\r\n", 1048576,
         std::nullopt},
        {"150 Opening data connection for x (5 bytes).vbf (12 bytes).\r\n", 12, std::nullopt},
        {"150 File status okay. About to open data connection.\r\n", std::nullopt, std::nullopt},
        {"150 for a.vbf (many bytes).\r\n", std::nullopt, std::nullopt},
        {"150 for a.vbf (99999999999999999999 bytes).\r\n", std::nullopt, std::nullopt},
        {"213 1048576\r\n", std::nullopt, 1048576},
        {"213 0\r\n", std::nullopt, 0},
        {"213 \r\n", std::nullopt, std::nullopt},
        {"213 99999999999999999999\r\n", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnnouncedSize(c.reply), c.announced) << c.reply;
        EXPECT_EQ(SizeReplyValue(c.reply), c.sized) << c.reply;
    }
}

// ---------------------------------------------------------------- telnet

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int x : b) s.push_back(static_cast<char>(x));
    return s;
}

struct TelnetCase {
    const char* name;
    std::string received;
    std::string data;
    std::string answers;
};

constexpr int IAC = 255, WILL = 251, WONT = 252, DO = 253, DONT = 254, SB = 250, SE = 240;

std::vector<TelnetCase> TelnetCases() {
    return {
        {"WILL binary", Bytes({IAC, WILL, 0}), "", Bytes({IAC, DO, 0})},
        {"WILL echo", Bytes({IAC, WILL, 1}), "", Bytes({IAC, DO, 1})},
        {"WILL suppress-go-ahead", Bytes({IAC, WILL, 3}), "", Bytes({IAC, DO, 3})},
        {"WILL other", Bytes({IAC, WILL, 5}), "", Bytes({IAC, DONT, 5})},
        {"WONT binary", Bytes({IAC, WONT, 0}), "", Bytes({IAC, DONT, 0})},
        {"WONT echo", Bytes({IAC, WONT, 1}), "", Bytes({IAC, DONT, 1})},
        {"WONT other", Bytes({IAC, WONT, 7}), "", Bytes({IAC, DONT, 7})},
        {"DO binary", Bytes({IAC, DO, 0}), "", Bytes({IAC, WILL, 0})},
        {"DO suppress-go-ahead while off", Bytes({IAC, DO, 3}), "", Bytes({IAC, WONT, 3})},
        {"DO suppress-go-ahead after the peer offered it", Bytes({IAC, WILL, 3, IAC, DO, 3}), "",
         Bytes({IAC, DO, 3, IAC, WONT, 3})},
        {"DO terminal type", Bytes({IAC, DO, 24}), "", Bytes({IAC, WILL, 24})},
        {"DO echo", Bytes({IAC, DO, 1}), "", Bytes({IAC, WONT, 1})},
        {"DO other", Bytes({IAC, DO, 31}), "", Bytes({IAC, WONT, 31})},
        {"DONT binary", Bytes({IAC, DONT, 0}), "", Bytes({IAC, WONT, 0})},
        {"DONT suppress-go-ahead", Bytes({IAC, DONT, 3}), "", Bytes({IAC, WONT, 3})},
        {"DONT other", Bytes({IAC, DONT, 24}), "", Bytes({IAC, WONT, 24})},
        {"terminal type asked", Bytes({IAC, SB, 24, 1, IAC, SE}) + "x", "x",
         Bytes({IAC, SB, 24, 0}) + "vt100" + Bytes({IAC, SE})},
        {"other subnegotiation skipped", Bytes({IAC, SB, 31, 'a', IAC, IAC, 'b', IAC, SE}) + "y",
         "y", ""},
        {"IAC IAC", Bytes({'a', IAC, IAC, 'b'}), Bytes({'a', 255, 'b'}), ""},
        {"IAC and another byte", Bytes({'a', IAC, 241, 'b', IAC, 249}), "ab", ""},
        {"CR NUL", Bytes({'2', '\r', 0, 'x', '\r', '\n'}), "2\rx\r\n", ""},
        {"CR NUL in binary", Bytes({IAC, WILL, 0, '\r', 0}), Bytes({'\r', 0}), Bytes({IAC, DO, 0})},
        {"NUL without CR", Bytes({'a', 0, 'b'}), Bytes({'a', 0, 'b'}), ""},
    };
}

TEST(Telnet, EachSequenceIsTakenOutAndAnsweredByteForByte) {
    for (const auto& c : TelnetCases()) {
        for (std::size_t piece : {1u, 1000u}) {
            TTelnetFilter filter;
            std::string data, answers;
            for (std::size_t at = 0; at < c.received.size(); at += piece) {
                const std::string part = c.received.substr(at, piece);
                filter.Filter(reinterpret_cast<const std::uint8_t*>(part.data()), part.size(), data,
                              answers);
            }
            EXPECT_EQ(data, c.data) << c.name << ", pieces of " << piece;
            EXPECT_EQ(answers, c.answers) << c.name << ", pieces of " << piece;
        }
    }
}

// ---------------------------------------------------------------- 227

constexpr std::uint32_t Ip(int a, int b, int c, int d) {
    return (static_cast<std::uint32_t>(a) << 24) | (b << 16) | (c << 8) | d;
}

TEST(PassiveReply, SixNumbersOf0To255OrNothing) {
    struct Case {
        const char* reply;
        bool ok;
        std::uint32_t host;
        std::uint16_t port;
    };
    const Case cases[] = {
        {"227 Entering Passive Mode (127,0,0,1,4,1).\r\n", true, Ip(127, 0, 0, 1), 1025},
        {"227 Entering Passive Mode (192, 168, 1, 20, 255, 255)\r\n", true, Ip(192, 168, 1, 20),
         65535},
        {"227 Entering Passive Mode 10,1,2,3,0,21\r\n", true, Ip(10, 1, 2, 3), 21},
        {"227 =(0,0,0,0,195,80)\r\n", true, 0, 50000},
        {"227 (127,0,0,1,4)\r\n", false, 0, 0},
        {"227 (127,0,0,1,4,1,7)\r\n", false, 0, 0},
        {"227 (127,0,0,256,4,1)\r\n", false, 0, 0},
        {"227 (127,0,,1,4,1)\r\n", false, 0, 0},
        {"227 (127,0,0,1,4,1\r\n", false, 0, 0},
        {"227 (127,0,x,1,4,1)\r\n", false, 0, 0},
        {"227 (127,0,0,1,0,0)\r\n", false, 0, 0},
        {"227 (0127,0,0,1,4,1)\r\n", false, 0, 0},
        {"227 Entering Passive Mode\r\n", false, 0, 0},
        {"227 (99999999999999999999,0,0,1,4,1)\r\n", false, 0, 0},
    };
    for (const auto& c : cases) {
        const auto got = ParsePassiveReply(c.reply);
        ASSERT_EQ(got.has_value(), c.ok) << c.reply;
        if (!c.ok) continue;
        EXPECT_EQ(got->host, c.host) << c.reply;
        EXPECT_EQ(got->port, c.port) << c.reply;
    }
}

TEST(PassiveReply, AnAddressThatCannotBeMeantGivesWayToTheControlPeer) {
    struct Case {
        std::uint32_t offered, peer, used;
    };
    const std::uint32_t publicPeer = Ip(203, 0, 113, 5), otherPublic = Ip(198, 51, 100, 7);
    const Case cases[] = {
        {otherPublic, publicPeer, otherPublic},  // another public host: as given
        {0, publicPeer, publicPeer},             // 0.0.0.0
        {0, Ip(127, 0, 0, 1), Ip(127, 0, 0, 1)},
        {Ip(192, 168, 0, 9), publicPeer, publicPeer},
        {Ip(10, 0, 0, 9), publicPeer, publicPeer},
        {Ip(172, 16, 3, 4), publicPeer, publicPeer},
        {Ip(172, 32, 3, 4), publicPeer, Ip(172, 32, 3, 4)},  // outside 172.16/12
        {Ip(127, 0, 0, 1), publicPeer, publicPeer},
        {Ip(127, 0, 0, 1), Ip(192, 168, 0, 2), Ip(192, 168, 0, 2)},
        {Ip(192, 168, 0, 9), Ip(192, 168, 0, 2), Ip(192, 168, 0, 9)},  // both inside
        {Ip(10, 0, 0, 9), Ip(127, 0, 0, 1), Ip(10, 0, 0, 9)},
        {Ip(127, 0, 0, 2), Ip(127, 0, 0, 1), Ip(127, 0, 0, 2)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ChooseDataHost(c.offered, c.peer), c.used)
            << std::hex << c.offered << " from " << c.peer;
    }
}

// ---------------------------------------------------------------- the command stack

TEST(CommandStack, IsLastInFirstOutAndRefusesThe33rdByEmptyingItself) {
    TFtpCommandStack stack;
    for (int i = 0; i < 32; ++i) stack.Push("C" + std::to_string(i));
    EXPECT_EQ(stack.Pop(), "C31");
    stack.Push("again");
    try {
        stack.Push("one too many");
        FAIL() << "no exception";
    } catch (const EZpException& e) {
        EXPECT_STREQ(e.what(), "FTP Command stack full");
    }
    EXPECT_EQ(stack.Size(), 0u);
    EXPECT_EQ(stack.Pop(), std::nullopt);
}

// ---------------------------------------------------------------- sockets

TEST(SocketErrors, CarryTheWindowsNumbersAndTheTableTexts) {
    const std::pair<int, std::int32_t> numbers[] = {
        {ECONNREFUSED, 10061}, {ECONNRESET, 10054}, {ETIMEDOUT, 10060}, {EPROTO, 10053}};
    for (const auto& [e, code] : numbers) EXPECT_EQ(WinsockErrorCode(e), code) << e;
    const std::pair<std::int32_t, const char*> texts[] = {
        {9002, "Error loading Winsock DLL"},
        {9003, "Incorrect version of Winsock"},
        {9004, "Winsock not initialized - %s"},
        {9005, "Specified port is not valid"},
        {9007, "Cannot resolve destination address"},
        {10039, "The destination address is required for this operation"},
        {10052, "The network has been reset"},
        {10053, "The virtual circuit has been aborted due to timeout, etc"},
        {10054, "The virtual circuit has been reset by the partner"},
        {10060, "The operation timed out"},
        {10061, "The attempt to connect was forcibly refused"},
    };
    for (const auto& [code, text] : texts) EXPECT_EQ(ErrorMessage(code), text) << code;
    EXPECT_EQ(std::string(EWinsockError(9007).what()), "Cannot resolve destination address");
    EXPECT_EQ(EWinsockError(9007).ErrorCode(), 9007);
}

TEST(SocketAddress, PortsAndHostsFromTheirTexts) {
    const std::pair<const char*, std::int32_t> ports[] = {
        {"21", 21},       {"ftp", 21}, {"65535", 65535},           {"0", -9005},
        {"65536", -9005}, {"", -9005}, {"no-such-service", -9005}, {"-1", -9005},
    };
    for (const auto& [text, expected] : ports) {
        std::uint16_t port = 0;
        const std::int32_t code = ResolvePort(text, port);
        EXPECT_EQ(code == 0 ? port : -code, expected) << text;
    }
    std::uint32_t host = 0;
    EXPECT_EQ(ResolveHost("", host), 10039);
    EXPECT_EQ(ResolveHost("192.0.2.44", host), 0);
    EXPECT_EQ(host, Ip(192, 0, 2, 44));
    EXPECT_EQ(ResolveHost("localhost", host), 0);
    EXPECT_EQ(host >> 24, 127u);
    EXPECT_EQ(ResolveHost("no.such.host.invalid", host), 9007);
}

TEST(FailureKinds, TheLinkAndTheMomentAgainstWhatWouldBeSaidAgain) {
    // Cut, reset or timed out, a 4xx, a short retrieve, a name that did not resolve.
    for (std::int32_t code : {-1, -3, 421, 426, 450, 10054, 10060, 9007}) {
        EXPECT_EQ(FtpFailureName(ClassifyFtpError(code)), "Transient") << code;
    }
    // A 5xx, a reply out of place, a listing too long, a 227 with no address.
    for (std::int32_t code : {-2, 0, 202, 530, 550, 9005, 10040, 10049}) {
        EXPECT_EQ(FtpFailureName(ClassifyFtpError(code)), "Refusal") << code;
    }
}

}  // namespace
