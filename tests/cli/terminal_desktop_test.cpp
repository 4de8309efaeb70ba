// The terminal port: message texts as they are, line breaks as the
// terminal's, and a progress line only for more than a few files, with the
// rate of the run once it has one.

#include "cli/terminal_desktop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>

namespace vellumar {
namespace {

TEST(TerminalDesktop, MessagesKeepTheirTextWithTheTerminalsLineBreaks) {
    std::ostringstream err;
    TerminalDesktop desktop(err, true);
    desktop.message("one\r\ntwo", Icon::none);
    desktop.message("a\rb\rc", Icon::information, "Error");
    EXPECT_EQ(err.str(), "one\ntwo\na\nb\nc\n");
}

TEST(TerminalDesktop, AProgressLineForMoreThanAFewFilesOnATerminalOnly) {
    for (bool terminal : {false, true}) {
        for (uint64_t total : {TerminalDesktop::kFewFiles, TerminalDesktop::kFewFiles + 1}) {
            std::ostringstream err;
            TerminalDesktop desktop(err, terminal);
            desktop.progress(0, total, "/data/first");
            desktop.message("Sorry", Icon::none);  // clears the line first
            desktop.progress(1, total, "/data/second");
            desktop.progress(total, total, {});
            const bool shown = terminal && total > TerminalDesktop::kFewFiles;
            const std::string first = "[0/" + std::to_string(total) + "] /data/first";
            const std::string second = "[1/" + std::to_string(total) + "] /data/second";
            const std::string blank(first.size(), ' '), blank2(second.size(), ' ');
            EXPECT_EQ(err.str(), shown ? "\r" + first + "\r" + blank + "\rSorry\n\r" + second +
                                             "\r" + blank2 + "\r"
                                       : "Sorry\n");
        }
    }
}

// The clock the test moves by hand.
struct TestClock {
    std::chrono::steady_clock::time_point now{};
    TerminalDesktop::Clock function() {
        return [this] { return now; };
    }
};

TEST(TerminalDesktop, TheLineShowsTheRateOfTheRunAndRedrawsAtMostTenTimesASecond) {
    using std::chrono::milliseconds;
    std::ostringstream err;
    TestClock clock;
    TerminalDesktop desktop(err, true, {}, clock.function());
    auto shown = [&err] {
        const std::string text = err.str();
        err.str("");
        return text;
    };
    desktop.progress(0, 10, "/data/a");
    EXPECT_EQ(shown(), "\r[0/10] /data/a");  // nothing worked through yet: no rate
    desktop.workedThrough(3'000'000);
    clock.now += milliseconds(50);
    desktop.progress(1, 10, "/data/b");
    EXPECT_EQ(shown(), "");  // too soon to draw again
    desktop.workedThrough(1'500'000);
    clock.now += milliseconds(1450);
    desktop.progress(2, 10, "/data/c");
    EXPECT_EQ(shown(), "\r[2/10] 3.0 MB/s /data/c");
    // A new run counts afresh; the shorter line blanks out the longer one.
    desktop.progress(0, 6, "/d");
    EXPECT_EQ(shown(), "");
    clock.now += milliseconds(100);
    desktop.workedThrough(250'000);
    clock.now += milliseconds(400);
    desktop.progress(1, 6, "/e");
    EXPECT_EQ(shown(), "\r[1/6] 0.5 MB/s /e" + std::string(6, ' '));
    desktop.progress(6, 6, {});
    EXPECT_EQ(shown(), "\r" + std::string(17, ' ') + "\r");
}

}  // namespace
}  // namespace vellumar
