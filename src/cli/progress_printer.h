#pragma once
// A run's progress on the console: on a terminal one bar drawn again in place, with the
// percentage, the frames sent of all and the time left; elsewhere (a pipe, a log file) a
// plain line at every tenth of the way, without control characters.
//
// The printer does not estimate the time left itself: the run's own estimate is handed in,
// so that the terminal and the window tell the same time.
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "cli/console.h"

namespace cli {

// The time left after `done` of `total` frames; nothing while it is not known yet.
using TimeLeftEstimate = std::function<std::optional<std::chrono::seconds>(int done, int total)>;

class ProgressPrinter {
  public:
    explicit ProgressPrinter(Console& console, TimeLeftEstimate timeLeft = {});

    // A run of `total` frames begins (0: the progress ends).
    void Start(int total);
    // One frame further; the count stops at the total.
    void Step();
    // The progress ends; what is printed next starts on a line of its own.
    void End();

  private:
    void Show();

    Console& console_;
    TimeLeftEstimate timeLeft_;
    int total_ = 0;
    int done_ = 0;
    int printedTenth_ = -1;  // the last tenth a plain line was printed for
};

// "1:05", "12:00", "1:02:03".
std::string FormatDuration(std::chrono::seconds duration);

// The bar's line and the plain line for `done` of `total` frames.
std::string BarLine(int done, int total, std::optional<std::chrono::seconds> left);
std::string PlainLine(int done, int total, std::optional<std::chrono::seconds> left);

}  // namespace cli
