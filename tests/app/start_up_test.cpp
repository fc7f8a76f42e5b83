#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <set>

#include "app/command_line.h"
#include "child_process.h"
#include "window_fixture.h"

namespace {

using testsupport::WindowTest;

TEST(CommandLine, SwitchesAreReadByTheirSecondCharacter) {
    struct Case {
        std::vector<std::string> args;
        bool service;
        int minutes;
        size_t problems = 0;
    };
    const Case cases[] = {
        {{}, false, 0},
        {{"/S"}, true, 0},
        {{"-s"}, true, 0},
        {{"xS"}, true, 0},
        {{"S"}, false, 0},
        {{"T"}, false, 0},
        {{"/T"}, false, 60},
        {{"/Tx"}, false, 60},
        {{"/T:15"}, false, 15},
        {{"/t:15"}, false, 15},
        {{"/T:0"}, false, 0},
        {{"/T:-5"}, false, -5},
        // A period that cannot be read changes nothing, and is named.
        {{"/T:abc"}, false, 0, 1},
        {{"/T:1.5"}, false, 0, 1},
        {{"/T:99999999999"}, false, 0, 1},
        {{"/T:15", "/T:abc"}, false, 15, 1},
        {{"/T:5", "/T:9", "/S"}, true, 9},
        {{"/X", "/T:5", "/T"}, false, 60},
    };
    for (const Case& c : cases) {
        const app::CommandLine r = app::ParseCommandLine(c.args);
        const std::string joined = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(r.serviceMode, c.service) << joined;
        EXPECT_EQ(r.autoUpdateMinutes, c.minutes) << joined;
        EXPECT_EQ(r.problems.size(), c.problems) << joined;
    }
    EXPECT_EQ(
        app::ParseCommandLine({"/T:15", "/T:abc"}).problems,
        std::vector<std::string>{"\"/T:abc\": the period is not a whole number of minutes "
                                 "and is ignored; unattended update checks every 15 minutes."});
}

TEST_F(WindowTest, AnEmptyFolderGetsItsFoldersAndTheInstallationPage) {
    app::TForm1& w = Start();
    EXPECT_TRUE(folder.Exists("Data"));
    EXPECT_TRUE(folder.Exists("Language"));
    EXPECT_FALSE(folder.Exists("default.lan"));
    EXPECT_EQ(w.ProgramDir, folder.Path());
    EXPECT_EQ(w.DataDir, folder.Path() + "Data/");
    EXPECT_EQ(w.Step(), app::WizardStep::Installation);
    EXPECT_EQ(w.VisiblePage(), 3);
    EXPECT_EQ(Caption("Label_P3_Headline"), "Installation");
    EXPECT_EQ(Caption("Label_P3_Info"),
              "Before the program can be used it needs to download some files");
    EXPECT_EQ(Caption("But_P3_Cancel"), "Exit");
    EXPECT_EQ(Caption("Label_P3_Baseline"), "Press Next to continue!");
    EXPECT_TRUE(Shown("But_P3_Next"));
    EXPECT_FALSE(Shown("But_P3_Update"));
    EXPECT_EQ(Caption("But_P1_Update"), "Check for updates");
    EXPECT_EQ(Caption("Label_P1_Ver"), "Version 1.05");
    EXPECT_TRUE(messages.boxes.empty());

    Click("But_P3_Cancel");
    EXPECT_TRUE(w.ProgramEndRequested);
    EXPECT_TRY(!w.isVisible());
}

TEST_F(WindowTest, EachMissingRequiredFileOpensTheInstallation) {
    for (const char* missing : kRequiredFiles) {
        InstallRequiredFiles();
        ASSERT_EQ(::unlink((folder.Path() + missing).c_str()), 0);
        EXPECT_EQ(Start().Step(), app::WizardStep::Installation) << missing;
    }
    InstallRequiredFiles();
    app::TForm1& w = Start();
    EXPECT_EQ(w.Step(), app::WizardStep::StartPage);
    EXPECT_EQ(w.VisiblePage(), 1);
}

TEST_F(WindowTest, TheWindowHasItsFixedSizeAndTitle) {
    InstallRequiredFiles();
    app::TForm1& w = Start();
    EXPECT_EQ(w.size(), QSize(600, 420));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_EQ(w.windowTitle().toStdString(), "Solvenda Plantrix Update");
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(w.windowIcon().isNull());
    for (const char* page : {"Panel1", "Panel2", "Panel3", "Panel4"})
        EXPECT_EQ(Find(page)->geometry(), QRect(165, 0, 435, 420));
    // The side picture is shown from its top, unscaled, in a place shorter than itself.
    const QLabel* picture = Find<QLabel>("Image1");
    ASSERT_FALSE(picture->pixmap().isNull());
    EXPECT_EQ(picture->pixmap().size(), QSize(165, 420));
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 165, 395));
    EXPECT_EQ(Find("But_P1_Update")->geometry(), QRect(88, 79, 257, 28));
    EXPECT_EQ(Find("But_P1_Update")->font().pixelSize(), 13);
    EXPECT_TRUE(Find("But_P1_Update")->font().bold());
    EXPECT_EQ(Find("Label_P3_Headline")->font().pixelSize(), 16);
    EXPECT_EQ(Find("Label_P3_Info")->font().pixelSize(), 13);
    EXPECT_FALSE(Find<QComboBox>("ComboBox_P3")->isEditable());
}

TEST_F(WindowTest, EveryControlCarriesItsLayoutName) {
    InstallRequiredFiles();
    Start();
    QList<QWidget*> controls = form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (const char* page : {"Panel1", "Panel2", "Panel3", "Panel4"})
        controls += Find(page)->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    std::set<QString> names;
    for (const QWidget* c : controls) {
        EXPECT_FALSE(c->objectName().isEmpty())
            << c->metaObject()->className() << " at " << c->x() << "," << c->y();
        EXPECT_TRUE(c->objectName().isEmpty() || names.insert(c->objectName()).second)
            << c->objectName().toStdString() << " twice";
    }
}

TEST_F(WindowTest, FocusOrdersFollowTheLayout) {
    InstallRequiredFiles();
    Start();
    // The keyboard passes over controls that take no focus (labels), so they do not count.
    auto chainFrom = [&](const std::vector<std::string>& expected) {
        std::vector<std::string> chain;
        for (QWidget* at = Find(expected.front().c_str()); chain.size() < expected.size();
             at = at->nextInFocusChain())
            if (at->focusPolicy() & Qt::TabFocus) chain.push_back(at->objectName().toStdString());
        return chain;
    };
    const std::vector<std::string> start = {
        "But_P1_Exit",   "But_P1_UpdatePlantrix", "But_P1_Test",      "But_P1_Login",
        "But_P1_Update", "ComboBox_Language",     "Edit_P1_Password", "But_P1_UpdateTessara"};
    EXPECT_EQ(chainFrom(start), start);
    const std::vector<std::string> newsletter = {"Edit_P4_Name", "Edit_P4_Email", "Edit_P4_Email2",
                                                 "But_P4_Register", "But_P4_cancel"};
    EXPECT_EQ(chainFrom(newsletter), newsletter);
}

TEST_F(WindowTest, ServiceModeSwitchShowsItsControlsSilently) {
    InstallRequiredFiles();
    app::TForm1& w = Start({"/S"});
    EXPECT_TRUE(w.ServiceMode);
    EXPECT_TRUE(Shown("Label_ServiceMode"));
    EXPECT_TRUE(Shown("But_P1_UpdateTessara"));
    EXPECT_EQ(Caption("Label_ServiceMode"), "Service mode");
    EXPECT_TRUE(messages.boxes.empty());
    QTest::mouseDClick(Find("Label_P1_Ver"), Qt::LeftButton);
    EXPECT_FALSE(Shown("Edit_P1_Password"));
}

TEST_F(WindowTest, UnattendedChecksStartTheirTimerOnlyForAPositivePeriod) {
    InstallRequiredFiles();
    EXPECT_FALSE(Start().Timer_AutoUpdate.Enabled());
    EXPECT_FALSE(Start({"/T:0"}).Timer_AutoUpdate.Enabled());
    EXPECT_FALSE(Start({"/T:-5"}).Timer_AutoUpdate.Enabled());
    EXPECT_FALSE(Start({"/T:abc"}).Timer_AutoUpdate.Enabled());
    ::testing::internal::CaptureStderr();
    app::TForm1& w = Start({"/T:15", "/T:abc"});
    w.FormCreate();  // a start-up run again reads the arguments again, but says nothing new
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(w.AutoUpdateMinutes, 15);
    EXPECT_TRUE(w.Timer_AutoUpdate.Enabled());
    EXPECT_EQ(w.Timer_AutoUpdate.Interval(), 2000);
    EXPECT_EQ(said,
              "\"/T:abc\": the period is not a whole number of minutes and is ignored; "
              "unattended update checks every 15 minutes.\n");
    // Start-up went on to its end despite the bad value.
    EXPECT_TRUE(folder.Exists("Language"));
    EXPECT_EQ(Caption("But_P1_Exit"), "Exit");
}

TEST_F(WindowTest, TimersStartAsLaidOut) {
    InstallRequiredFiles();
    app::TForm1& w = Start();
    EXPECT_FALSE(w.TimerAnimate.Enabled());
    EXPECT_EQ(w.TimerAnimate.Interval(), 300);
}

// Return on the start page starts the first task; it never ends the program.
TEST_F(WindowTest, TheStartPageOpensWithTheFocusOnItsFirstTask) {
    InstallRequiredFiles();
    Start();
    Activate();
    ASSERT_EQ(QApplication::focusWidget(), Find("But_P1_Update"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(form->Step(), app::WizardStep::UpdateCheck);
    EXPECT_FALSE(form->ProgramEndRequested);
}

// The program as a shell starts it: its switches exactly as given, none taken by the window
// toolkit, and no start without a working directory to keep its files in.
TEST(Program, ReadsItsSwitchesAsGivenAndNeedsAWorkingDirectory) {
    const std::string program = std::string(std::getenv("ARVEX_BUILD_DIR")) + "/ArvexUpdate";
    testsupport::TempFolder home;
    const struct {
        const char* name;
        std::string shell;  // run in `home` by /bin/sh, "$0" being the program
        std::string said;
        std::optional<int> status;  // nothing: the program runs on (and is ended here)
    } cases[] = {
        {"a toolkit option before a switch", "exec \"$0\" -style /T:abc",
         "\"/T:abc\": the period is not a whole number of minutes", std::nullopt},
        {"a working directory removed", "mkdir gone && cd gone && rmdir \"$PWD\" && exec \"$0\"",
         "ArvexUpdate cannot start: its working directory cannot be read", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::ChildProcess run({"/bin/sh", "-c", c.shell, program},
                                      {"QT_QPA_PLATFORM=offscreen", "ARVEX_FTP_SERVER=127.0.0.1:1"},
                                      home.Path());
        EXPECT_TRUE(run.WaitForOutput(c.said, 10000)) << run.Output();
        if (c.status) EXPECT_EQ(run.Wait(10000), c.status) << run.Output();
    }
}

}  // namespace
