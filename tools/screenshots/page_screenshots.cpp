// Renders each page of the window to a PNG, for checking the layout by eye:
//   arvex_page_screenshots OUTDIR [program arguments]
// It runs in the current folder as the program would, so start it in a program folder; the
// language is the one that folder's "default.lan" names.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <cstdio>

#include "app/main_window.h"
#include "platform/message_box.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [program arguments]\n", argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Solvenda Control Update"));
    platform::SetMessageAnswerer(
        [](const std::string&, const std::string& text, platform::MessageButtons) {
            std::fprintf(stderr, "message: %s\n", text.c_str());
            return platform::MessageAnswer::Ok;
        });
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    std::vector<std::string> args(argv + 2, argv + argc);
    app::TForm1 form(args);
    form.show();
    auto shoot = [&](const char* name) {
        QApplication::processEvents();
        form.grab().save(out + "/" + name + ".png");
    };
    const bool installing = form.Step() == app::WizardStep::Installation;
    shoot(installing ? "installation" : "start");
    form.But_P3_UpdateClick();
    shoot("update_intro");
    form.But_P3_NextClick();
    shoot("download");
    form.But_P1_UpdatePlantrixClick();
    shoot("plantrix_intro");
    form.But_P1_RegisterClick();
    shoot("newsletter");
    form.But_P4_cancelClick();
    form.Label_P1_VerDblClick();
    shoot("start_login");
    form.EnterServiceMode();
    shoot("start_service_mode");
    form.But_P1_UpdateTessaraClick();
    shoot("tessara_intro");
    return 0;
}
