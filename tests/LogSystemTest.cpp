#include "Common/General/TLogSystem.h"
#include "platform/Win32Api.h"

#include "support/LogHook.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

using OrvaneLib::TLogStrategy;
using OrvaneLib::TLogSystem;

namespace {

// Appends its name to a shared record; may set a last error or throw from inside the write.
class RecordingStrategy : public TLogStrategy {
public:
    RecordingStrategy(std::string name, std::vector<std::string>& record)
        : name_(std::move(name)), record_(record) {}
    void write(const char* text, const char*, int32_t, int32_t) override {
        record_.push_back(name_ + ":" + text);
        SetLastError(99);
        if (throws) {
            throw std::runtime_error("sink failed");
        }
    }
    bool throws = false;

private:
    std::string name_;
    std::vector<std::string>& record_;
};

class LogSystem : public testing::Test {
protected:
    TLogSystem log;
    std::vector<std::string> record;
};

TEST_F(LogSystem, StrategiesRunHeadFirst) {
    log.addStrategy(new RecordingStrategy("A", record));
    log.addStrategy(new RecordingStrategy("B", record));
    log.write("x\n", "f", 1, 0);
    EXPECT_EQ(record, (std::vector<std::string>{"B:x\n", "A:x\n"}));
}

TEST_F(LogSystem, CallersLastErrorSurvives) {
    SetLastError(1234);
    log.write("no sinks\n", "f", 1, 0);
    EXPECT_EQ(GetLastError(), 1234u);
    log.addStrategy(new RecordingStrategy("A", record));
    log.write("x\n", "f", 1, 0);
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(LogSystem, NegativeModeSilencesEverySink) {
    log.addStrategy(new RecordingStrategy("A", record));
    log.setMode(-1);
    log.write("x\n", "f", 1, 0);
    EXPECT_TRUE(record.empty());
    log.setMode(0);
    log.write("y\n", "f", 1, 0);
    EXPECT_EQ(record.size(), 1u);
}

TEST_F(LogSystem, RaisingSinkLeavesTheMutexFreeForTheNextWriter) {
    auto* sink = new RecordingStrategy("A", record);
    log.addStrategy(sink);
    sink->throws = true;
    SetLastError(7);
    EXPECT_THROW(log.write("x\n", "f", 1, 0), std::runtime_error);
    EXPECT_EQ(GetLastError(), 7u);
    sink->throws = false;
    // Another thread would block for ever if the mutex were still owned here.
    auto other = std::async(std::launch::async, [this] { log.write("y\n", "f", 2, 0); });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    EXPECT_EQ(record.back(), "A:y\n");
}

TEST(CurrentProcessLogStrategy, ReachesTheExecutablesHook) {
    OrvaneTest::clearLoggedLines();
    OrvaneLib::TCurrentProcessLogStrategy strategy("Orvane.dll");
    strategy.write("hello\n", "platform\\Registry.cpp", 42, 2);
    strategy.write(nullptr, "f", 1, 0);
    auto lines = OrvaneTest::loggedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].module, "Orvane.dll");
    EXPECT_EQ(lines[0].text, "hello\n");
    EXPECT_EQ(lines[0].file, "platform\\Registry.cpp");
    EXPECT_EQ(lines[0].line, 42);
    EXPECT_EQ(lines[0].level, 2);
}

TEST(CurrentProcessLogStrategy, LogInfoWritesALineAtLevelZero) {
    auto saved = OrvaneLib::logSystem;
    OrvaneLib::logSystem = std::make_shared<TLogSystem>();
    OrvaneLib::logSystem->addStrategy(new OrvaneLib::TCurrentProcessLogStrategy("Orvane.dll"));
    OrvaneTest::clearLoggedLines();
    OrvaneLib::TString result = OrvaneLib::logInfo("f.cpp", 9, "note");
    OrvaneLib::logSystem = saved;
    EXPECT_TRUE(result.isEmpty());
    auto lines = OrvaneTest::loggedLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "note\n");
    EXPECT_EQ(lines[0].level, 0);
    EXPECT_EQ(lines[0].line, 9);
}

}  // namespace
