#include "Common/General/TLogSystem.h"
#include "win32/Win32Api.h"

#include "support/LogHook.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

namespace OrvaneLib {
namespace {

TEST(LogSystem, HeadFirstKeepingTheLastErrorSilencedByANegativeModeAndFreeAfterARaisingSink) {
    TLogSystem log;
    log.addStrategy(new TCurrentProcessLogStrategy("A"));
    log.addStrategy(new TCurrentProcessLogStrategy("B"));
    OrvaneTest::clearLoggedLines();
    // Each sink sets a last error of its own; "A" throws on the text "y".
    OrvaneTest::setLogHookAction([](const OrvaneTest::LogLine& line) {
        SetLastError(99);
        if (line.module == "A" && line.text == "y\n") {
            throw std::runtime_error("sink failed");
        }
    });
    SetLastError(1234);
    log.write("x\n", "f", 1, 0);
    EXPECT_EQ(GetLastError(), 1234u);
    log.setMode(-1);
    log.write("silenced\n", "f", 1, 0);
    log.setMode(0);
    EXPECT_THROW(log.write("y\n", "f", 1, 0), std::runtime_error);
    EXPECT_EQ(GetLastError(), 1234u);
    OrvaneTest::setLogHookAction(nullptr);
    // Another thread would block for ever if the mutex were still owned here.
    auto other = std::async(std::launch::async, [&log] { log.write("z\n", "f", 2, 0); });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    std::vector<std::string> record;
    for (const OrvaneTest::LogLine& line : OrvaneTest::loggedLines()) {
        record.push_back(line.module + ":" + line.text);
    }
    EXPECT_EQ(record,
              (std::vector<std::string>{"B:x\n", "A:x\n", "B:y\n", "A:y\n", "B:z\n", "A:z\n"}));
}

}  // namespace
}  // namespace OrvaneLib
