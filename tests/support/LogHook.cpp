#include "support/LogHook.h"

#include "Common/General/TLogSystem.h"

#include <mutex>

namespace {
std::mutex linesMutex;
std::vector<OrvaneTest::LogLine> lines;
std::function<void(const OrvaneTest::LogLine&)> hookAction;
}  // namespace

extern "C" ORVANE_HOST_EXPORT void outputLogString(const char* module, const char* text,
                                                   const char* file, int line, int level) {
    OrvaneTest::LogLine entry{module ? module : "", text ? text : "", file ? file : "", line,
                              level};
    std::function<void(const OrvaneTest::LogLine&)> action;
    {
        std::lock_guard<std::mutex> lock(linesMutex);
        lines.push_back(entry);
        action = hookAction;
    }
    if (action) {
        action(entry);
    }
}

namespace OrvaneTest {

std::vector<LogLine> loggedLines() {
    std::lock_guard<std::mutex> lock(linesMutex);
    return lines;
}

void clearLoggedLines() {
    std::lock_guard<std::mutex> lock(linesMutex);
    lines.clear();
}

void setLogHookAction(std::function<void(const LogLine&)> action) {
    std::lock_guard<std::mutex> lock(linesMutex);
    hookAction = std::move(action);
}

}  // namespace OrvaneTest
