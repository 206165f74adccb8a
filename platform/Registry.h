// The library's only door to the registry. Every key path is relative to HKEY_CURRENT_USER, every
// text is UTF-8, numbers travel as decimal text, and no key stays open beyond a call.
#pragma once

#include "Common/General/TArray.h"
#include "Common/General/TString.h"
#include "win32/Win32Api.h"

#include <cstdint>
#include <functional>

namespace OrvaneLib {

// The value's text form for the type asked for (not the type stored): text for 1 and 2, unsigned
// decimal of at most 4 bytes for 3 and 4, signed decimal of at most 8 bytes for 11, hexadecimal
// bytes for 7. Empty text when the key or value is missing, the read fails or the type has no
// text form. An empty value name is the key's default value. Never reports.
TString readRegistryValue(const TString& keyPath, const TString& valueName, uint32_t type);

// Creates the key (and its missing parents) and writes the value in the data form of the type:
// UTF-16 text for 1, a clamped signed 32-bit number for 4, hexadecimal pairs as bytes for 2, 3, 7
// and 11, nothing for any other type. False for an empty text (nothing created), and after a
// report when the key cannot be created or the value cannot be written.
bool writeRegistryValue(const char* keyPath, const char* valueName, const char* text,
                        uint32_t type);

// Names of the key's direct subkeys in enumeration order; empty (and a log line) when the key is
// missing. An unexpected enumeration failure ends the list there, with a log line.
TArray<TString> getRegistrySubkeys(const TString& keyPath);

// Calls callback for each direct subkey, from the last enumeration index down to 0, with the open
// key being enumerated (valid only during the call) and the subkey's name. False when the callback
// is empty or the key cannot be opened with the given rights.
bool forEachRegistrySubkey(const char* keyPath, std::function<void(HKEY, const TString&)> callback,
                           REGSAM access);

// Deletes the key with its values and subkeys. True when the key is gone, also when it never
// existed; false after a report otherwise. A path that names no key (empty, or only backslashes)
// is refused, as it would take HKEY_CURRENT_USER's whole tree.
bool deleteRegistryKey(const char* keyPath);

// The system's message for a Windows error code without its line break, or "Unknown error.".
TString getWindowsErrorText(uint32_t code);

}  // namespace OrvaneLib
