#pragma once
// The real display: EnumDisplaySettings for the current mode, the application window's hooks.
#include "desktop/ResChange.h"

namespace tw {

TDisplayPlatform& SystemDisplay();

}  // namespace tw
