#pragma once

// The words that belong to the web page alone: the captions of its own
// controls and of its work in progress, in Swedish, as UTF-8. Every message
// about a failure comes from the program's catalogue (messages/messages.h),
// so that the page says what the window and tolvana-cipher say.

#include <optional>
#include <string_view>

namespace tolvana::web {

// The caption that the page names by `key` (the data-word of its elements),
// or nothing for an unknown key.
std::optional<std::string_view> Caption(std::string_view key);

} // namespace tolvana::web
