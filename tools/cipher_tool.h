#pragma once

// tolvana-cipher: the number cipher for scripts, without a window.
//
//   tolvana-cipher kryptera   [FLAGGOR] [INFIL] [-o UTFIL]
//   tolvana-cipher dekryptera [FLAGGOR] [INFIL] [-o UTFIL]
//
// Reads a file or standard input and writes a file or standard output. The
// whole result is made in memory before anything is written, so an error
// writes nothing; a named output file is replaced as a whole, only when all of
// it has been written. Plain C++: the same storage and cipher code as the
// program, no Qt.

#include <string>
#include <vector>

namespace tolvana::tool {

// Exit codes.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;   // the input could not be read, decoded or written
inline constexpr int kBadUsage = 2; // the command line is wrong

// Runs the tool with `arguments` (without the program's name), reading from
// the file descriptor `in` and writing to `out` and `err`. `localeDecimal` is
// the decimal separator of the user's locale, written unless -d says another.
// Every failure, a want of memory too, ends in a message on `err` and an
// exit code.
int Run(const std::vector<std::string>& arguments, int in, int out, int err, char localeDecimal);

// The message for a want of memory, on `err`, for failures before Run.
void ReportNoMemory(int err);

} // namespace tolvana::tool
