#include "cli/terminal_desktop.h"

#include <cstdio>
#include <ostream>
#include <string>

namespace vellumar {
namespace {

constexpr size_t kLineWidth = 79;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

void TerminalDesktop::message(const std::string& text, Icon, const std::string&) {
    clearLine();
    // Lines joined by CR LF or by a lone CR end with LF on a terminal.
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            shown += text[i];
        } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
            shown += '\n';
        }
    }
    err_ << shown << '\n' << std::flush;
}

std::string TerminalDesktop::rateText(std::chrono::steady_clock::time_point now) const {
    const double seconds = std::chrono::duration<double>(now - runStarted_).count();
    if (bytes_ == 0 || seconds <= 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB/s ", static_cast<double>(bytes_) / 1e6 / seconds);
    return text;
}

void TerminalDesktop::progress(uint64_t done, uint64_t total, const std::string& current) {
    if (!progressLine_ || total <= kFewFiles) return;
    if (done >= total) {
        clearLine();
        return;
    }
    const auto now = clock_();
    // Each run starts at its first file (a folder command may make several).
    if (done == 0) {
        runStarted_ = now;
        bytes_ = 0;
    }
    if (shownWidth_ > 0 && now - lastShown_ < kRedrawInterval) return;
    lastShown_ = now;
    std::string line(1, '[');
    line.append(std::to_string(done)).append(1, '/').append(std::to_string(total)).append("] ");
    line.append(rateText(now));
    // The end of a long path is the part that tells the files apart.
    const size_t room = kLineWidth > line.size() ? kLineWidth - line.size() : 0;
    if (current.size() <= room) {
        line.append(current);
    } else {
        line.append("...").append(current, current.size() - room + 3, std::string::npos);
    }
    const size_t width = line.size();
    if (width < shownWidth_) line.append(shownWidth_ - width, ' ');
    err_ << '\r' << line << std::flush;
    shownWidth_ = width;
}

void TerminalDesktop::clearLine() {
    if (shownWidth_ == 0) return;
    err_ << '\r' << std::string(shownWidth_, ' ') << '\r' << std::flush;
    shownWidth_ = 0;
}

}  // namespace vellumar
