#pragma once
// What a programming run shows while it works, without knowing the window: the progress
// bar, the searching animation that runs while it looks for the terminal, the information
// line and where the terminal was found.
#include <string>

namespace device {

class RunView {
  public:
    virtual ~RunView() = default;
    // `steps` not 0: the bar runs from 0 to `steps`, at 0 and shown; 0: hidden.
    virtual void SetupProgress(int steps) = 0;
    // One step further; the bar stops at its end.
    virtual void StepProgress() = 0;
    virtual void StopSearchAnimation() = 0;
    virtual void ShowInfo(const std::string& text) = 0;
    // The line that says where the terminal was found; empty hides it.
    virtual void ShowPortLine(const std::string& text) = 0;
};

}  // namespace device
