#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include "pty_peer.h"
#include "scoped_environment.h"
#include "window_fixture.h"

namespace {

using app::WizardStep;

class Navigation : public testsupport::WindowTest {
  protected:
    void SetUp() override {
        InstallRequiredFiles();
        Start();
    }
};

TEST_F(Navigation, ShowPageBringsOnlyPagesOneToFourForward) {
    app::TForm1& w = *form;
    for (int page : {2, 3, 4, 1}) {
        w.ShowPage(page);
        EXPECT_EQ(w.VisiblePage(), page);
    }
    w.ShowPage(0);
    w.ShowPage(5);
    EXPECT_EQ(w.VisiblePage(), 1);
}

TEST_F(Navigation, UpdateCheckFromTheStartPageAndBack) {
    app::TForm1& w = *form;
    Click("But_P1_Update");
    EXPECT_EQ(w.VisiblePage(), 3);
    EXPECT_EQ(w.Step(), WizardStep::UpdateCheck);
    EXPECT_EQ(Caption("Label_P3_Headline"), "Update wizard");
    EXPECT_EQ(Caption("Label_P3_Info"),
              "This wizard will check for updates to Solvenda system software.\n\n"
              "Make sure your computer is connected to the Internet and that your firewall "
              "allows communication on outgoing port 21.");
    EXPECT_FALSE(Shown("But_P3_Update"));
    EXPECT_TRUE(Shown("But_P3_Next"));

    Click("But_P3_Next");
    EXPECT_EQ(w.VisiblePage(), 2);
    EXPECT_EQ(StatusLines(), std::vector<std::string>{"Connecting to server..."});
    EXPECT_EQ(Caption("Label_P2_FTP_Info"), "Connecting to server...");

    // A refused connection ends the check; then Finish leads back.
    EXPECT_TRY(!w.FTPclient.IsActive());
    EXPECT_TRY_EQ(Caption("But_P2_Cancel"), "Finish");
    Click("But_P2_Cancel");
    EXPECT_EQ(w.VisiblePage(), 1);
    EXPECT_EQ(w.Step(), WizardStep::StartPage);
}

TEST_F(Navigation, UpdateCheckFromAProgrammingIntroductionReturnsThere) {
    app::TForm1& w = *form;
    Click("But_P1_UpdatePlantrix");
    EXPECT_EQ(w.Step(), WizardStep::PlantrixIntroduction);
    EXPECT_EQ(Caption("Label_P3_Headline"), "Plantrix programming wizard");
    EXPECT_TRUE(Shown("But_P3_Update"));
    Click("But_P3_Update");
    EXPECT_EQ(w.Step(), WizardStep::UpdateCheck);
    Click("But_P3_Next");
    EXPECT_TRY(!w.FTPclient.IsActive());
    Click("But_P2_Cancel");
    EXPECT_EQ(w.VisiblePage(), 3);
    EXPECT_EQ(w.Step(), WizardStep::PlantrixIntroduction);
    EXPECT_EQ(Caption("Label_P3_Headline"), "Plantrix programming wizard");
}

TEST_F(Navigation, TessaraIntroductionInServiceMode) {
    app::TForm1& w = Start({"/S"});
    Click("But_P1_UpdateTessara");
    EXPECT_EQ(w.Step(), WizardStep::TessaraIntroduction);
    EXPECT_EQ(Caption("Label_P3_Headline"), "Tessara programming wizard");
    EXPECT_EQ(Caption("Label_P3_Info"),
              "This wizard will program your Tessara with the latest software (Use Check for "
              "updates to check for the latest updates)");
    Click("But_P3_Update");
    Click("But_P3_Next");
    EXPECT_TRY(!w.FTPclient.IsActive());
    Click("But_P2_Cancel");
    EXPECT_EQ(w.Step(), WizardStep::TessaraIntroduction);
    Click("But_P3_Cancel");
    EXPECT_EQ(w.VisiblePage(), 1);
    EXPECT_EQ(w.Step(), WizardStep::StartPage);
    EXPECT_FALSE(w.ProgramEndRequested);
}

TEST_F(Navigation, WizardCancelHidesTheSelectionAndProgress) {
    Click("But_P1_UpdatePlantrix");
    Find("ComboBox_P3")->show();
    Find("ProgressBar1")->show();
    Click("But_P3_Cancel");
    EXPECT_FALSE(Shown("ComboBox_P3"));
    EXPECT_FALSE(Shown("ProgressBar1"));
    EXPECT_EQ(form->VisiblePage(), 1);
}

TEST_F(Navigation, NewsletterPageStartsEmptyAndReturnsToTheStart) {
    app::TForm1& w = *form;
    Find<QLineEdit>("Edit_P4_Name")->setText("old");
    w.But_P1_RegisterClick();
    EXPECT_EQ(w.VisiblePage(), 4);
    EXPECT_EQ(w.Step(), WizardStep::NewsletterSignUp);
    EXPECT_TRUE(Find<QLineEdit>("Edit_P4_Name")->text().isEmpty());
    EXPECT_EQ(Caption("Label_P4_Info"),
              "Register your email if you want to recieve our software newsletter");
    Click("But_P4_cancel");
    EXPECT_EQ(w.VisiblePage(), 1);
    EXPECT_EQ(w.Step(), WizardStep::StartPage);
}

TEST_F(Navigation, StatusLogAlwaysShowsItsNewestLine) {
    app::TForm1& w = *form;
    w.ShowPage(2);
    for (int i = 0; i < 200; ++i) w.AddStatusLine("line " + std::to_string(i));
    const auto* log = Find<QListWidget>("ListBox_P2");
    EXPECT_TRY(log->viewport()->rect().contains(log->visualItemRect(log->item(log->count() - 1))));
    EXPECT_EQ(Caption("Label_P2_FTP_Info"), "line 199");
}

TEST_F(Navigation, SearchingAnimationCyclesThroughZeroToFiveDots) {
    app::TForm1& w = *form;
    w.AnimateDots = 0;
    std::vector<std::string> shown;
    for (int i = 0; i < 7; ++i) {
        w.TimerAnimate.Tick();
        shown.push_back(Caption("Label_P3_Info"));
    }
    const std::string s = "Searching for Plantrix";
    EXPECT_EQ(shown, (std::vector<std::string>{s, s + ".", s + "..", s + "...", s + "....",
                                               s + ".....", s}));
}

TEST_F(Navigation, HiddenTestButtonEmptiesItsList) {
    form->ListBox_P1_test = {"a", "b"};
    Find<QPushButton>("But_P1_Test")->click();  // never shown, but wired
    EXPECT_TRUE(form->ListBox_P1_test.empty());
}

// Return presses the button that has the keyboard focus, whatever the page. Each button is
// cut off from its handler here, so that the count says only whether Return pressed it.
TEST_F(Navigation, ReturnOnAFocusedButtonPressesItOnEveryPage) {
    Activate();
    for (int page = 1; page <= 4; ++page) {
        const std::string panel = "Panel" + std::to_string(page);
        for (QPushButton* button : Find(panel.c_str())->findChildren<QPushButton*>()) {
            const std::string name = button->objectName().toStdString();
            QObject::disconnect(button, nullptr, form.get(), nullptr);
            form->ShowPage(page);
            button->show();
            button->setFocus();
            EXPECT_TRY(button->hasFocus()) << name;
            if (!button->hasFocus()) continue;
            QSignalSpy pressed(button, &QPushButton::clicked);
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(QApplication::focusWidget(), key);
            EXPECT_EQ(pressed.count(), 2) << name;
        }
    }
}

TEST_F(Navigation, ReturnOnTheFocusedStartButtonOpensItsWizard) {
    Activate();
    Find("But_P1_UpdatePlantrix")->setFocus();
    EXPECT_TRY(Find("But_P1_UpdatePlantrix")->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(form->Step(), WizardStep::PlantrixIntroduction);
    EXPECT_EQ(form->VisiblePage(), 3);
}

class Installation : public testsupport::WindowTest {};

TEST_F(Installation, NextConnectsAndCancelStartsOverWhileFilesAreMissing) {
    app::TForm1& w = Start();
    ASSERT_EQ(w.Step(), WizardStep::Installation);
    w.move(31, 47);
    const QPoint placed = w.pos();
    Click("But_P3_Next");
    EXPECT_EQ(w.VisiblePage(), 2);
    EXPECT_EQ(w.Step(), WizardStep::Installation);
    // The connection ended without the files: the whole start-up runs again.
    EXPECT_TRY(!w.FTPclient.IsActive());
    w.ServiceMode = true;
    Click("But_P2_Cancel");
    EXPECT_FALSE(w.ServiceMode);
    EXPECT_EQ(w.Step(), WizardStep::Installation);
    EXPECT_EQ(w.VisiblePage(), 3);
    EXPECT_EQ(Caption("But_P3_Cancel"), "Exit");
    EXPECT_FALSE(w.ProgramEndRequested);
    // The window stays where the user has it.
    EXPECT_EQ(w.pos(), placed);
}

TEST_F(Installation, WithALanguageFileTheExitButtonTakesTheLanguagesCancel) {
    folder.Write("default.lan", "Language=Deutsch\r\nVersion=1\r\n2=Abbrechen\r\n");
    app::TForm1& w = Start();
    EXPECT_EQ(w.Step(), WizardStep::Installation);
    EXPECT_EQ(Caption("But_P3_Cancel"), "Abbrechen");
    Click("But_P3_Cancel");
    EXPECT_TRUE(w.ProgramEndRequested);
}

class WizardCancel : public testsupport::WindowTest {};

TEST_F(WizardCancel, ClosesTheSerialPort) {
    testsupport::ScopedEnvironment ports("ARVEX_COM_PORTS", folder.Path());
    serialtest::PtyPeer terminal(folder.Path(), 3);
    InstallRequiredFiles();
    app::TForm1& w = Start();
    Click("But_P1_UpdatePlantrix");
    w.ComPort.SetComNumber(3);
    w.ComPort.SetOpen(true);
    ASSERT_TRUE(w.ComPort.Open());
    Click("But_P3_Cancel");
    EXPECT_FALSE(w.ComPort.Open());
    EXPECT_EQ(w.VisiblePage(), 1);
}

}  // namespace
