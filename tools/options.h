#pragma once

// tolvana-cipher's command line: its options, its help and how the arguments
// are read.

#include "storage/limits.h"
#include "tools/cipher_tool.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvana::tool {

inline constexpr const char* kProgram = "tolvana-cipher";

// The most a command reads. These are larger than the window's limits on
// purpose: the tool fills no text box, whose memory per character sets those,
// and writes the cipher text a piece at a time as it is made. Whatever file
// the window and the web page read, the tool reads too.
inline constexpr std::uint64_t kMaxClearBytes = std::uint64_t{256} << 20;
inline constexpr std::uint64_t kMaxCipherBytes = std::uint64_t{1} << 30;
static_assert(kMaxClearBytes >= storage::kMaxTextFileBytes &&
              kMaxCipherBytes >= storage::kMaxCipherFileBytes);

// The help that --help shows, in UTF-8.
extern const char* const kHelp;

enum class Command { None, Kryptera, Dekryptera };
enum class CipherForm { Auto, Crp, Plain };
enum class ClearForm { Auto, Import, Text };
enum class Encoding { Auto, Utf8, CodePage };

struct Options {
    Command command = Command::None;
    std::string input;  // empty or "-": standard input
    std::string output; // empty or "-": standard output
    CipherForm cipherForm = CipherForm::Auto;
    ClearForm clearForm = ClearForm::Auto;
    Encoding encoding = Encoding::Auto;
    std::optional<char> decimal;
    bool help = false;
    bool version = false;
};

// A failure that ends the run, with the message that says why.
struct Failure {
    int status;
    std::string message;
};

// Whether a file name stands for a standard stream: none, or "-".
bool IsStandard(const std::string& name);

// Whether the file a name makes ends in `extension` (lower case, with its
// dot), whatever the name's case.
bool EndsWith(const std::string& name, std::string_view extension);

// Reads the command line into `options`; returns the failure when it is wrong.
std::optional<Failure> Parse(const std::vector<std::string>& arguments, Options& options);

} // namespace tolvana::tool
