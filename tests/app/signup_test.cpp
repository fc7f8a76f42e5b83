// The newsletter sign-up through the window: the checks of what was typed, and the
// upload to a real FTP server with its failures.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "platform/folder_listing.h"
#include "server_window_fixture.h"
#include "stalled_listener.h"

namespace {

const QColor kBlack(0, 0, 0), kRed(255, 0, 0), kGreen(0, 128, 0);

class Signup : public testsupport::ServerWindowTest {
  protected:
    void SetUp() override { InstallRequiredFiles(); }
    // Opens the page, which no control of the layout leads to, and fills it in.
    void Fill(const std::string& name, const std::string& email, const std::string& again) {
        form->But_P1_RegisterClick();
        for (const auto& [field, text] :
             {std::pair("Edit_P4_Name", name), std::pair("Edit_P4_Email", email),
              std::pair("Edit_P4_Email2", again)})
            Find<QLineEdit>(field)->setText(QString::fromStdString(text));
    }
    std::string Field(const char* name) const {
        return Find<QLineEdit>(name)->text().toStdString();
    }
    QColor InfoColour() const {
        return Find<QLabel>("Label_P4_Info")->palette().color(QPalette::WindowText);
    }
    std::string Info() const { return Caption("Label_P4_Info"); }
};

TEST_F(Signup, WhatWasTypedIsCheckedBeforeAnythingIsSent) {
    app::TForm1& w = StartWindow();
    const struct {
        const char *name, *email, *again, *text;
    } cases[] = {
        {"", "a@b.de", "x@y.de", "Please write a name!"},
        {"Jo/../x", "a@b.de", "a@b.de", "Please write a name!"},
        {"Jo", "a@b.de", "A@b.de", "Check email address. The two rows differ!"},
        {"Jo", "a.b@c", "a.b@c", "Please write a valid email address!"},
    };
    for (const auto& c : cases) {
        Fill(c.name, c.email, c.again);
        EXPECT_EQ(InfoColour(), kBlack) << c.name;
        Click("But_P4_Register");
        EXPECT_EQ(Info(), c.text) << c.name;
        EXPECT_EQ(InfoColour(), kRed) << c.name;
        EXPECT_EQ(w.Step(), app::WizardStep::NewsletterSignUp);
        EXPECT_FALSE(w.FTPclient.IsActive()) << c.name;
    }
    EXPECT_TRUE(platform::ListFiles(w.DataDir, "*.*").empty());
}

TEST_F(Signup, ARegistrationArrivesAsAnEmptyFileNamedAfterIt) {
    Serve();
    app::TForm1& w = StartWindow();
    Fill(" Jo Doe ", " jo@example.org", "jo@example.org\t");
    Click("But_P4_Register");
    EXPECT_EQ(Info(), "Sending registration");
    EXPECT_EQ(InfoColour(), kBlack);
    EXPECT_TRY_EQ(Caption("But_P4_cancel"), "Finish");
    EXPECT_EQ(Info(), "Registration complete!");
    EXPECT_EQ(InfoColour(), kGreen);
    const std::string file = "Jo Doe [jo@example.org]";
    EXPECT_TRUE(serverRoot.Exists("Registration/" + file));
    EXPECT_EQ(serverRoot.Read("Registration/" + file), "");
    EXPECT_FALSE(folder.Exists("Data/" + file));
    for (const char* field : {"Edit_P4_Name", "Edit_P4_Email", "Edit_P4_Email2"})
        EXPECT_EQ(Field(field), "") << field;
    EXPECT_EQ(w.focusWidget(), Find("But_P4_cancel"));
    EXPECT_TRUE(messages.boxes.empty());
}

// A server that never answers, and one that refuses the connection.
TEST_F(Signup, AnUnreachableServerLeavesThePageAsItWas) {
    testsupport::StalledListener silent;
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "refused" : "silent");
        refused ? serverAddress.reset() : PointAt(silent.Port());
        app::TForm1& w = StartWindow();
        w.FTPclient.SetConnectTimeout(2);
        Fill("Jo", "jo@example.org", "jo@example.org");
        Click("But_P4_Register");
        EXPECT_TRY_EQ(Info(), "Could not connect to Solvenda server");
        EXPECT_EQ(InfoColour(), kRed);
        EXPECT_TRY(!w.FTPclient.IsActive());
        EXPECT_EQ(Caption("But_P4_cancel"), "Cancel");
        EXPECT_EQ(Field("Edit_P4_Name"), "Jo");
        EXPECT_TRUE(folder.Exists("Data/Jo [jo@example.org]"));  // the next check clears it
    }
}

// A name too long for a file: the local file cannot be made, so the store is refused.
TEST_F(Signup, ARefusedStoreEndsTheSessionWithAnError) {
    Serve();
    app::TForm1& w = StartWindow();
    Fill(std::string(250, 'n'), "jo@example.org", "jo@example.org");
    Click("But_P4_Register");
    EXPECT_TRY_EQ(Caption("But_P4_cancel"), "Finish");
    EXPECT_EQ(Info(), "The registration could not be sent");
    EXPECT_EQ(InfoColour(), kRed);
    EXPECT_FALSE(w.FTPclient.IsActive());
    EXPECT_TRUE(platform::ListFiles(serverRoot.Path() + "Registration/", "*.*").empty());
}

}  // namespace
