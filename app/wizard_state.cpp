#include "app/wizard_state.h"

#include <algorithm>

namespace vellumar {

WizardState::WizardState()
    : stack_{Page::fraResult, Page::fraAbout, Page::fraSelect, Page::fraPassword} {}

void WizardState::bringToFront(Page page) {
    auto it = std::find(stack_.begin(), stack_.end(), page);
    std::rotate(it, it + 1, stack_.end());
}

Refused WizardState::passGate() {
    // The gate's answer may come while About lies over the password page.
    if (gatePassed_) return Refused::wrongPage;
    gatePassed_ = true;
    bringToFront(Page::fraSelect);
    return Refused::none;
}

Refused WizardState::choose(Option option) {
    if (!gatePassed_) return Refused::gateClosed;
    if (running_) return Refused::runInProgress;
    // An option button clicked late (its Alt letter animates the click)
    // must not change the operation of a page already open.
    if (page() != Page::fraSelect) return Refused::wrongPage;
    choice_ = option;
    return Refused::none;
}

Refused WizardState::next() {
    if (!gatePassed_) return Refused::gateClosed;
    if (running_) return Refused::runInProgress;
    if (page() != Page::fraSelect) return Refused::wrongPage;
    if (choice_ == Option::none) return Refused::nothingChosen;
    operation_ = choice_;
    bringToFront(Page::fraResult);
    return Refused::none;
}

Refused WizardState::back() {
    if (running_) return Refused::runInProgress;
    if (page() != Page::fraResult) return Refused::wrongPage;
    operation_ = Option::none;
    bringToFront(Page::fraSelect);
    return Refused::none;
}

Refused WizardState::openTargetPage(Option option) {
    if (!gatePassed_) return Refused::gateClosed;
    if (running_) return Refused::runInProgress;
    if (option == Option::none) return Refused::nothingChosen;
    choice_ = operation_ = option;
    bringToFront(Page::fraSelect);
    bringToFront(Page::fraResult);
    return Refused::none;
}

Refused WizardState::showAbout() {
    if (running_) return Refused::runInProgress;
    bringToFront(Page::fraAbout);
    return Refused::none;
}

Refused WizardState::closeAbout() {
    if (running_) return Refused::runInProgress;
    if (page() != Page::fraAbout) return Refused::wrongPage;
    std::rotate(stack_.begin(), stack_.end() - 1, stack_.end());
    return Refused::none;
}

Refused WizardState::mayEditTargets() const {
    if (!gatePassed_) return Refused::gateClosed;
    if (running_) return Refused::runInProgress;
    if (page() != Page::fraResult || operation_ == Option::none) return Refused::wrongPage;
    return Refused::none;
}

Refused WizardState::mayChangeFiles() const {
    if (!gatePassed_) return Refused::gateClosed;
    if (running_) return Refused::runInProgress;
    return Refused::none;
}

Refused WizardState::startRun(bool hasTargets) {
    if (const Refused refusal = mayEditTargets(); refusal != Refused::none) return refusal;
    if (!hasTargets) return Refused::nothingToRun;
    running_ = true;
    return Refused::none;
}

Refused WizardState::endRun() {
    if (!running_) return Refused::wrongPage;
    running_ = false;
    operation_ = Option::none;
    bringToFront(Page::fraSelect);
    return Refused::none;
}

}  // namespace vellumar
