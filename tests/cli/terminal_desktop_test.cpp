// The terminal port: message texts as they are, line breaks as the
// terminal's, and a progress line only for more than a few files.

#include "cli/terminal_desktop.h"

#include <gtest/gtest.h>

#include <sstream>

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

}  // namespace
}  // namespace vellumar
