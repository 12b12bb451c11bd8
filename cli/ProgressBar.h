#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>

namespace nomilo {

// A bar on one terminal line that tells how far a long batch is: it shows only once the batch
// has run longer than a second, and is drawn again at most ten times a second, so a short batch
// never shows it and a long one pays almost nothing for it.
class TProgressBar {
public:
    // Seconds on a clock that never goes back.
    using TClock = std::function<double()>;

    // A bar on `terminal` for `total` steps (0: not known, only the steps done are counted);
    // the clock starts now.
    TProgressBar(std::FILE* terminal, std::size_t total, TClock clock = SteadySeconds);

    // `done` steps of the total are done.
    void Advance(std::size_t done);
    // Takes the bar off its line (before other text is written there, and at the end); the next
    // Advance draws it again.
    void Hide();
    bool Shown() const { return shown_; }

    static double SteadySeconds();

private:
    void Draw(std::size_t done);

    std::FILE* terminal_;
    std::size_t total_;
    TClock clock_;
    double start_;
    double nextDraw_;
    bool shown_ = false;
};

} // namespace nomilo
