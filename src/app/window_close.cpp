// Leaving the program: the Exit button, and the window's close from wherever it comes. A
// close must not leave a run writing to the terminal unseen, nor a handler waiting behind
// a window that is gone.
#include <QCloseEvent>
#include <QCoreApplication>

#include "app/main_window.h"
#include "platform/message_wait.h"

namespace app {

namespace {
const char* const kStopRunQuestion =
    "The terminal is being programmed.\n\n"
    "Stop programming and close the program? The terminal is then left without a complete "
    "firmware and has to be programmed again.";
}  // namespace

void TForm1::closeEvent(QCloseEvent* event) {
    if (link_->Writing() && UserMessages.Show(kStopRunQuestion, platform::MessageButtons::YesNo,
                                              {}) != platform::MessageAnswer::Yes) {
        event->ignore();
        return;
    }
    // The run stops between two frames and lets go of the port while the window can still
    // process the close; then every wait below this handler returns, so the program ends
    // as soon as they have unwound.
    link_->Abandon();
    link_->ClosePort();
    platform::EndMessageWaits();
    event->accept();
}

void TForm1::RequestProgramEnd() {
    ProgramEndRequested = true;
    close();
    QCoreApplication::quit();
}

void TForm1::But_P1_ExitClick() { RequestProgramEnd(); }

}  // namespace app
