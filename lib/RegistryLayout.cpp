#include "lib/RegistryLayout.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace OrvaneLib {

TString applicationKey(const TString& applicationId) {
    return TString(kApplicationsKey) + applicationId;
}

TString packagesKey(const TString& applicationId) {
    return TString(kApplicationsKey) + applicationId + TString(kPackagesSuffix);
}

TString packageKey(const TString& applicationId, const TString& packageId) {
    return TString(kApplicationsKey) + applicationId + TString(kPackagesSuffix) + packageId;
}

TString uninstallKey(const TString& applicationId) {
    return TString(kUninstallKey) + TString(kUninstallEntryPrefix) + applicationId;
}

TString formatUnsigned64(uint64_t value) {
    return TString(static_cast<unsigned long long>(value));
}

uint64_t parseUnsigned64(const TString& text) {
    const char* cursor = text.c_str();
    while (isspace(static_cast<unsigned char>(*cursor))) {
        ++cursor;
    }
    if (*cursor == '-') {
        // A negative number keeps its two's-complement bits.
        return static_cast<uint64_t>(text.toInt64());
    }
    errno = 0;
    unsigned long long value = strtoull(cursor, nullptr, 10);
    return errno == ERANGE ? UINT64_MAX : value;
}

int32_t parseSigned32(const TString& text) {
    int64_t value = text.toInt64();
    // A 32-bit registry number reads as unsigned decimal: its bits are the signed value written.
    if (value > INT32_MAX && value <= static_cast<int64_t>(UINT32_MAX)) {
        return static_cast<int32_t>(static_cast<uint32_t>(value));
    }
    return text.toInt();
}

uint32_t estimatedKilobytes(uint64_t bytes) {
    uint64_t kilobytes = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
    return kilobytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kilobytes);
}

TString estimatedSizeText(uint64_t bytes) {
    return TString(static_cast<int>(static_cast<int32_t>(estimatedKilobytes(bytes))));
}

}  // namespace OrvaneLib
