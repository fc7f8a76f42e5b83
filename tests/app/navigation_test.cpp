#include <gtest/gtest.h>

#include "pty_peer.h"
#include "window_fixture.h"

namespace {

class Navigation : public testsupport::WindowTest {
protected:
    void SetUp() override {
        InstallRequiredFiles();
        Start();
    }
    std::vector<std::string> StatusLines() const {
        std::vector<std::string> lines;
        for (int i = 0; i < form->ListBox_P2->count(); ++i)
            lines.push_back(form->ListBox_P2->item(i)->text().toStdString());
        return lines;
    }
};

TEST_F(Navigation, ShowPageChangesTheStepOnlyForTheStartPage) {
    app::TForm1& w = *form;
    w.WizardState = 7;
    for (int page : {2, 3, 4}) {
        w.ShowPage(page);
        EXPECT_EQ(w.VisiblePage(), page);
        EXPECT_EQ(w.WizardState, 7);
    }
    w.ShowPage(0);
    w.ShowPage(5);
    EXPECT_EQ(w.VisiblePage(), 4);
    EXPECT_EQ(w.WizardState, 7);
    w.ShowPage(1);
    EXPECT_EQ(w.VisiblePage(), 1);
    EXPECT_EQ(w.WizardState, 0);
}

TEST_F(Navigation, UpdateCheckFromTheStartPageAndBack) {
    app::TForm1& w = *form;
    Click(w.But_P1_Update);
    EXPECT_EQ(w.VisiblePage(), 3);
    EXPECT_EQ(w.WizardState, 1);
    EXPECT_EQ(Caption(w.Label_P3_Headline), "Update wizard");
    EXPECT_EQ(Caption(w.Label_P3_Info),
              "This wizard will check for updates to Solvenda system software.\n\n"
              "Make sure your computer is connected to the Internet and that your firewall "
              "allows communication on outgoing port 21.");
    EXPECT_FALSE(w.But_P3_Update->isVisible());
    EXPECT_TRUE(w.But_P3_Next->isVisible());

    Click(w.But_P3_Next);
    EXPECT_EQ(w.VisiblePage(), 2);
    EXPECT_EQ(StatusLines(), std::vector<std::string>{"Connecting to server..."});
    EXPECT_EQ(Caption(w.Label_P2_FTP_Info), "Connecting to server...");

    Click(w.But_P2_Cancel);
    EXPECT_EQ(w.VisiblePage(), 1);
    EXPECT_EQ(w.WizardState, 0);
}

TEST_F(Navigation, UpdateCheckFromAProgrammingIntroductionReturnsThere) {
    app::TForm1& w = *form;
    Click(w.But_P1_UpdatePlantrix);
    EXPECT_EQ(w.WizardState, 2);
    EXPECT_EQ(Caption(w.Label_P3_Headline), "Plantrix programming wizard");
    EXPECT_TRUE(w.But_P3_Update->isVisible());
    Click(w.But_P3_Update);
    EXPECT_EQ(w.WizardState, 1);
    EXPECT_EQ(w.PrevWizardState, 2);
    Click(w.But_P3_Next);
    Click(w.But_P2_Cancel);
    EXPECT_EQ(w.VisiblePage(), 3);
    EXPECT_EQ(w.WizardState, 2);
    EXPECT_EQ(Caption(w.Label_P3_Headline), "Plantrix programming wizard");
}

TEST_F(Navigation, TessaraIntroductionInServiceMode) {
    Start({"/S"});
    app::TForm1& w = *form;
    Click(w.But_P1_UpdateTessara);
    EXPECT_EQ(w.WizardState, 11);
    EXPECT_EQ(Caption(w.Label_P3_Headline), "Tessara programming wizard");
    EXPECT_EQ(Caption(w.Label_P3_Info),
              "This wizard will program your Tessara with the latest software (Use Check for "
              "updates to check for the latest updates)");
    Click(w.But_P3_Update);
    Click(w.But_P3_Next);
    Click(w.But_P2_Cancel);
    EXPECT_EQ(w.WizardState, 11);
    Click(w.But_P3_Cancel);
    EXPECT_EQ(w.VisiblePage(), 1);
    EXPECT_EQ(w.WizardState, 0);
    EXPECT_FALSE(w.ProgramEndRequested);
}

TEST_F(Navigation, WizardCancelHidesTheSelectionAndProgress) {
    app::TForm1& w = *form;
    Click(w.But_P1_UpdatePlantrix);
    w.ComboBox_P3->show();
    w.ProgressBar1->show();
    Click(w.But_P3_Cancel);
    EXPECT_FALSE(w.ComboBox_P3->isVisible());
    EXPECT_FALSE(w.ProgressBar1->isVisible());
    EXPECT_EQ(w.VisiblePage(), 1);
}

TEST_F(Navigation, NewsletterPageStartsEmptyAndReturnsToTheStart) {
    app::TForm1& w = *form;
    w.Edit_P4_Name->setText("old");
    w.But_P1_RegisterClick();
    EXPECT_EQ(w.VisiblePage(), 4);
    EXPECT_EQ(w.WizardState, 4);
    EXPECT_TRUE(w.Edit_P4_Name->text().isEmpty());
    EXPECT_EQ(Caption(w.Label_P4_Info),
              "Register your email if you want to recieve our software newsletter");
    Click(w.But_P4_cancel);
    EXPECT_EQ(w.VisiblePage(), 1);
    EXPECT_EQ(w.WizardState, 0);
}

TEST_F(Navigation, StatusLogAlwaysShowsItsNewestLine) {
    app::TForm1& w = *form;
    w.ShowPage(2);
    for (int i = 0; i < 200; ++i) w.AddStatusLine("line " + std::to_string(i));
    QApplication::processEvents();
    QListWidget* log = w.ListBox_P2;
    const QRect last = log->visualItemRect(log->item(log->count() - 1));
    EXPECT_TRUE(log->viewport()->rect().contains(last)) << "newest line scrolled out of view";
    EXPECT_EQ(Caption(w.Label_P2_FTP_Info), "line 199");
}

TEST_F(Navigation, SearchingAnimationCyclesThroughZeroToFiveDots) {
    app::TForm1& w = *form;
    w.AnimateDots = 0;
    std::vector<std::string> shown;
    for (int i = 0; i < 7; ++i) {
        w.TimerAnimate.Tick();
        shown.push_back(Caption(w.Label_P3_Info));
    }
    const std::string s = "Searching for Plantrix";
    EXPECT_EQ(shown, (std::vector<std::string>{s, s + ".", s + "..", s + "...", s + "....",
                                               s + ".....", s}));
}

TEST_F(Navigation, HiddenTestButtonEmptiesItsList) {
    form->ListBox_P1_test = {"a", "b"};
    form->But_P1_TestClick();
    EXPECT_TRUE(form->ListBox_P1_test.empty());
}

class Installation : public testsupport::WindowTest {};

TEST_F(Installation, NextConnectsAndCancelStartsOverWhileFilesAreMissing) {
    app::TForm1& w = Start();
    ASSERT_EQ(w.WizardState, 10);
    Click(w.But_P3_Next);
    EXPECT_EQ(w.VisiblePage(), 2);
    EXPECT_EQ(w.WizardState, 10);
    // The connection ended without the files: the whole start-up runs again.
    w.ServiceMode = true;
    Click(w.But_P2_Cancel);
    EXPECT_FALSE(w.ServiceMode);
    EXPECT_EQ(w.WizardState, 10);
    EXPECT_EQ(w.VisiblePage(), 3);
    EXPECT_EQ(Caption(w.But_P3_Cancel), "Exit");
    EXPECT_FALSE(w.ProgramEndRequested);
}

TEST_F(Installation, WithALanguageFileTheExitButtonTakesTheLanguagesCancel) {
    folder.Write("default.lan", "Language=Deutsch\r\nVersion=1\r\n2=Abbrechen\r\n");
    app::TForm1& w = Start();
    EXPECT_EQ(w.WizardState, 10);
    EXPECT_EQ(Caption(w.But_P3_Cancel), "Abbrechen");
    Click(w.But_P3_Cancel);
    EXPECT_TRUE(w.ProgramEndRequested);
}

}  // namespace

namespace {

class WizardCancel : public testsupport::WindowTest {};

TEST_F(WizardCancel, ClosesTheSerialPort) {
    ::setenv("ARVEX_COM_PORTS", folder.Path().c_str(), 1);
    serialtest::PtyPeer terminal(folder.Path(), 3);
    InstallRequiredFiles();
    app::TForm1& w = Start();
    Click(w.But_P1_UpdatePlantrix);
    w.ComPort.SetComNumber(3);
    w.ComPort.SetOpen(true);
    ASSERT_TRUE(w.ComPort.Open());
    Click(w.But_P3_Cancel);
    EXPECT_FALSE(w.ComPort.Open());
    EXPECT_EQ(w.VisiblePage(), 1);
    ::unsetenv("ARVEX_COM_PORTS");
}

}  // namespace
