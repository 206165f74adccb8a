#include "pal/inc/PalTesting.h"
#include "pal/inc/WinKernel.h"
#include "pal/src/Faults.h"

#include <atomic>

namespace {
std::atomic<unsigned> periodRequests{0};
}

MMRESULT WINAPI timeBeginPeriod(UINT periodMilliseconds) {
    LONG injected = 0;
    if (palFault("timeBeginPeriod", injected)) {
        return static_cast<MMRESULT>(injected);
    }
    if (periodMilliseconds == 0) {
        return TIMERR_NOCANDO;
    }
    ++periodRequests;
    return TIMERR_NOERROR;
}

unsigned palTimerPeriodRequests() {
    return periodRequests.load();
}
