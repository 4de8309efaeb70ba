#pragma once
// The desktop port on a terminal: every message goes to standard error with
// its text unchanged (its line breaks as the terminal's); a run of more than
// a few files shows a progress line there when it is a terminal: files done
// of the total, the rate, the current file.

#include <chrono>
#include <functional>
#include <iosfwd>
#include <utility>

#include "engine/runs/desktop.h"

namespace vellumar {

class TerminalDesktop : public Desktop {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    TerminalDesktop(std::ostream& err, bool progressLine,
                    std::function<bool()> cancelRequested = {},
                    Clock clock = std::chrono::steady_clock::now)
        : err_(err),
          progressLine_(progressLine),
          cancelRequested_(std::move(cancelRequested)),
          clock_(std::move(clock)) {}

    using Desktop::message;
    void message(const std::string& text, Icon icon, const std::string& title) override;
    void progress(uint64_t done, uint64_t total, const std::string& current) override;
    void workedThrough(uint64_t bytes) override { bytes_ += bytes; }
    bool cancelRequested() override { return cancelRequested_ && cancelRequested_(); }

    // Runs of up to this many files show no progress line.
    static constexpr uint64_t kFewFiles = 5;

  private:
    void clearLine();
    // "12.3 MB/s " once the run has worked through anything; empty before.
    std::string rateText(std::chrono::steady_clock::time_point now) const;

    std::ostream& err_;
    bool progressLine_;
    std::function<bool()> cancelRequested_;
    Clock clock_;
    size_t shownWidth_ = 0;  // what the progress line covers now
    std::chrono::steady_clock::time_point lastShown_{};
    std::chrono::steady_clock::time_point runStarted_{};
    uint64_t bytes_ = 0;  // worked through since the run started
};

}  // namespace vellumar
