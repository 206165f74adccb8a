// The host's own registry access, for what the library does not offer: the client's installation
// directory (which only the client's installer writes) and the raw values of a key. Paths are
// relative to HKEY_CURRENT_USER; texts are UTF-8.
#pragma once

#include "lib/RegistryKeys.h"
#include "win32/Win32Api.h"

#include <cstdint>
#include <string>
#include <vector>

namespace OrvaneHost {

using OrvaneLib::kApplicationsKey;
using OrvaneLib::kClientKey;
using OrvaneLib::kPackagesSuffix;
using OrvaneLib::kThirdPartyKey;
using OrvaneLib::kUninstallEntryPrefix;
using OrvaneLib::kUninstallKey;

struct TRawValue {
    std::string name;  // empty for the default value
    DWORD type = 0;
    std::vector<BYTE> data;

    // REG_SZ data as UTF-8, up to the first NUL.
    std::string text() const;
};

// Every value of the key in enumeration order; empty when the key is missing. subkeys, when
// given, receives how many subkeys the key has.
std::vector<TRawValue> readRawValues(const std::string& keyPath, DWORD* subkeys = nullptr);
// Names of the key's direct subkeys; empty when the key is missing.
std::vector<std::string> readSubkeyNames(const std::string& keyPath);

// The default value of "Software\Orvane\Client\"; empty when not set.
std::string readClientDirectory();
// Creates the key when needed and stores the directory; ERROR_SUCCESS or the Windows error.
LSTATUS writeClientDirectory(const std::string& directory);

std::u16string toUtf16(const std::string& text);
std::string toUtf8(const std::u16string& text);

}  // namespace OrvaneHost
