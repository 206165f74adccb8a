// The host side of logging for tests: the executable exports outputLogString, as the client does,
// and every line the library writes is recorded here.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace OrvaneTest {

struct LogLine {
    std::string module;
    std::string text;
    std::string file;
    int line;
    int level;
};

// Lines received so far, in order.
std::vector<LogLine> loggedLines();
void clearLoggedLines();
// Runs after a line is recorded, inside the hook (for example to raise from the sink).
void setLogHookAction(std::function<void(const LogLine&)> action);

}  // namespace OrvaneTest
