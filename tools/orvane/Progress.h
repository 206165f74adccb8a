// The progress of a removal as the user sees it.
#pragma once

#include "lib/OrvaneLib.h"

#include <cstdio>

namespace OrvaneHost {

// On a terminal a bar redrawn in place; otherwise one plain line "progress DONE/TOTAL" per update.
class TProgressDisplay {
public:
    TProgressDisplay(FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
    // Ends the bar's line, when one was drawn.
    ~TProgressDisplay();
    TProgressDisplay(const TProgressDisplay&) = delete;
    TProgressDisplay& operator=(const TProgressDisplay&) = delete;

    // Valid while the display lives.
    OrvaneLib::ProgressCallback callback();

private:
    void update(uint32_t done, uint32_t total);

    FILE* out_;
    bool terminal_;
    bool drawn_ = false;
};

// Whether the stream is a terminal.
bool isTerminal(FILE* stream);

}  // namespace OrvaneHost
