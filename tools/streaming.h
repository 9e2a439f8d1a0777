#pragma once

// tolvana-cipher's streaming: where the input comes from and the result goes,
// and the two commands, which write their result a piece at a time.

#include "tools/options.h"

namespace tolvana::tool {

// Runs kryptera or dekryptera as `options` say, reading the input from the
// file or the stream `in` and writing to the file or the stream `out`.
// `localeDecimal` is the decimal separator written unless -d says another.
// Throws Failure with the message to report.
void Encrypt(const Options& options, int in, int out, char localeDecimal);
void Decrypt(const Options& options, int in, int out);

// The names of the standard streams in messages.
extern const std::string kStandardInput;
extern const std::string kStandardOutput;
extern const std::string kStandardError;

// A name for the input or output in messages: the file's, or the stream's.
std::string NameOf(const std::string& file, const std::string& standard);

} // namespace tolvana::tool
