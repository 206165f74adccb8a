// Where the records live under HKEY_CURRENT_USER. Key paths are plain concatenations of these
// texts and the ids: no separator is added or removed.
#pragma once

#include "Common/General/TString.h"

namespace OrvaneLib {

constexpr char kClientKey[] = "Software\\Orvane\\Client\\";
constexpr char kThirdPartyKey[] = "Software\\Orvane\\Client\\ThirdParty\\";
constexpr char kApplicationsKey[] = "Software\\Orvane\\Client\\Applications\\";
constexpr char kPackagesSuffix[] = "\\Packages\\";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kUninstallEntryPrefix[] = "Orvane App ";

// Values of an application's record that more than one operation reads; a package's record uses
// "Path" and "Version" too.
constexpr char kPathValue[] = "Path";
constexpr char kInstallPathValue[] = "InstallPath";
constexpr char kVersionValue[] = "Version";

// The client's installation directory: the default value of kClientKey, written by the client's
// installer, never by the library.
constexpr char kClientDirectoryValue[] = "";

TString applicationKey(const TString& applicationId);
TString packagesKey(const TString& applicationId);
TString packageKey(const TString& applicationId, const TString& packageId);
TString uninstallKey(const TString& applicationId);

// Numbers stored as text. Sizes and bandwidths read back as the unsigned 64-bit value written;
// 32-bit numbers read back as the signed value written. Text from elsewhere is parsed with leading
// blanks skipped, an optional sign, and digits up to the first other character.
TString formatUnsigned64(uint64_t value);
uint64_t parseUnsigned64(const TString& text);
int32_t parseSigned32(const TString& text);

// The uninstall entry's "EstimatedSize": the install size in kilobytes, rounded up and capped at
// the largest 32-bit registry number, as the decimal text of that number's signed bits (the form
// a REG_DWORD write takes).
constexpr char kEstimatedSizeValue[] = "EstimatedSize";
uint32_t estimatedKilobytes(uint64_t bytes);
TString estimatedSizeText(uint64_t bytes);

}  // namespace OrvaneLib
