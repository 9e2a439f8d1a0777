#pragma once

// The file layer in a web page, which has no file system: a file that the file
// layer writes is kept in memory, whole, once it is closed, for the page to
// hand to the browser as a download. Reading a file by its path, record files
// and folders do not exist here; the page reads the bytes of a file the user
// chose itself and gives them to storage::FieldsOf.

#include <optional>
#include <string>

namespace tolvana::storage::platform {

// The bytes of the file last written to `path` and closed, taken out of
// memory; nothing when no such file was written since it was last taken.
std::optional<std::string> TakeWrittenFile(const std::string& path);

} // namespace tolvana::storage::platform
