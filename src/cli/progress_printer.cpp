#include "cli/progress_printer.h"

#include <algorithm>

namespace cli {

namespace {

// The whole line stays within 80 columns, for the widest counts a run has.
constexpr int kBarWidth = 30;

int Percent(int done, int total) {
    return total <= 0 ? 0 : static_cast<int>(static_cast<long long>(done) * 100 / total);
}

std::string Counts(int done, int total, std::optional<std::chrono::seconds> left) {
    std::string text = std::to_string(Percent(done, total)) + " %  " + std::to_string(done) + "/" +
                       std::to_string(total) + " frames";
    if (left) text += "  " + FormatDuration(*left) + " left";
    return text;
}

}  // namespace

std::string FormatDuration(std::chrono::seconds duration) {
    const long long total = std::max<long long>(duration.count(), 0);
    const long long hours = total / 3600, minutes = total / 60 % 60, seconds = total % 60;
    auto twoDigits = [](long long n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return hours > 0 ? std::to_string(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds)
                     : std::to_string(minutes) + ":" + twoDigits(seconds);
}

std::string BarLine(int done, int total, std::optional<std::chrono::seconds> left) {
    const int filled =
        total <= 0 ? 0 : static_cast<int>(static_cast<long long>(done) * kBarWidth / total);
    std::string percent = std::to_string(Percent(done, total));
    return "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] " +
           std::string(3 - std::min<size_t>(percent.size(), 3), ' ') + Counts(done, total, left);
}

std::string PlainLine(int done, int total, std::optional<std::chrono::seconds> left) {
    return "Progress: " + Counts(done, total, left);
}

ProgressPrinter::ProgressPrinter(Console& console, TimeLeftEstimate timeLeft)
    : console_(console), timeLeft_(std::move(timeLeft)) {}

void ProgressPrinter::Start(int total) {
    End();
    if (total <= 0) return;
    total_ = total;
    done_ = 0;
    printedTenth_ = -1;
    Show();
}

void ProgressPrinter::Step() {
    if (total_ == 0 || done_ >= total_) return;
    ++done_;
    Show();
}

void ProgressPrinter::End() {
    if (total_ != 0 && console_.OutputIsTerminal()) console_.EndRedrawn();
    total_ = 0;
}

void ProgressPrinter::Show() {
    const std::optional<std::chrono::seconds> left =
        timeLeft_ ? timeLeft_(done_, total_) : std::nullopt;
    if (console_.OutputIsTerminal()) {
        console_.Redraw(BarLine(done_, total_, left));
        return;
    }
    const int tenth = Percent(done_, total_) / 10;
    if (tenth == printedTenth_) return;
    printedTenth_ = tenth;
    console_.Print(PlainLine(done_, total_, left));
}

}  // namespace cli
