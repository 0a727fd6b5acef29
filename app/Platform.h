#pragma once
#include "shell/Platform.h"

namespace vantrel {

// The real implementations, alive for the whole process.
Platform& RealPlatform();

}  // namespace vantrel
