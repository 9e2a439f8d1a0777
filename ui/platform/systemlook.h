#pragma once

// The desktop's look, as the windows follow it. Qt takes the light, dark and
// high-contrast palettes of a Linux desktop from its platform theme, and the
// system colours of Windows' high contrast; Windows' dark app mode it does not
// follow, so the program reads it (systemlook_win.cpp) and draws dark itself.
// Elsewhere nothing is read (systemlook_posix.cpp).

#include "ui/platform/sysinfo.h"

class QPalette;

namespace tolvana::ui {

inline constexpr std::uint32_t kHkeyCurrentUser = 0x80000001;

struct SystemLook {
    bool dark = false;         // the user asks programs for dark colours
    bool highContrast = false; // a high-contrast theme is on; its colours win
};

// The look the system asks for now.
SystemLook ReadSystemLook();

// Windows' app mode: dark where the user's value "AppsUseLightTheme" under
// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize
// is the number 0. Light where it is 1, missing or unreadable.
bool AppsUseDarkTheme(Registry& registry);

// A dark palette for the Fusion style, with text that reads on every
// background it is drawn on.
QPalette DarkPalette();

// Makes the application follow `look`: Fusion with DarkPalette() where the
// look is dark and not high contrast; otherwise the platform's own palette.
// Either way, a text box's frame is drawn in a colour that shows against the
// window where the style's own frame colour would not, as in high contrast.
void FollowSystemLook(const SystemLook& look);

} // namespace tolvana::ui
