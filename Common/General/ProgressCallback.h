// The progress callable that the host hands to a long operation.
#pragma once

// How it crosses the library boundary by value.
#include "Common/General/FunctionImage.h"

#include <cstdint>
#include <functional>

namespace OrvaneLib {

// Told the work done so far and the total work; may be empty.
using ProgressCallback = std::function<void(uint32_t done, uint32_t total)>;

}  // namespace OrvaneLib
