#include "cli/ProgressBar.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace nomilo {

namespace {

constexpr double kShowAfter = 1.0;   // seconds of work before the bar shows
constexpr double kDrawEvery = 0.1;   // seconds between two drawings
constexpr std::size_t kWidth = 30;   // cells of the bar itself

} // namespace

double TProgressBar::SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TProgressBar::TProgressBar(std::FILE* terminal, std::size_t total, TClock clock)
    : terminal_(terminal), total_(total), clock_(std::move(clock)), start_(clock_()),
      nextDraw_(start_ + kShowAfter) {}

void TProgressBar::Advance(std::size_t done) {
    const double now = clock_();
    if (now < nextDraw_)
        return;
    nextDraw_ = now + kDrawEvery;
    Draw(done);
}

void TProgressBar::Draw(std::size_t done) {
    std::string line = "\r";
    if (total_ == 0) {
        line += std::to_string(done) + " done";
    } else {
        const std::size_t filled = std::min(done, total_) * kWidth / total_;
        line += '[';
        line.append(filled, '#');
        line.append(kWidth - filled, '.');
        line += "] " + std::to_string(done * 100 / total_) + "% " + std::to_string(done) + "/" +
                std::to_string(total_);
    }
    line += "\x1b[K";
    std::fputs(line.c_str(), terminal_);
    std::fflush(terminal_);
    shown_ = true;
}

void TProgressBar::Hide() {
    if (!shown_)
        return;
    std::fputs("\r\x1b[K", terminal_);
    std::fflush(terminal_);
    shown_ = false; // drawn again at the next tick
}

} // namespace nomilo
