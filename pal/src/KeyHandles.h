// The open key handles of this process, and the access rights they were opened with.
#pragma once

#include "pal/inc/WinTypes.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace OrvaneLib::Pal {

struct TKeyHandle {
    int64_t key;
    REGSAM access;
};

// The rights a handle gets for `desired`: generic rights and MAXIMUM_ALLOWED mapped to key
// rights, the WOW64 view flags dropped. A read-only hive grants only the read rights.
LONG grantAccess(REGSAM desired, bool readOnlyHive, REGSAM& granted);

inline bool allows(const TKeyHandle& handle, REGSAM needed) {
    return (handle.access & needed) == needed;
}

class THandleTable {
public:
    static THandleTable& instance();
    THandleTable();

    // A new handle, never one handed out before in this process.
    HKEY open(int64_t key, REGSAM access);
    // HKEY_CURRENT_USER is the root of the hive with every right, or the key it was pointed at;
    // other predefined keys and closed or unknown handles are not found.
    bool find(HKEY handle, TKeyHandle& found);
    bool close(HKEY handle);
    // Points HKEY_CURRENT_USER at `target` for the whole process, or back at the root (nullptr).
    void overrideCurrentUser(const TKeyHandle* target);

    static bool isCurrentUser(HKEY handle);

private:
    std::mutex mutex_;
    std::unordered_map<uintptr_t, TKeyHandle> handles_;
    TKeyHandle currentUser_;
    uintptr_t next_ = 0x1000;
};

}  // namespace OrvaneLib::Pal
