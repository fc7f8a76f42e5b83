#include <gtest/gtest.h>

#include <QLineEdit>

#include "window_fixture.h"

namespace {

class Login : public testsupport::WindowTest {
  protected:
    void SetUp() override {
        InstallRequiredFiles();
        Start();
    }
    QLineEdit* Field() const { return Find<QLineEdit>("Edit_P1_Password"); }
    void OpenLogin() {
        QTest::mouseDClick(Find("Label_P1_Ver"), Qt::LeftButton);
        ASSERT_TRUE(Field()->isVisible());
    }
    void Type(const QString& text) { QTest::keyClicks(Field(), text); }
};

TEST_F(Login, DoubleClickOnTheVersionShowsAnEmptyCodeField) {
    Activate();
    EXPECT_FALSE(Field()->isVisible());
    OpenLogin();
    EXPECT_TRUE(Shown("Label_P1_Password"));
    EXPECT_TRUE(Shown("But_P1_Login"));
    EXPECT_EQ(Field()->echoMode(), QLineEdit::Password);
    EXPECT_TRY(Field()->hasFocus());
    Type("abc");
    OpenLogin();
    EXPECT_TRUE(Field()->text().isEmpty());
}

TEST_F(Login, TheRightCodeWithBlanksSwitchesServiceModeOn) {
    app::TForm1& w = *form;
    OpenLogin();
    Type("  QKTD ");
    Click("But_P1_Login");
    EXPECT_TRUE(w.ServiceMode);
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Successfully logged in! Please search for updates to get "
                                       "the latest test versions."});
    EXPECT_FALSE(Field()->isVisible());
    EXPECT_FALSE(Shown("But_P1_Login"));
    EXPECT_TRUE(Shown("Label_ServiceMode"));
    EXPECT_TRUE(Shown("But_P1_UpdateTessara"));
    // Once on, the version label no longer offers the login.
    QTest::mouseDClick(Find("Label_P1_Ver"), Qt::LeftButton);
    EXPECT_FALSE(Field()->isVisible());
}

// Return in the field logs in once: the buttons that take Return when focused do not take
// it from the field as well.
TEST_F(Login, ReturnInTheFieldLogsInOnceLikeTheButton) {
    Activate();
    OpenLogin();
    EXPECT_TRY(Field()->hasFocus());
    Type("nope");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Wrong password, try again!"});
    EXPECT_TRY(Field()->hasFocus());
    EXPECT_EQ(form->VisiblePage(), 1);

    Type("QKTD");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(form->ServiceMode);
    EXPECT_EQ(messages.boxes.size(), 2u);
    EXPECT_EQ(form->VisiblePage(), 1);
}

TEST_F(Login, AWrongCodeIsSelectedSoTypingReplacesIt) {
    app::TForm1& w = *form;
    for (const char* code : {"qktd", "", "   ", "QKT"}) {
        OpenLogin();
        Type(code);
        Click("But_P1_Login");
        EXPECT_FALSE(w.ServiceMode) << code;
        EXPECT_EQ(messages.boxes.back().text, "Wrong password, try again!");
        EXPECT_TRUE(Field()->isVisible());
    }
    OpenLogin();
    Type("wrong");
    Click("But_P1_Login");
    EXPECT_EQ(Field()->selectedText(), "wrong");
    Type("QKTD");
    EXPECT_EQ(Field()->text(), "QKTD");
    QTest::keyClick(Field(), Qt::Key_Enter);
    EXPECT_TRUE(w.ServiceMode);
}

}  // namespace
