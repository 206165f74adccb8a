#include "Common/General/TLogSystem.h"

#include "Common/General/ScrambledText.h"
#include "Common/General/TException.h"
#include "win32/Win32Api.h"

namespace OrvaneLib {

constexpr auto kSourceFile = scramble("Common\\General\\TLogSystem.cpp");

std::shared_ptr<TLogSystem> logSystem;

namespace {

// logSystem itself is constant-initialised (null), so a report made by a static initialiser that
// runs before this one finds no log rather than an unconstructed object.
struct TLogSystemLifetime {
    TLogSystemLifetime() { logSystem = std::make_shared<TLogSystem>(); }
    ~TLogSystemLifetime() { logSystem.reset(); }
} logSystemLifetime;

}  // namespace

namespace {

TOutputLogStringHook findOutputLogString() {
    FARPROC address = GetProcAddress(GetModuleHandleW(nullptr), "outputLogString");
    // Through void (*)(), the generic function pointer type, as the export's own type is unknown.
    return reinterpret_cast<TOutputLogStringHook>(reinterpret_cast<void (*)()>(address));
}

}  // namespace

TCurrentProcessLogStrategy::TCurrentProcessLogStrategy(const TString& moduleName)
    : moduleName(moduleName), hook(findOutputLogString()) {}

void TCurrentProcessLogStrategy::write(const char* text, const char* file, int32_t line,
                                       int32_t level) {
    if (text != nullptr && hook != nullptr) {
        hook(moduleName.c_str(), text, file, line, level);
    }
}

TMutex::TMutex() : handle(CreateMutexW(nullptr, FALSE, nullptr)) {
    if (handle == nullptr) {
        TString message = ORVANE_TEXT("Cannot create the log mutex, error ") +
                          TString(static_cast<int>(GetLastError()));
        reportError(message.c_str(), ORVANE_TEXT("M").c_str(), 1, 2, kSourceFile.text().c_str(),
                    __LINE__);
    }
}

TMutex::~TMutex() {
    if (handle != nullptr) {
        CloseHandle(handle);
    }
}

void TMutex::lock() {
    if (handle != nullptr) {
        WaitForSingleObject(handle, INFINITE);
    }
}

void TMutex::unlock() {
    if (handle != nullptr) {
        ReleaseMutex(handle);
    }
}

TLogSystem::TLogSystem() : mode(kDefaultMode), mutex(new TMutex()), strategies(nullptr) {}

TLogSystem::~TLogSystem() {
    delete mutex;
    while (strategies != nullptr) {
        TLogStrategy* next = strategies->next;
        delete strategies;
        strategies = next;
    }
}

namespace {

// Holds the mutex for one scope and gives the caller back its last error, also when a sink raises.
class TLogGuard {
public:
    explicit TLogGuard(TMutex& mutex) : mutex_(mutex), lastError_(GetLastError()) { mutex_.lock(); }
    ~TLogGuard() {
        mutex_.unlock();
        SetLastError(lastError_);
    }
    TLogGuard(const TLogGuard&) = delete;
    TLogGuard& operator=(const TLogGuard&) = delete;

private:
    TMutex& mutex_;
    DWORD lastError_;
};

}  // namespace

void TLogSystem::write(const char* text, const char* file, int32_t line, int32_t level) {
    TLogGuard guard(*mutex);
    for (TLogStrategy* strategy = strategies; strategy != nullptr; strategy = strategy->next) {
        if (mode <= -1) {
            break;
        }
        strategy->write(text, file, line, level);
    }
}

void TLogSystem::addStrategy(TLogStrategy* strategy) {
    TLogGuard guard(*mutex);
    strategy->next = strategies;
    strategies = strategy;
}

TString logInfo(const char* file, int32_t line, const char* message) {
    TString text(message != nullptr ? message : "");
    text += '\n';
    if (std::shared_ptr<TLogSystem> log = logSystem) {
        log->write(text.c_str(), file, line, kLogInformation);
    }
    return TString();
}

}  // namespace OrvaneLib
