#include "Common/General/TArray.h"

#include "Common/General/ScrambledText.h"
#include "Common/General/TException.h"
#include "Common/General/TString.h"

namespace OrvaneLib {

// The host shares this layout: a virtual table pointer, then count, data and the slot count.
static_assert(sizeof(void*) != 4 || sizeof(TArray<TString>) == 16,
              "TArray is 16 bytes in the 32-bit build");

namespace {
constexpr int32_t kStorageFailureLine = 384;
}

void reportArrayStorageFailure(uint64_t bytes) {
    TString message = ORVANE_TEXT("Array storage: cannot allocate ") +
                      TString(static_cast<unsigned long long>(bytes)) +
                      ORVANE_TEXT(" bytes for the elements");
    reportError(message.c_str(), ORVANE_TEXT("A").c_str(), 3, 3,
                ORVANE_TEXT("Common\\General\\TArray.h").c_str(), kStorageFailureLine);
}

}  // namespace OrvaneLib
