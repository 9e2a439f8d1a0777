#pragma once

// The page's captions by the keys its elements name them by, in Swedish, as
// UTF-8: those it shares with the window from the catalogue
// (messages/captions.h), and the few of its own controls. Every message about
// a failure comes from the catalogue too (messages/messages.h), so that the
// page says what the window and tolvana-cipher say.

#include <optional>
#include <string_view>

namespace tolvana::web {

// The caption that the page names by `key` (the data-word of its elements),
// or nothing for an unknown key.
std::optional<std::string_view> Caption(std::string_view key);

} // namespace tolvana::web
