#include <gtest/gtest.h>

#include "window_fixture.h"

namespace {

class Login : public testsupport::WindowTest {
protected:
    void SetUp() override {
        InstallRequiredFiles();
        Start();
    }
    void OpenLogin() {
        QTest::mouseDClick(form->Label_P1_Ver, Qt::LeftButton);
        ASSERT_TRUE(form->Edit_P1_Password->isVisible());
    }
    void Type(const QString& text) { QTest::keyClicks(form->Edit_P1_Password, text); }
};

TEST_F(Login, DoubleClickOnTheVersionShowsAnEmptyCodeField) {
    app::TForm1& w = *form;
    EXPECT_FALSE(w.Edit_P1_Password->isVisible());
    OpenLogin();
    EXPECT_TRUE(w.Label_P1_Password->isVisible());
    EXPECT_TRUE(w.But_P1_Login->isVisible());
    EXPECT_EQ(w.Edit_P1_Password->echoMode(), QLineEdit::Password);
    Type("abc");
    OpenLogin();
    EXPECT_TRUE(w.Edit_P1_Password->text().isEmpty());
}

TEST_F(Login, TheRightCodeWithBlanksSwitchesServiceModeOn) {
    app::TForm1& w = *form;
    OpenLogin();
    Type("  QKTD ");
    Click(w.But_P1_Login);
    EXPECT_TRUE(w.ServiceMode);
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Successfully logged in! Please search for updates to get "
                                       "the latest test versions."});
    EXPECT_FALSE(w.Edit_P1_Password->isVisible());
    EXPECT_FALSE(w.But_P1_Login->isVisible());
    EXPECT_TRUE(w.Label_ServiceMode->isVisible());
    EXPECT_TRUE(w.But_P1_UpdateTessara->isVisible());
    // Once on, the version label no longer offers the login.
    QTest::mouseDClick(w.Label_P1_Ver, Qt::LeftButton);
    EXPECT_FALSE(w.Edit_P1_Password->isVisible());
}

TEST_F(Login, EnterInTheFieldLogsInLikeTheButton) {
    OpenLogin();
    Type("QKTD");
    QTest::keyClick(form->Edit_P1_Password, Qt::Key_Return);
    EXPECT_TRUE(form->ServiceMode);
    EXPECT_EQ(messages.boxes.size(), 1u);
}

TEST_F(Login, AWrongCodeIsSelectedSoTypingReplacesIt) {
    app::TForm1& w = *form;
    for (const char* code : {"qktd", "", "   ", "QKT"}) {
        OpenLogin();
        Type(code);
        Click(w.But_P1_Login);
        EXPECT_FALSE(w.ServiceMode) << code;
        EXPECT_EQ(messages.boxes.back().text, "Wrong password, try again!");
        EXPECT_TRUE(w.Edit_P1_Password->isVisible());
    }
    OpenLogin();
    Type("wrong");
    Click(w.But_P1_Login);
    EXPECT_EQ(w.Edit_P1_Password->selectedText(), "wrong");
    Type("QKTD");
    EXPECT_EQ(w.Edit_P1_Password->text(), "QKTD");
    QTest::keyClick(w.Edit_P1_Password, Qt::Key_Enter);
    EXPECT_TRUE(w.ServiceMode);
}

}  // namespace
