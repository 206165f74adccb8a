// The keys of a game's records under HKEY_CURRENT_USER (their texts, and the values that more than
// one operation reads, are in lib/RegistryKeys.h), and the forms numbers are stored in.
#pragma once

#include "Common/General/TString.h"
#include "lib/RegistryKeys.h"

namespace OrvaneLib {

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
