#include "app/wizard.h"

#include <utility>

namespace app {

void Wizard::SetStep(WizardStep step) {
    step_ = step;
    if (owner_ == nullptr || !owner_->OwnsStep(step)) owner_ = FlowOwning(step);
}

void Wizard::Detour(WizardStep step) {
    returnStep_ = step_;
    SetStep(step);
}

void Wizard::Return() {
    const WizardStep back = std::exchange(returnStep_, WizardStep::StartPage);
    WizardFlow* flow = FlowOwning(back);
    if (flow != nullptr && flow->Introduction() == back) {
        flow->Open();
    } else {
        ToStartPage();
    }
}

void Wizard::ToStartPage() {
    pages_.ShowPage(1);
    // A return step left from an earlier detour must not send a later one astray.
    returnStep_ = WizardStep::StartPage;
    SetStep(WizardStep::StartPage);
}

void Wizard::Next() {
    if (owner_ != nullptr) owner_->Next(step_);
}

void Wizard::Cancel() {
    if (owner_ != nullptr) owner_->Cancel(step_);
}

void Wizard::SelectionChanged() {
    if (owner_ != nullptr) owner_->SelectionChanged(step_);
}

WizardFlow* Wizard::FlowOwning(WizardStep step) const {
    for (WizardFlow* flow : flows_)
        if (flow->OwnsStep(step)) return flow;
    return nullptr;
}

}  // namespace app
