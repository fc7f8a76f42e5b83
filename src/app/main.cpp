// Program entry: the arguments as given, the program folder, the application with its
// title, the one window and the event loop.
#include <QApplication>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_window.h"
#include "platform/files.h"

int main(int argc, char** argv) {
    std::vector<std::string> args = app::ProgramArguments(argc, argv);
    if (const auto answer = app::AnswerWithoutWindow(args)) {
        std::cout << *answer << std::flush;
        return std::cout ? 0 : 1;
    }

    // Every file of the program lives in its working directory; without one it would
    // fall back to the file system's root.
    std::string why;
    if (!platform::WorkingDirectory(&why)) {
        std::cerr << "ArvexUpdate cannot start: its working directory cannot be read (" << why
                  << "). The program keeps its files in the folder it is started in; start it "
                     "in a folder that exists and that you may read.\n";
        return 1;
    }

    // The toolkit is given the program's name alone, so that no argument is taken as one
    // of its own options.
    char fallbackName[] = "ArvexUpdate";
    int toolkitArgc = 1;
    char* toolkitArgv[] = {argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    QApplication application(toolkitArgc, toolkitArgv);
    QApplication::setApplicationName(QStringLiteral("Solvenda Control Update"));
    // Docks and Wayland compositors match the window to its desktop entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("arvexupdate"));

    app::TForm1 form(std::move(args));
    form.show();
    return QApplication::exec();
}
