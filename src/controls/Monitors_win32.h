#pragma once
// The monitors as the system lists them (Windows build).
#include "controls/Monitors.h"

namespace tw {

// Every monitor of the desktop in the system's order, with its device name (MONITORINFOEXW's
// szDevice), bounds, work area and density (GetDpiForMonitor where the system has it, else the
// screen's). Empty only when the system lists none.
TMonitorList SystemMonitors();

}  // namespace tw
