#pragma once
// A program folder and a window started in it, as the program starts in its working
// directory; message boxes are answered and recorded. Controls are found by their names in
// the layout, as a user finds them by what they show.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QtTest/QTest>
#include <memory>
#include <stdexcept>

#include "app/main_window.h"
#include "message_recorder.h"
#include "platform/message_wait.h"
#include "scoped_environment.h"
#include "temp_folder.h"

// Wait, processing events, until the condition holds (at most 5 s), then check it. This is
// QTRY_VERIFY / QTRY_COMPARE's wait (QTest::qWaitFor); those macros themselves report into
// QtTest's own log, which a GoogleTest run never reads, so a failure would go unnoticed.
#define EXPECT_TRY(condition) \
    EXPECT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, 5000)) << #condition
#define EXPECT_TRY_EQ(actual, expected)                                      \
    do {                                                                     \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, 5000); \
        EXPECT_EQ(actual, expected);                                         \
    } while (false)

namespace testsupport {

class WindowTest : public ::testing::Test {
protected:
    static constexpr const char* kRequiredFiles[] = {"ZipEngine.so", "BLaz60A.prg", "BLdg128A.prg",
                                                     "BLS12G128.prg"};
    // Puts the files whose absence opens the Installation page into the folder.
    void InstallRequiredFiles() {
        for (const char* f : kRequiredFiles) folder.Write(f, "");
    }
    app::TForm1& Start(std::vector<std::string> args = {}) {
        form.reset();
        // A window closed earlier in the process ended every wait; this start is a new program.
        platform::ResumeMessageWaits();
        form = std::make_unique<app::TForm1>(std::move(args));
        form->show();
        return *form;
    }
    // Shows the window and gives it the keyboard, for tests that type or move the focus.
    void Activate() {
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // The control of that name and kind; a test that names a missing one fails.
    template <typename T = QWidget>
    T* Find(const char* name) const {
        T* control = form->findChild<T*>(QLatin1String(name));
        if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return control;
    }
    std::string Caption(const char* name) const {
        QWidget* w = Find(name);
        if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
        if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
        throw std::runtime_error(std::string("no caption on ") + name);
    }
    bool Shown(const char* name) const { return Find(name)->isVisible(); }
    void Click(const char* name) const {
        QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton);
    }
    // Page 2's status log, line by line.
    std::vector<std::string> StatusLines() const {
        std::vector<std::string> lines;
        const auto* log = Find<QListWidget>("ListBox_P2");
        for (int i = 0; i < log->count(); ++i) lines.push_back(log->item(i)->text().toStdString());
        return lines;
    }

    TempFolder folder;
    WorkingDirectory cwd{folder.Path()};
    // A window that connects meets a refusal at once, never the compiled-in server.
    ScopedEnvironment refusingServer{"ARVEX_FTP_SERVER", "127.0.0.1:1"};
    MessageRecorder messages;
    std::unique_ptr<app::TForm1> form;
};

}  // namespace testsupport
