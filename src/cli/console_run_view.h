#pragma once
// A programming run's view on the console: the lines it shows go to standard output, its
// progress to a ProgressPrinter, which is handed the run's own time-left estimate, the one
// the window shows beside its bar.
#include "cli/console.h"
#include "cli/progress_printer.h"
#include "device/run_progress.h"
#include "device/run_view.h"

namespace cli {

class ConsoleRunView : public device::RunView {
  public:
    explicit ConsoleRunView(Console& console);

    void SetupProgress(int steps) override;
    void StepProgress() override;
    // Nothing moves on a console while the search runs.
    void StopSearchAnimation() override {}
    void ShowInfo(const std::string& text) override;
    void ShowPortLine(const std::string& text) override;
    // The bar's line is left as it stands; what follows goes below it.
    void EndProgress() { printer_.End(); }

  private:
    Console& console_;
    device::RunProgress progress_;
    ProgressPrinter printer_;
    std::string lastInfo_;
    std::string lastPortLine_;
};

}  // namespace cli
