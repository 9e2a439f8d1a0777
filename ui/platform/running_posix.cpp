#include "ui/platform/running.h"

namespace tolvana::ui {

void MarkRunning() {}

} // namespace tolvana::ui
