// kernel32 file functions over POSIX, with drive-letter paths mapped to folders.
#pragma once

#include "pal/WinTypes.h"
