// Fault injection inside the PAL: a PAL function asks palFault at its start whether it must fail.
#pragma once

#include "pal/inc/WinTypes.h"

// True (with the result to return) when an armed fault for this function fires on this call.
bool palFault(const char* function, LONG& result);
