#pragma once

#include "ui/platform/sysinfo.h"

namespace tolvana::ui {

// The system as the program uses it: on Windows the registry, the file test
// and the program start of Windows (systemtools_win.cpp); elsewhere a registry
// that finds nothing (systemtools_posix.cpp).
SystemTools& DefaultSystemTools();

} // namespace tolvana::ui
