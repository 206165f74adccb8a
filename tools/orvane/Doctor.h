// What can be wrong with the records and the Windows program list, found from the registry and
// the disk in one pass, and how each fault is repaired. No repair deletes or moves a file.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace OrvaneHost {

struct TProblem {
    std::string game;     // empty for the client's own settings
    std::string package;  // empty unless a package is at fault
    std::string kind;     // "orphan-entry", "missing-entry", ...
    std::string detail;
    bool fixed = false;
    // The keys below HKEY_CURRENT_USER that the repair changes, and the repair; empty when the
    // problem is only reported.
    std::vector<std::string> keys;
    std::function<bool()> repair;
};

struct TCheckScope {
    std::vector<std::string> ids;  // every recorded game and entry when empty
    bool forgetMissing = false;    // records of missing folders may be deleted
};

// Every problem, the client's first, then game by game in the registry's order. An id of the
// scope that names no record and no entry is left out: the caller checks ids beforehand.
std::vector<TProblem> findProblems(const TCheckScope& scope);

// The size that the program list shows for an install size: kilobytes rounded up, capped at the
// largest 32-bit number.
uint32_t shownKilobytes(uint64_t bytes);

}  // namespace OrvaneHost
