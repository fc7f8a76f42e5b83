#pragma once
// A program folder and a window started in it, as the program starts in its working
// directory; message boxes are answered and recorded.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest/QTest>
#include <memory>

#include "app/clickable_label.h"
#include "app/main_window.h"
#include "message_recorder.h"
#include "temp_folder.h"

namespace testsupport {

class WindowTest : public ::testing::Test {
protected:
    // Puts the files whose absence opens the Installation page into the folder.
    void InstallRequiredFiles() {
        for (const char* f : {"ZipEngine.so", "BLaz60A.prg", "BLdg128A.prg", "BLS12G128.prg"})
            folder.Write(f, "");
    }
    app::TForm1& Start(std::vector<std::string> args = {}) {
        form = std::make_unique<app::TForm1>(std::move(args));
        form->show();
        return *form;
    }
    static std::string Caption(const QLabel* l) { return l->text().toStdString(); }
    static std::string Caption(const QPushButton* b) { return b->text().toStdString(); }
    static void Click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

    TempFolder folder;
    WorkingDirectory cwd{folder.Path()};
    MessageRecorder messages;
    std::unique_ptr<app::TForm1> form;
};

}  // namespace testsupport
