// Windows' app mode from the user's registry, and its high-contrast setting.

#include "ui/platform/registry_win.h"
#include "ui/platform/systemlook.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tolvana::ui {

namespace {

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

} // namespace

SystemLook ReadSystemLook() {
    WindowsRegistry registry;
    return {AppsUseDarkTheme(registry), HighContrastOn()};
}

} // namespace tolvana::ui
