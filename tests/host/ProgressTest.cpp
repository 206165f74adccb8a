// What the host shows of a removal's progress, driven with a fake clock.
#include "tools/orvane/Progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using OrvaneHost::TProgressDisplay;
using namespace std::chrono_literals;

namespace {

struct TUpdate {
    std::chrono::milliseconds at;
    uint32_t done;
    uint32_t total;
};

struct TProgressCase {
    const char* name;
    bool terminal;
    std::vector<TUpdate> updates;
    std::string shown;
};

// Every update a removal of `total` objects makes, `step` apart.
std::vector<TUpdate> steady(uint32_t total, std::chrono::milliseconds step) {
    std::vector<TUpdate> updates;
    for (uint32_t done = 0; done <= total; ++done) {
        updates.push_back({step * done, done, total});
    }
    return updates;
}

std::string bar(unsigned filled, const std::string& count) {
    return "\r[" + std::string(filled, '#') + std::string(30 - filled, '-') + "] " + count +
           " files";
}

std::string lines(const std::vector<unsigned>& done, unsigned total) {
    std::string text;
    for (unsigned value : done) {
        text += "progress " + std::to_string(value) + "/" + std::to_string(total) + "\n";
    }
    return text;
}

class ProgressTest : public ::testing::TestWithParam<TProgressCase> {};

TEST_P(ProgressTest, ShowsWhatTheCaseSays) {
    const TProgressCase& row = GetParam();
    std::unique_ptr<FILE, decltype(&fclose)> out(tmpfile(), &fclose);
    ASSERT_TRUE(out);
    std::chrono::steady_clock::time_point now;
    {
        TProgressDisplay display(out.get(), row.terminal, [&now] { return now; });
        OrvaneLib::ProgressCallback callback = display.callback();
        for (const TUpdate& update : row.updates) {
            now = std::chrono::steady_clock::time_point(update.at);
            callback(update.done, update.total);
        }
    }
    std::string shown(static_cast<size_t>(ftell(out.get())), '\0');
    rewind(out.get());
    ASSERT_EQ(shown.size(), fread(shown.data(), 1, shown.size(), out.get()));
    EXPECT_EQ(row.shown, shown);
}

std::vector<unsigned> tenths(unsigned total) {
    std::vector<unsigned> done;
    for (unsigned tenth = 0; tenth <= 10; ++tenth) {
        done.push_back(total / 10 * tenth);
    }
    return done;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProgressTest,
    ::testing::Values(
        TProgressCase{"nothingReported", false, {}, ""},
        TProgressCase{"fastPipeGetsStartTenthsAndEnd", false, steady(1000, 0ms),
                      lines(tenths(1000), 1000)},
        TProgressCase{"slowPipeAddsALineEachSecond", false, steady(100, 400ms),
                      [] {
                          std::vector<unsigned> done;
                          for (unsigned value = 0; value < 100; value += 3) {
                              done.push_back(value);
                          }
                          done.push_back(100);
                          return lines(done, 100);
                      }()},
        TProgressCase{"pipeShowsWhereAFailedRemovalStopped",
                      false,
                      {{0ms, 0, 50}, {1ms, 1, 50}, {2ms, 2, 50}},
                      lines({0, 2}, 50)},
        TProgressCase{"pipeShowsARepeatedEndOnce",
                      false,
                      {{0ms, 0, 2}, {1ms, 2, 2}, {2ms, 2, 2}},
                      lines({0, 2}, 2)},
        TProgressCase{"emptyRemovalIsStartAndEndAtOnce", false, {{0ms, 0, 0}}, lines({0}, 0)},
        TProgressCase{"terminalRedrawsTwentyTimesASecondAtMost", true, steady(200, 10ms),
                      [] {
                          std::string text;
                          for (unsigned done = 0; done <= 200; done += 5) {
                              text += bar(done * 30 / 200, std::to_string(done) + "/200");
                          }
                          return text + "\n";
                      }()},
        TProgressCase{"terminalDrawsTheEndAtOnce",
                      true,
                      {{0ms, 0, 4}, {1ms, 1, 4}, {2ms, 4, 4}},
                      bar(0, "0/4") + bar(30, "4/4") + "\n"},
        TProgressCase{"terminalEndsWhereAFailedRemovalStopped",
                      true,
                      {{0ms, 0, 4}, {1ms, 1, 4}},
                      bar(0, "0/4") + bar(7, "1/4") + "\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
