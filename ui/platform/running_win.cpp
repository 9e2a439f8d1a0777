#include "ui/platform/running.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tolvana::ui {

void MarkRunning() {
    // Held, never released: Windows closes it when the process ends, however
    // it ends. Several copies may run; each holds a handle to the one mutex.
    static const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kRunningMutex);
    (void)mutex;
}

} // namespace tolvana::ui
