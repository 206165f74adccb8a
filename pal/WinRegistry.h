// advapi32: the registry of the current user, kept in a per-user SQLite hive; and the system's
// message texts (FormatMessageW, LocalFree).
#pragma once

#include "pal/WinTypes.h"
