#include "pal/src/Faults.h"

#include "pal/inc/PalTesting.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Fault {
    std::string function;
    LONG result;
    unsigned callsToSkip;
    unsigned failures;
};

struct FaultTable {
    std::mutex mutex;
    std::vector<Fault> faults;
    // Whether `faults` may hold any: every call of every function asks, and almost always none is
    // armed.
    std::atomic<bool> armed{false};

    FaultTable() {
        parseEnvironment(getenv("ORVANE_PAL_FAULTS"));
        armed = !faults.empty();
    }

    // "Function=result[@skip][*count]", comma-separated; a malformed entry is ignored.
    void parseEnvironment(const char* entries) {
        if (entries == nullptr) {
            return;
        }
        std::string all(entries);
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = all.find(',', start);
            if (end == std::string::npos) {
                end = all.size();
            }
            parseEntry(all.substr(start, end - start));
            start = end + 1;
        }
    }

    void parseEntry(const std::string& entry) {
        size_t equals = entry.find('=');
        if (equals == std::string::npos || equals == 0) {
            return;
        }
        const char* cursor = entry.c_str() + equals + 1;
        char* end = nullptr;
        long long result = strtoll(cursor, &end, 0);
        if (end == cursor) {
            return;
        }
        unsigned skip = 0;
        unsigned count = 1;
        if (*end == '@') {
            skip = static_cast<unsigned>(strtoul(end + 1, &end, 10));
        }
        if (*end == '*') {
            count = static_cast<unsigned>(strtoul(end + 1, &end, 10));
        }
        faults.push_back({entry.substr(0, equals), static_cast<LONG>(result), skip, count});
    }
};

FaultTable& table() {
    static FaultTable instance;
    return instance;
}

}  // namespace

bool palFault(const char* function, LONG& result) {
    FaultTable& faults = table();
    if (!faults.armed.load(std::memory_order_acquire)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(faults.mutex);
    for (auto it = faults.faults.begin(); it != faults.faults.end(); ++it) {
        if (it->function != function) {
            continue;
        }
        if (it->callsToSkip > 0) {
            --it->callsToSkip;
            return false;
        }
        result = it->result;
        if (--it->failures == 0) {
            faults.faults.erase(it);
        }
        return true;
    }
    return false;
}

void palInjectFault(const char* function, LONG result, unsigned callsToSkip, unsigned failures) {
    if (function == nullptr || failures == 0) {
        return;
    }
    FaultTable& faults = table();
    std::lock_guard<std::mutex> lock(faults.mutex);
    faults.faults.push_back({function, result, callsToSkip, failures});
    faults.armed.store(true, std::memory_order_release);
}

void palClearFaults() {
    FaultTable& faults = table();
    std::lock_guard<std::mutex> lock(faults.mutex);
    faults.faults.clear();
    faults.armed.store(false, std::memory_order_release);
}
