#pragma once
// Page 3 as the wizards use it: the headlines, the information and bottom lines, the
// selection list, the buttons, the searching animation and the progress bar. The window
// implements it over its controls; the wizards never touch a control.
#include <string>
#include <vector>

#include "device/run_view.h"

namespace app {

class WizardPage : public device::RunView {
  public:
    virtual void SetHeadline(const std::string& text) = 0;
    virtual void SetHeadline2(const std::string& text) = 0;
    virtual void SetBaseline(const std::string& text) = 0;
    // The selection list at its place in the selection steps, holding `entries` with
    // `selected` chosen (-1: none).
    virtual void ShowChoices(const std::vector<std::string>& entries, int selected) = 0;
    virtual void HideChoices() = 0;
    // The chosen entry's index, -1 when none is chosen.
    virtual int ChosenIndex() const = 0;
    virtual std::string ChoiceAt(int index) const = 0;
    virtual void ShowNext(bool shown) = 0;
    virtual void ShowUpdateButton(bool shown) = 0;
    virtual void SetCancel(const std::string& caption, bool enabled) = 0;
    // Starts the searching animation from no dots; the run stops it once it found the port.
    virtual void StartSearchAnimation() = 0;
};

}  // namespace app
