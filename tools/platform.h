#pragma once

// What the tool needs of the system beyond the file layer: its command line in
// UTF-8, the standard streams without any translation of line ends, and a
// second thread. One file per platform: platform_posix.cpp and
// platform_win.cpp. Reading and writing, the standard streams' too, go
// through storage/platform.h.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvana::tool {

// The arguments after the program's name, in UTF-8, as the file layer takes
// paths. Windows hands `argv` over in the ANSI code page, one byte a
// character and only the characters that page has; its command line in
// UTF-16 has them all.
std::vector<std::string> Arguments(int argc, char** argv);

// Puts the C runtime's standard streams in binary mode where the platform has
// another.
void UseBinaryStandardStreams();

// Readies the tool's own words (messages, help) for the character set of the
// user's locale; once, after setlocale().
void UseLocaleCharacterSet();

// Writes the tool's own words, given in UTF-8, to the stream `fd` in the
// character set of the user's locale (POSIX: nl_langinfo(CODESET)), so that a
// terminal set to ISO-8859-1 shows "läsas" and not "lÃ¤sas". A character the
// set lacks is written as a readable stand-in ("a" for "ä", "..." for "…"),
// or "?". Asks for no memory, so that it can tell of memory that ran out.
// Texts and ciphers never go through here: they are written as documented.
// Throws StorageError as storage::platform::WriteStream does.
void WriteInLocale(int fd, std::string_view utf8, const std::string& name);

// Runs `first` and `second` at the same time where there is a processor for
// each and a second thread can be started, one after the other otherwise, and
// returns when both have ended. An exception from either is thrown here once
// both have ended (the first one's when both throw); no thread ends the
// process.
void RunBoth(const std::function<void()>& first, const std::function<void()>& second);

} // namespace tolvana::tool
