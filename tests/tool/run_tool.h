#pragma once

// Runs tolvana-cipher as a process of its own, as a script does: one file per
// platform (run_tool_posix.cpp, run_tool_win.cpp).

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tolvana::testing {

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

// A new empty folder for one test.
std::filesystem::path MakeTestFolder();

// Runs the tool (TOLVANA_CIPHER_TOOL) with `arguments` (UTF-8), in the folder
// `dir`, with the file `dir`/.in on standard input and standard output and
// error into `dir`/.out and `dir`/.err, under the locale `locale`, with at
// most `addressSpace` bytes of address space when that is not 0. Returns the
// exit status, or minus the signal that ended the tool.
int RunTool(const std::filesystem::path& dir, const std::vector<std::string>& arguments,
            const char* locale, std::uint64_t addressSpace = 0);

// Holds the tools that RunTool starts from now on to files of at most `bytes`
// bytes, as `ulimit -f` does (0: no limit). False where the system has no such
// limit.
bool LimitFileSize(std::uint64_t bytes);

// Whether the tool writes its messages in the character set that the locale
// given to RunTool names (POSIX); Windows programs take no locale from it.
bool LocaleNamesTheCharacterSet();

// Whether RunTool can hold the tool to an address space.
bool CanLimitAddressSpace();

// Whether a command line carries any bytes as a file name, so that a name
// that is not UTF-8 can be given. A Windows command line is UTF-16 text.
bool NamesAreBytes();

} // namespace tolvana::testing
