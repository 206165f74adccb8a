// ole32, shell32, shlwapi: COM apartments and the Shell's file operation object.
#pragma once

#include "pal/WinTypes.h"
