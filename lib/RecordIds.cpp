#include "lib/RecordIds.h"

#include "Common/General/ScrambledText.h"
#include "Common/General/TException.h"

#include <cstring>

namespace OrvaneLib {

namespace {

constexpr auto kSourceFile = scramble("lib\\RecordIds.cpp");

bool refuse(const TString& id) {
    TString message =
        ORVANE_TEXT("Refused an id that would address other records: \"") + id + ORVANE_TEXT("\"");
    reportError(message.c_str(), ORVANE_TEXT("I").c_str(), 1, 1, kSourceFile.text().c_str(),
                __LINE__);
    return false;
}

}  // namespace

bool isUsableRecordId(const TString& id) {
    const char* text = id.c_str();
    if (id.isEmpty() || strcmp(text, ".") == 0 || strcmp(text, "..") == 0) {
        return false;
    }
    uint32_t position = 0;
    if (id.findChar('\\', position, true)) {
        return false;
    }
    position = 0;
    return !id.findChar('/', position, true);
}

bool acceptRecordIds(const TString& applicationId, const TString* packageId) {
    if (!isUsableRecordId(applicationId)) {
        return refuse(applicationId);
    }
    if (packageId != nullptr && !isUsableRecordId(*packageId)) {
        return refuse(*packageId);
    }
    return true;
}

}  // namespace OrvaneLib
