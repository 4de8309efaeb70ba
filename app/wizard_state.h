#pragma once
// The wizard's state: the page in front, the operation of the target page,
// the choice on the choice page, whether the password gate was passed and
// whether a run is in progress. Only the transitions below change it, so the
// page a person sees and the operation that runs are read from one place.
// A transition that makes no sense where the wizard stands is refused, says
// why, and changes nothing; events are applied in the order they arrive.

#include <vector>

namespace vellumar {

// The four wizard pages, in the order they are stacked when the window is
// built (the last one on top).
enum class Page { fraResult, fraAbout, fraSelect, fraPassword };

// The four operations, named after their option buttons.
enum class Option { none, OptEncFiles, OptDecFiles, OptEncFolder, OptDecFolder };

enum class Refused {
    none,           // applied
    gateClosed,     // the password has not been given yet
    runInProgress,  // only the run's own end (and its Cancel) act meanwhile
    wrongPage,      // the page in front has no such control
    nothingChosen,  // Next with no operation chosen
    nothingToRun,   // the run button with an empty target list
};

class WizardState {
  public:
    WizardState();

    Page page() const { return stack_.back(); }
    // Bottom first; the window raises them in this order.
    const std::vector<Page>& stack() const { return stack_; }
    bool gatePassed() const { return gatePassed_; }
    // The option button checked on the choice page.
    Option choice() const { return choice_; }
    // What the target page adds and runs: set by Next, none once the page
    // is left. The About page may lie over it meanwhile.
    Option operation() const { return operation_; }
    bool running() const { return running_; }

    // The password was accepted (or the key restored): the choice page.
    Refused passGate();
    // An option button, clicked or reached by its Alt letter.
    Refused choose(Option option);
    // Next: the target page of the chosen operation.
    Refused next();
    // Back: the choice page again, with the choice kept.
    Refused back();
    // Paths handed over from outside (a later start): the target page of
    // `option`, whatever page was in front.
    Refused openTargetPage(Option option);
    Refused showAbout();
    // The About page's OK: the page under it.
    Refused closeAbout();
    // Add, Clear and drops change the target list of the page in front.
    Refused mayEditTargets() const;
    // A menu entry or dialog that changes files without a page of its own
    // (Find Locked Items).
    Refused mayChangeFiles() const;
    Refused startRun(bool hasTargets);
    // Every run ends on the choice page, whatever happened.
    Refused endRun();

  private:
    void bringToFront(Page page);

    std::vector<Page> stack_;
    bool gatePassed_ = false;
    Option choice_ = Option::none;
    Option operation_ = Option::none;
    bool running_ = false;
};

}  // namespace vellumar
