#include "tools/orvane/Progress.h"

#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace OrvaneHost {

namespace {
constexpr uint32_t kBarWidth = 30;
constexpr std::chrono::milliseconds kRedrawInterval(50);
constexpr std::chrono::seconds kLineInterval(1);
}  // namespace

TProgressDisplay::~TProgressDisplay() {
    if (!(latest_ == shown_)) {
        show(latest_, clock_());
    }
    if (drawn_ && terminal_) {
        fputc('\n', out_);
    }
}

OrvaneLib::ProgressCallback TProgressDisplay::callback() {
    return [this](uint32_t done, uint32_t total) { update({done, total}); };
}

void TProgressDisplay::update(TState state) {
    latest_ = state;
    const auto now = clock_();
    if (due(state, now)) {
        show(state, now);
    }
}

bool TProgressDisplay::due(TState state, std::chrono::steady_clock::time_point now) const {
    if (!drawn_) {
        return true;
    }
    if (state == shown_) {
        return false;
    }
    if (state.done >= state.total) {
        return true;
    }
    if (terminal_) {
        return now - shownAt_ >= kRedrawInterval;
    }
    const uint64_t advance = state.done > shown_.done ? state.done - shown_.done : 0;
    return advance * 10 >= state.total || now - shownAt_ >= kLineInterval;
}

void TProgressDisplay::show(TState state, std::chrono::steady_clock::time_point now) {
    const unsigned done = state.done;
    const unsigned total = state.total;
    if (terminal_) {
        const uint32_t filled =
            total == 0 ? kBarWidth
                       : static_cast<uint32_t>(static_cast<uint64_t>(done < total ? done : total) *
                                               kBarWidth / total);
        const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '-');
        fprintf(out_, "\r[%s] %u/%u files", bar.c_str(), done, total);
    } else {
        fprintf(out_, "progress %u/%u\n", done, total);
    }
    fflush(out_);
    drawn_ = true;
    shown_ = state;
    shownAt_ = now;
}

bool isTerminal(FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

}  // namespace OrvaneHost
