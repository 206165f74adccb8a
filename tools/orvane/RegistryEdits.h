// The host's writes to HKEY_CURRENT_USER, for import and repairs: whole values as stored, and whole
// keys. Paths are relative to HKEY_CURRENT_USER; a missing key or value counts as deleted.
#pragma once

#include "tools/orvane/HostRegistry.h"

#include <string>

namespace OrvaneHost {

bool keyExists(const std::string& keyPath);
// Creates the key (and the keys above it) when needed.
LSTATUS createKey(const std::string& keyPath);
// Creates the key when needed and stores the value with its type and bytes.
LSTATUS writeRawValue(const std::string& keyPath, const TRawValue& value);
LSTATUS deleteValue(const std::string& keyPath, const std::string& name);
// The key with its values and every key below it.
LSTATUS deleteKeyTree(const std::string& keyPath);

// A REG_SZ or REG_DWORD value as the library stores it.
TRawValue textValue(const std::string& name, const std::string& text);
TRawValue numberValue(const std::string& name, uint32_t number);

}  // namespace OrvaneHost
