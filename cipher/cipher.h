#pragma once

// The number cipher. Text here is a byte string of code page codes: one byte
// per character, 0-255. Every character becomes its "number text", the value
// code * 1.5 + 7.5 written with the caller's decimal separator, and each number
// text is preceded by the entry separator (a line feed in the program).
//
// Nothing here knows about locales, Qt or text boxes: the caller passes the
// decimal separator it wants written.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tolvana {

// The separator the program always uses between cipher entries.
inline constexpr char kLineFeed = '\n';

// Encodes clear text into cipher text. Linear in the length of the text; an
// empty text gives an empty cipher text.
std::string Kryptera(std::string_view clear, char separator, char decimal);

// The same into `cipher`, in place of what it held, keeping its room: for a
// caller that encodes a long text a piece at a time.
void Kryptera(std::string_view clear, char separator, char decimal, std::string& cipher);

// Why and where a cipher text cannot be decoded. `token` is the offending
// number text as it stands in the cipher text and `line` is the 1-based line it
// stands on, counting one line per separator before it.
struct DecodeFailure {
    enum class Reason {
        NotANumber, // the token does not read as a decimal number
        NotACode,   // the number decodes to no code 0-255
    };

    Reason reason = Reason::NotANumber;
    std::string token;
    std::size_t line = 0;
};

class DecodeError : public std::runtime_error {
public:
    explicit DecodeError(DecodeFailure failure);

    const DecodeFailure& failure() const { return failure_; }
    DecodeFailure::Reason reason() const { return failure_.reason; }
    const std::string& token() const { return failure_.token; }
    std::size_t line() const { return failure_.line; }

private:
    DecodeFailure failure_;
};

// Decodes cipher text back into clear text; it never returns part of a result.
// Numbers are read with either "," or "." as decimal separator, whatever the
// writer used, and blanks, tabs and carriage returns around a number are
// ignored. A token of nothing but blanks and carriage returns counts as an
// empty line and gives no character, so cipher text with CR LF line ends or
// blank lines decodes as the same text with plain line feeds. Separators at the
// very end of the text are ignored. A token "32" followed by a separator (with
// or without a carriage return before it) stands for a space.
//
// The first form throws DecodeError; the second returns nothing and fills
// `failure` instead.
std::string Dekryptera(std::string_view cipher, char separator);
std::optional<std::string> Dekryptera(std::string_view cipher, char separator,
                                      DecodeFailure& failure);

// The second form into `clear`, in place of what it held, keeping its room;
// false on failure, and `clear` then holds nothing of use.
bool Dekryptera(std::string_view cipher, char separator, DecodeFailure& failure,
                std::string& clear);

// The simple, exact forms of the pieces above. The fast paths of Kryptera and
// Dekryptera must give the same results; these are kept for building the
// tables and for checking the fast paths against.
namespace exact {

// A double written with at most 15 significant digits, no exponent for the
// values the cipher uses, no trailing zeros, and `decimal` as decimal
// separator: 154.5 -> "154,5", 153 -> "153".
std::string NumberText(double value, char decimal);

// Decodes one token (the characters between two separators) by arithmetic:
// read the number, y = (x - 7.5) / 1.5, round y to 15 significant digits, then
// to the nearest whole number with halves going to the even neighbour.
// Returns the code 0-255, or kNotANumber or kNotACode.
inline constexpr int kNotANumber = -1;
inline constexpr int kNotACode = -2;
int TokenCode(std::string_view token);

std::string Kryptera(std::string_view clear, char separator, char decimal);
std::string Dekryptera(std::string_view cipher, char separator);
std::optional<std::string> Dekryptera(std::string_view cipher, char separator,
                                      DecodeFailure& failure);

} // namespace exact
} // namespace tolvana
