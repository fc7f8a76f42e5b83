#include "cli/console_run_view.h"

namespace cli {

ConsoleRunView::ConsoleRunView(Console& console)
    : console_(console), printer_(console, [this](int, int) {
          return progress_.TimeLeft(device::RunProgress::Clock::now());
      }) {}

void ConsoleRunView::SetupProgress(int steps) {
    progress_.Start(steps, device::RunProgress::Clock::now());
    printer_.Start(steps);
}

void ConsoleRunView::StepProgress() {
    progress_.Step();
    printer_.Step();
}

void ConsoleRunView::ShowInfo(const std::string& text) {
    // A run shows its information line again at each phase; the console says it once.
    if (text.empty() || text == lastInfo_) return;
    lastInfo_ = text;
    console_.Print(text);
}

void ConsoleRunView::ShowPortLine(const std::string& text) {
    // The search before the choice of the package and the run's own find the same port.
    if (text.empty() || text == lastPortLine_) return;
    lastPortLine_ = text;
    console_.Print(text);
}

}  // namespace cli
