// Ids of applications and packages name one registry key and one folder each. An id that is
// empty, "." or "..", or holds a separator would address other keys or folders (an empty
// application id is the key that holds every record), so operations that write or delete refuse
// it.
#pragma once

#include "Common/General/TString.h"

namespace OrvaneLib {

bool isUsableRecordId(const TString& id);

// True for usable ids; otherwise reports the refusal once (category 1, severity 1) and returns
// false.
bool acceptRecordIds(const TString& applicationId, const TString* packageId = nullptr);

}  // namespace OrvaneLib
