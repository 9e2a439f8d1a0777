#pragma once

// The file layer's errors in the program's own words, and the conversion of
// paths between the windows and the file layer.

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

// A path of the file layer as the user sees it, and the other way round (one
// file per platform: nativepath_posix.cpp, nativepath_win.cpp).
QString PathForDisplay(const std::string& path);
std::string StoragePath(const QString& path);

} // namespace tolvana::ui
