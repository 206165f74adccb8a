// The progress of a removal as the user sees it.
#pragma once

#include "lib/OrvaneLib.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>

namespace OrvaneHost {

// On a terminal a bar redrawn in place, about 20 times a second at most; otherwise plain lines
// "progress DONE/TOTAL": the first update, each further tenth of the total or second, and the last.
class TProgressDisplay {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    TProgressDisplay(FILE* out, bool terminal, TClock clock = std::chrono::steady_clock::now)
        : out_(out), terminal_(terminal), clock_(std::move(clock)) {}
    // Shows the last update when it was held back, and ends the bar's line.
    ~TProgressDisplay();
    TProgressDisplay(const TProgressDisplay&) = delete;
    TProgressDisplay& operator=(const TProgressDisplay&) = delete;

    // Valid while the display lives.
    OrvaneLib::ProgressCallback callback();

private:
    struct TState {
        uint32_t done = 0;
        uint32_t total = 0;
        bool operator==(const TState& other) const {
            return done == other.done && total == other.total;
        }
    };

    void update(TState state);
    bool due(TState state, std::chrono::steady_clock::time_point now) const;
    void show(TState state, std::chrono::steady_clock::time_point now);

    FILE* out_;
    bool terminal_;
    TClock clock_;
    bool drawn_ = false;
    TState shown_;
    TState latest_;
    std::chrono::steady_clock::time_point shownAt_;
};

// Whether the stream is a terminal.
bool isTerminal(FILE* stream);

}  // namespace OrvaneHost
