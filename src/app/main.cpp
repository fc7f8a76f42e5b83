// Program entry: the application, its title, the one window and the event loop.
#include <QApplication>
#include <string>
#include <vector>

#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Solvenda Control Update"));
    // Docks and Wayland compositors match the window to its desktop entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("arvexupdate"));

    // Qt has taken its own options out of the arguments by now.
    std::vector<std::string> args;
    const QStringList all = QApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i) args.push_back(all[i].toStdString());

    app::TForm1 form(std::move(args));
    form.show();
    return QApplication::exec();
}
