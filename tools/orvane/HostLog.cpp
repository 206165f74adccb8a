#include "tools/orvane/HostLog.h"

#include "Common/General/TLogSystem.h"

#include <cstdint>
#include <cstdio>
#include <mutex>

namespace {

std::mutex logMutex;
bool verboseLog = false;
std::string lastText;

const char* levelName(int32_t level) {
    switch (level) {
        case 0:
            return "info";
        case 1:
            return "error";
        case 2:
            return "warning";
        default:
            return "level?";
    }
}

}  // namespace

// Looked up by name in the executable: exported on Windows, and listed in the dynamic symbol table
// elsewhere (the link's dynamic list holds this one name).
extern "C" ORVANE_HOST_EXPORT void outputLogString(const char* module, const char* text,
                                                   const char* file, int32_t line, int32_t level) {
    std::string message = text != nullptr ? text : "";
    if (!message.empty() && message.back() == '\n') {
        message.pop_back();
    }
    std::lock_guard<std::mutex> lock(logMutex);
    lastText = message;
    if (verboseLog || level == 1 || level == 2) {
        fprintf(stderr, "%s %s: %s [%s:%d]\n", module != nullptr ? module : "", levelName(level),
                message.c_str(), file != nullptr ? file : "", static_cast<int>(line));
    }
}

namespace OrvaneHost {

void setVerboseLog(bool verbose) {
    std::lock_guard<std::mutex> lock(logMutex);
    verboseLog = verbose;
}

std::string lastLogText() {
    std::lock_guard<std::mutex> lock(logMutex);
    return lastText;
}

}  // namespace OrvaneHost
