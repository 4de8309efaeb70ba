#pragma once
// The desktop port on a terminal: every message goes to standard error with
// its text unchanged (its line breaks as the terminal's); a run of more than
// a few files shows a progress line there when it is a terminal.

#include <chrono>
#include <iosfwd>

#include "engine/desktop.h"

namespace vellumar {

class TerminalDesktop : public Desktop {
  public:
    TerminalDesktop(std::ostream& err, bool progressLine)
        : err_(err), progressLine_(progressLine) {}

    using Desktop::message;
    void message(const std::string& text, Icon icon, const std::string& title) override;
    void progress(uint64_t done, uint64_t total, const std::string& current) override;

    // Runs of up to this many files show no progress line.
    static constexpr uint64_t kFewFiles = 5;

  private:
    void clearLine();

    std::ostream& err_;
    bool progressLine_;
    size_t shownWidth_ = 0;  // what the progress line covers now
    std::chrono::steady_clock::time_point lastShown_{};
};

}  // namespace vellumar
