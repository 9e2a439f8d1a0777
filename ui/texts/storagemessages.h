#pragma once

// The file layer's errors in the program's own words.

#include "storage/storageerror.h"

#include <QString>

#include <cstdint>
#include <string>

namespace tolvana::ui {

// Why a file operation failed, as a Swedish phrase that fits after a colon or
// inside parentheses: "behörighet saknas", "disken är full", ..., and
// "systemfel 5" for a reason that has no words of its own.
QString StorageReason(storage::StorageError::Reason reason, std::int64_t systemCode);
QString StorageReason(const storage::StorageError& error);

// A size in bytes for people: "512 byte", "1,5 kB", "64 MB", "30 GB" (units of
// 1024, the decimal comma, at most one decimal).
QString ReadableSize(std::uint64_t bytes);

} // namespace tolvana::ui
