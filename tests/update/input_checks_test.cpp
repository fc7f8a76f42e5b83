// Checks of what the user types on the sign-up page and of the server settings from the
// environment.
#include <gtest/gtest.h>

#include "update/server_settings.h"
#include "update/signup_validation.h"

using namespace update;
using i18n::TextId;

TEST(Signup, FieldsAreCheckedInOrder) {
    struct Case {
        const char* name;
        const char* email;
        const char* again;
        i18n::TextId text;
    } refused[] = {
        {"", "a@b.c", "x@y.z", TextId::NameMissing},  // the name is tested first
        {"Jo/hn", "a@b.c", "a@b.c", TextId::NameMissing},
        {"..\\x", "a@b.c", "a@b.c", TextId::NameMissing},
        {"a:b", "a@b.c", "a@b.c", TextId::NameMissing},
        {"Jo\tn", "a@b.c", "a@b.c", TextId::NameMissing},
        {"what?", "a@b.c", "a@b.c", TextId::NameMissing},
        {"Jo", "a@b.c", "A@b.c", TextId::EmailsDiffer},
        {"Jo", "", "", TextId::InvalidEmail},
        {"Jo", "a b@c.d", "a b@c.d", TextId::InvalidEmail},
        {"Jo", "a.b@c", "a.b@c", TextId::InvalidEmail},  // the "." must follow the "@"
        {"Jo", "abc.de", "abc.de", TextId::InvalidEmail},
        {"Jo", "a*@b.c", "a*@b.c", TextId::InvalidEmail},
        {"Jo", "a|b@c.d", "a|b@c.d", TextId::InvalidEmail},
        {"Jo", "a\"@b.c", "a\"@b.c", TextId::InvalidEmail},
        {"Jo", "<a@b.c>", "<a@b.c>", TextId::InvalidEmail},
        {"Jo", "a/../b@c.d", "a/../b@c.d", TextId::InvalidEmail},
        {"Jo", "a\x01@b.c", "a\x01@b.c", TextId::InvalidEmail},
    };
    for (const auto& c : refused) {
        const SignupVerdict v = ValidateSignup(c.name, c.email, c.again);
        EXPECT_FALSE(v.valid) << c.name << " " << c.email;
        EXPECT_EQ(v.text, c.text) << c.name << " " << c.email;
        EXPECT_EQ(v.colour, LabelColour::Red) << c.name << " " << c.email;
    }

    const SignupVerdict ok = ValidateSignup(" Jo Doe ", "  jo@example.org\t", "jo@example.org ");
    EXPECT_TRUE(ok.valid);
    EXPECT_EQ(ok.text, TextId::SendingRegistration);
    EXPECT_FALSE(ok.colour.has_value());
    EXPECT_EQ(ok.signupName, "Jo Doe [jo@example.org]");
    EXPECT_EQ(ValidateSignup("   ", "a@b.c", "a@b.c").signupName, " [a@b.c]");
    EXPECT_EQ(RgbOf(LabelColour::Green).green, 128);
}

TEST(ServerSettings, EnvironmentOverridesOnlyWithGoodValues) {
    struct Case {
        const char* server;
        const char* user;
        const char* host;
        const char* port;
        const char* userName;
        size_t problems;
    } cases[] = {
        {nullptr, nullptr, kDefaultServerHost, "21", kDefaultServerUser, 0},
        {"", "", kDefaultServerHost, "21", kDefaultServerUser, 0},
        {"127.0.0.1:2121", "demo", "127.0.0.1", "2121", "demo", 0},
        {"ftp.example.com", nullptr, "ftp.example.com", "21", kDefaultServerUser, 0},
        {"localhost:65535", nullptr, "localhost", "65535", kDefaultServerUser, 0},
        {"host:0", nullptr, kDefaultServerHost, "21", kDefaultServerUser, 1},
        {"host:65536", nullptr, kDefaultServerHost, "21", kDefaultServerUser, 1},
        {"host:", nullptr, kDefaultServerHost, "21", kDefaultServerUser, 1},
        {"host:21x", nullptr, kDefaultServerHost, "21", kDefaultServerUser, 1},
        {":21", nullptr, kDefaultServerHost, "21", kDefaultServerUser, 1},
        {"a..b", nullptr, kDefaultServerHost, "21", kDefaultServerUser, 1},
        {"::1", nullptr, kDefaultServerHost, "21", kDefaultServerUser, 1},
        {"bad host", "a\r\nDELE x", kDefaultServerHost, "21", kDefaultServerUser, 2},
    };
    for (const auto& c : cases) {
        std::vector<std::string> problems;
        const ServerSettings s = MakeServerSettings(c.server, c.user, problems);
        const std::string label = c.server ? c.server : "(unset)";
        EXPECT_EQ(s.host, c.host) << label;
        EXPECT_EQ(s.port, c.port) << label;
        EXPECT_EQ(s.user, c.userName) << label;
        EXPECT_EQ(s.password, "pRwnKoeZ") << label;
        EXPECT_EQ(problems.size(), c.problems) << label;
    }
    std::vector<std::string> problems;
    MakeServerSettings("host:99999", nullptr, problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0],
              "ARVEX_FTP_SERVER \"host:99999\" is not a host name or address with an optional "
              "\":port\" (1 to 65535); using ftp.solvenda.invalid:21");
    EXPECT_NE(std::string(kDefaultServerHost).rfind(".invalid"), std::string::npos);
}
