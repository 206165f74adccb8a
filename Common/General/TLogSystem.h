// The process-wide log: an ordered list of sinks, the library's one lock, and the sink that hands
// every line to the host executable's exported outputLogString.
#pragma once

#include "Common/General/TString.h"

#include <cstdint>
#include <memory>

namespace OrvaneLib {

// The function the host executable exports as "outputLogString", defined there as
//   extern "C" ORVANE_HOST_EXPORT void outputLogString(...)
// (on ELF systems the executable's link must also list the name in its dynamic symbols).
#ifdef _WIN32
#define ORVANE_HOST_EXPORT __declspec(dllexport)
#else
#define ORVANE_HOST_EXPORT __attribute__((visibility("default")))
#endif
using TOutputLogStringHook = void (*)(const char* module, const char* text, const char* file,
                                      int32_t line, int32_t level);

// Log levels.
constexpr int32_t kLogInformation = 0;
constexpr int32_t kLogError = 1;
constexpr int32_t kLogWarning = 2;

// A log sink. The log system owns its sinks and links them through next.
class TLogStrategy {
public:
    TLogStrategy() = default;
    virtual ~TLogStrategy() = default;
    TLogStrategy(const TLogStrategy&) = delete;
    TLogStrategy& operator=(const TLogStrategy&) = delete;

    virtual void write(const char* text, const char* file, int32_t line, int32_t level) = 0;

    TLogStrategy* next = nullptr;
};

// Forwards lines to the executable's outputLogString, looked up once at construction; without that
// export every line is dropped.
class TCurrentProcessLogStrategy : public TLogStrategy {
public:
    explicit TCurrentProcessLogStrategy(const TString& moduleName);
    void write(const char* text, const char* file, int32_t line, int32_t level) override;

private:
    TString moduleName;
    TOutputLogStringHook hook;
};

// An unnamed Windows mutex: owned by one thread at a time, re-entrant for its owner.
class TMutex {
public:
    TMutex();
    ~TMutex();
    TMutex(const TMutex&) = delete;
    TMutex& operator=(const TMutex&) = delete;

    bool isValid() const { return handle != nullptr; }
    void lock();
    void unlock();

private:
    void* handle;
};

class TLogSystem {
public:
    static constexpr int32_t kDefaultMode = 1;

    TLogSystem();
    virtual ~TLogSystem();
    TLogSystem(const TLogSystem&) = delete;
    TLogSystem& operator=(const TLogSystem&) = delete;

    // Writes one line to every sink, head first, under the mutex. The mutex is released and the
    // caller's last-error value restored even when a sink raises.
    void write(const char* text, const char* file, int32_t line, int32_t level);
    // Takes ownership and links the sink in at the head of the list.
    void addStrategy(TLogStrategy* strategy);

    // Below 0 silences every sink; also sets the raise threshold of reportError.
    int32_t getMode() const { return mode; }
    void setMode(int32_t newMode) { mode = newMode; }

private:
    int32_t mode;
    TMutex* mutex;
    TLogStrategy* strategies;
};

// The one log system of the module, created at load and destroyed at unload. Null outside that
// time; reportError copes with that.
extern std::shared_ptr<TLogSystem> logSystem;

// Writes the message and a line feed at level 0; returns an empty text for callers that build their
// own empty result from it.
TString logInfo(const char* file, int32_t line, const char* message);

}  // namespace OrvaneLib
