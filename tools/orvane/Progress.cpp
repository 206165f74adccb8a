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
}

TProgressDisplay::~TProgressDisplay() {
    if (drawn_) {
        fputc('\n', out_);
    }
}

OrvaneLib::ProgressCallback TProgressDisplay::callback() {
    return [this](uint32_t done, uint32_t total) { update(done, total); };
}

void TProgressDisplay::update(uint32_t done, uint32_t total) {
    if (!terminal_) {
        fprintf(out_, "progress %u/%u\n", static_cast<unsigned>(done),
                static_cast<unsigned>(total));
        fflush(out_);
        return;
    }
    uint32_t filled =
        total == 0 ? kBarWidth
                   : static_cast<uint32_t>(static_cast<uint64_t>(done < total ? done : total) *
                                           kBarWidth / total);
    std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '-');
    fprintf(out_, "\r[%s] %u/%u files", bar.c_str(), static_cast<unsigned>(done),
            static_cast<unsigned>(total));
    fflush(out_);
    drawn_ = true;
}

bool isTerminal(FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

}  // namespace OrvaneHost
