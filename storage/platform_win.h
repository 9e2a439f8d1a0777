#pragma once

// Hooks of the Windows file system code for the tests.

#include "storage/storageerror.h"

namespace tolvana::storage::platform::win {

// The reason the file layer gives for the system error code `error`.
StorageError::Reason ReasonOfError(unsigned long error);

} // namespace tolvana::storage::platform::win
