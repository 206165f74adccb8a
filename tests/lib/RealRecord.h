// A record in the registry of the user who runs the tests, made before a test's override starts
// and looked at after it ends: what no test may change. A record already there is only looked at.
#pragma once

#include "win32/Win32Api.h"

#include <string>
#include <vector>

namespace OrvaneTest {

class TRealRecord {
public:
    // The key, its values' names, types and bytes, and its subkeys' names, as stored.
    typedef std::vector<std::string> TSnapshot;

    explicit TRealRecord(std::string keyPath) : keyPath_(std::move(keyPath)) {}
    ~TRealRecord() { remove(); }
    TRealRecord(const TRealRecord&) = delete;
    TRealRecord& operator=(const TRealRecord&) = delete;

    // Writes the record unless the key exists; ERROR_SUCCESS or the failing call's code.
    [[nodiscard]] LSTATUS plant();
    TSnapshot snapshot() const;
    // Deletes the keys that plant made, deepest first.
    void remove();

private:
    std::string keyPath_;
    std::vector<std::string> made_;
};

}  // namespace OrvaneTest
