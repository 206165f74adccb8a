#include "support/RegistryOverride.h"

#include "win32/RegistryKey.h"

#include <atomic>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace OrvaneTest {

namespace {

typedef TRegistryOverride::TWide TWide;

unsigned long processId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

TWide wide(const std::string& ascii) {
    return TWide(ascii.begin(), ascii.end());
}

// The seconds a temporary key's name starts with; false for a name of another form.
bool madeAt(const TWide& name, long long& seconds) {
    const size_t digits = name.find(W('-'));
    if (digits == 0 || digits == TWide::npos || digits > 18) {
        return false;
    }
    seconds = 0;
    for (size_t i = 0; i < digits; ++i) {
        if (name[i] < W('0') || name[i] > W('9')) {
            return false;
        }
        seconds = seconds * 10 + (name[i] - W('0'));
    }
    return true;
}

std::vector<TWide> subkeyNames(HKEY key) {
    std::vector<TWide> names;
    WCHAR name[256];
    for (DWORD index = 0, length = 256; RegEnumKeyExW(key, index, name, &length, nullptr, nullptr,
                                                      nullptr, nullptr) == ERROR_SUCCESS;
         ++index, length = 256) {
        names.emplace_back(name, length);
    }
    return names;
}

}  // namespace

LSTATUS TRegistryOverride::start() {
    removeStale(TClock::now(), std::chrono::hours(24));
    TWide path = keyPath(TClock::now());
    OrvaneLib::TRegistryKey key;
    LSTATUS status = key.create(HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    // The override keeps the key, not the handle.
    status = RegOverridePredefKey(HKEY_CURRENT_USER, key.get());
    key.close();
    if (status != ERROR_SUCCESS) {
        RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
        return status;
    }
    path_ = std::move(path);
    return ERROR_SUCCESS;
}

LSTATUS TRegistryOverride::stop() {
    if (path_.empty()) {
        return ERROR_SUCCESS;
    }
    LSTATUS status = RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    path_.clear();
    return status;
}

void TRegistryOverride::removeStale(TClock::time_point now, std::chrono::hours maxAge) {
    std::vector<TWide> names;
    {
        OrvaneLib::TRegistryKey parent;
        if (parent.open(HKEY_CURRENT_USER, kParent, KEY_READ) != ERROR_SUCCESS) {
            return;
        }
        names = subkeyNames(parent.get());
    }
    const long long oldest =
        std::chrono::duration_cast<std::chrono::seconds>((now - maxAge).time_since_epoch()).count();
    for (const TWide& name : names) {
        long long seconds = 0;
        if (madeAt(name, seconds) && seconds < oldest) {
            RegDeleteTreeW(HKEY_CURRENT_USER, (TWide(kParent) + W("\\") + name).c_str());
        }
    }
}

TRegistryOverride::TWide TRegistryOverride::keyPath(TClock::time_point time) {
    static std::atomic<unsigned> made{0};
    const long long seconds =
        std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    return TWide(kParent) + W("\\") +
           wide(std::to_string(seconds) + "-" + std::to_string(processId()) + "-" +
                std::to_string(++made));
}

}  // namespace OrvaneTest
