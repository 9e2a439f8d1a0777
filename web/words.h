#pragma once

// Every word the web page shows: its captions and the program's messages, in
// Swedish, as UTF-8. They are the window's words, composed the way the window
// composes them; the page itself holds no text but what it asks for here.

#include "cipher/cipher.h"
#include "storage/textfile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvana::web {

// The caption that the page names by `key` (the data-word of its elements),
// or nothing for an unknown key.
std::optional<std::string_view> Caption(std::string_view key);

// "radmatning (kod 10)" for the control characters 0-31 and 127,
// "styrtecken (kod 133)" for 128-159; empty for any other character.
std::string ControlName(char32_t c);

// A size in bytes for people: "512 byte", "1,5 kB", "64 MB" (units of 1024,
// the decimal comma, at most one decimal).
std::string ReadableSize(std::uint64_t bytes);

// What a command says when it refuses. `c` is a character that the code page
// lacks and `line` the 1-based line it stands on.
std::string CannotEncrypt(char32_t c, std::size_t line);
std::string CannotDecrypt(char32_t c, std::size_t line);
std::string CannotDecrypt(const DecodeFailure& failure);
std::string CannotSave(char32_t c, std::size_t line);
std::string CannotSaveQuote();
std::string FileTooLarge(std::string_view name, std::uint64_t size, std::uint64_t maximum);
std::string FileNotImported(std::string_view name, const storage::UnmappableCharacter& character);
std::string FileOfOtherType(std::string_view name);
std::string OutOfMemory();

} // namespace tolvana::web
