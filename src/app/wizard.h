#pragma once
// The window's step and who handles it. Each flow (the update check, the two programming
// wizards, the sign-up) owns a set of steps; the Wizard holds the current step, changed
// only through SetStep, and hands Next, Cancel and a new selection to the flow that owns
// it. So what happens after Next is the owning flow's Next.
#include <vector>

#include "app/wizard_step.h"

namespace app {

class WizardFlow {
  public:
    virtual ~WizardFlow() = default;
    virtual bool OwnsStep(WizardStep step) const = 0;
    // Its first page; the update check returns to it when it was opened from there.
    virtual void Open() = 0;
    // The step Open leads to.
    virtual WizardStep Introduction() const = 0;
    // Next, in one of its steps.
    virtual void Next(WizardStep step) = 0;
    // The cancel (or Finish) button of the page it shows, in one of its steps.
    virtual void Cancel(WizardStep step) = 0;
    // Another entry of page 3's selection list was chosen.
    virtual void SelectionChanged(WizardStep step) { (void)step; }
};

// The window's four pages as the wizard sees them.
class WindowPages {
  public:
    virtual ~WindowPages() = default;
    // Brings page 1 to 4 to the front; any other number does nothing.
    virtual void ShowPage(int page) = 0;
    // The page in front, 1 to 4.
    virtual int VisiblePage() const = 0;
};

class Wizard {
  public:
    explicit Wizard(WindowPages& pages) : pages_(pages) {}
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // A flow that outlives the wizard; its steps are no other flow's.
    void AddFlow(WizardFlow& flow) { flows_.push_back(&flow); }

    WizardStep Step() const { return step_; }
    // Where the update check goes back to when it was opened from a flow's introduction.
    WizardStep ReturnStep() const { return returnStep_; }

    void SetStep(WizardStep step);
    // Goes to `step` remembering the current one, for Return.
    void Detour(WizardStep step);
    // Back to the introduction the detour left, or to the start page.
    void Return();
    // Page 1, step 0: every flow is left.
    void ToStartPage();

    void Next();
    void Cancel();
    void SelectionChanged();

  private:
    WizardFlow* FlowOwning(WizardStep step) const;

    WindowPages& pages_;
    std::vector<WizardFlow*> flows_;
    WizardStep step_ = WizardStep::StartPage;
    WizardStep returnStep_ = WizardStep::StartPage;
    // The flow whose step this is. Step 8 ends either programming wizard: it stays with
    // the one that went there.
    WizardFlow* owner_ = nullptr;
};

}  // namespace app
