#include "lib/LibraryFixture.h"

#include <thread>

namespace OrvaneTest {
namespace {

// Each test runs in a process of its own, so the calls here are the process's first. The timer
// resolution was raised once, at load.
TEST(Initialization, ConcurrentFirstCallsInstallOneSink) {
#ifndef _WIN32
    EXPECT_EQ(palTimerPeriodRequests(), 1u);
#endif
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([] { createClient(); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    clearLoggedLines();
    OrvaneLib::TArray<OrvaneLib::TString> games;
    getInstalledGames(games);  // no record yet: one log line from each installed sink
    auto lines = loggedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].module + " " + std::to_string(lines[0].level), "Orvane.dll 0");
#ifndef _WIN32
    EXPECT_EQ(palTimerPeriodRequests(), 1u);
#endif
}

}  // namespace
}  // namespace OrvaneTest
