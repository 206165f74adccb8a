// Reading a Registry Editor file ("Windows Registry Editor Version 5.00" in UTF-16LE with its byte
// order mark or in UTF-8, or "REGEDIT4") into the changes it asks for. Nothing here touches the
// registry: the whole file is read and checked before anyone applies it.
#pragma once

#include "tools/orvane/HostRegistry.h"

#include <functional>
#include <string>
#include <vector>

namespace OrvaneHost {

struct TValueChange {
    TRawValue value;  // the name, and for a write the type and bytes
    bool remove = false;
};

struct TKeyChange {
    int line = 0;         // where the file names the key
    std::string path;     // below HKEY_CURRENT_USER, without a trailing backslash
    bool remove = false;  // [-KEY]: the key and everything below it
    std::vector<TValueChange> values;
};

struct TRegImport {
    std::vector<TKeyChange> keys;
    int errorLine = 0;  // 0 when the file was read
    std::string error;

    bool ok() const { return errorLine == 0; }
};

// Which keys a file may change; the path is below HKEY_CURRENT_USER.
using TKeyFilter = std::function<bool(const std::string& keyPath)>;

// The keys of the records: the client's key and everything below it, and the uninstall entries
// named "Orvane App " and an id, with what is below them. Compared as the registry compares.
bool isRecordKey(const std::string& keyPath);

// The bytes of a whole file. On the first fault the result holds its line and no change.
TRegImport readRegFile(const std::string& bytes, const TKeyFilter& accept = isRecordKey);

}  // namespace OrvaneHost
