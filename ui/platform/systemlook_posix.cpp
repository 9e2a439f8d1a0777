// Where there is no Windows registry, the platform theme gives Qt the
// desktop's palette itself: nothing is read.

#include "ui/platform/systemlook.h"

namespace tolvana::ui {

SystemLook ReadSystemLook() { return {}; }

} // namespace tolvana::ui
