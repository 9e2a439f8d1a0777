#include "cipher/cipher.h"

#include "cipher/hugepages.h"
#include "cipher/kernels.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

namespace tolvana {

DecodeError::DecodeError(DecodeFailure failure)
    : std::runtime_error(failure.reason == DecodeFailure::Reason::NotANumber
                             ? "token is not a number"
                             : "token is not a character code"),
      failure_(std::move(failure)) {}

namespace {

// Empties `buffer` and gives it room for `size` bytes, for a result that is
// about to be appended front to back. Fresh room for a large one is backed by
// huge pages where the system offers them, which saves most of the cost of
// faulting in a fresh buffer 4 KiB at a time.
void MakeRoom(std::string& buffer, std::size_t size) {
    buffer.clear();
    if (buffer.capacity() >= size) return;
    buffer.reserve(size);
    AdviseHugePages(buffer.data(), size);
}

constexpr double kFactor = 1.5;
constexpr double kOffset = 7.5;

double NumberOf(unsigned char code) { return code * kFactor + kOffset; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// A token of nothing but blanks and CRs stands for an empty line, as the empty
// token does: so blank lines, and the CR of CR LF line ends, give no character.
bool IsEmptyLine(std::string_view token) {
    for (char c : token)
        if (!IsBlank(c)) return false;
    return true;
}

// The token without the CRs at its end, which belong to a CR LF line end.
std::string_view WithoutLineEnd(std::string_view token) {
    while (!token.empty() && token.back() == '\r') token.remove_suffix(1);
    return token;
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsDecimal(char c) { return c == ',' || c == '.'; }

// Rounds to 15 significant digits the way writing the number as text and
// reading it back does.
double RoundTo15Digits(double y) {
    char buf[64];
    auto written = std::to_chars(buf, buf + sizeof buf, y, std::chars_format::scientific, 14);
    double rounded = 0;
    std::from_chars(buf, written.ptr, rounded);
    return rounded;
}

// The entries of all 256 codes for one decimal separator.
struct NumberTexts : kernels::EncodeTable {
    explicit NumberTexts(char separator, char decimal) {
        for (int code = 0; code < 256; ++code) {
            const std::string text =
                separator + exact::NumberText(NumberOf(static_cast<unsigned char>(code)), decimal);
            std::memcpy(&entry[code], text.data(), text.size());
            entry[code] |= std::uint64_t{text.size()} << 56;
        }
    }
};

// The tables for the program's separator and the two usual decimal separators
// are built once; any other pair gets a table of its own in `scratch`.
const kernels::EncodeTable& TextsFor(char separator, char decimal,
                                     std::optional<NumberTexts>& scratch) {
    if (separator == kLineFeed) {
        static const NumberTexts comma(kLineFeed, ',');
        static const NumberTexts point(kLineFeed, '.');
        if (decimal == ',') return comma;
        if (decimal == '.') return point;
    }
    return scratch.emplace(separator, decimal);
}

// The key of a token in the canonical table, or 0 for a token that cannot be
// one of its texts.
std::uint64_t KeyOf(std::string_view text) {
    if (text.empty() || text.size() > 6 || text.find('\0') != std::string_view::npos) return 0;
    std::uint64_t key = 0;
    std::memcpy(&key, text.data(), text.size());
    return key;
}

// The code of a number text the encoder writes, or -1.
int CanonicalCode(std::string_view text) {
    const std::uint64_t key = KeyOf(text);
    if (key == 0) return -1;
    const kernels::CanonicalTable& table = kernels::Canonical();
    const std::size_t slot = kernels::CanonicalTable::SlotOf(key);
    return table.key[slot] == key ? table.code[slot] : -1;
}

std::string OrThrow(std::optional<std::string> clear, DecodeFailure& failure) {
    if (!clear) throw DecodeError(std::move(failure));
    return std::move(*clear);
}

void Fail(DecodeFailure& failure, int code, std::string_view token, std::size_t line) {
    failure.reason = code == exact::kNotANumber ? DecodeFailure::Reason::NotANumber
                                                : DecodeFailure::Reason::NotACode;
    failure.token = std::string(token);
    failure.line = line;
}

} // namespace

namespace kernels {

const CanonicalTable& Canonical() {
    static const CanonicalTable table = [] {
        CanonicalTable built;
        for (char decimal : {',', '.'}) {
            for (int code = 0; code < 256; ++code) {
                const std::string text =
                    exact::NumberText(NumberOf(static_cast<unsigned char>(code)), decimal);
                // The text alone, and with the CR of a CR LF line end.
                for (const std::string& form : {text, text + '\r'}) {
                    const std::uint64_t key = KeyOf(form);
                    const std::size_t slot = CanonicalTable::SlotOf(key);
                    if (built.key[slot] != 0) continue; // a second key there goes the slow way
                    built.key[slot] = key;
                    built.code[slot] = static_cast<unsigned char>(code);
                }
            }
        }
        return built;
    }();
    return table;
}

} // namespace kernels

namespace exact {

std::string NumberText(double value, char decimal) {
    char buf[64];
    auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string text(buf, written.ptr);
    for (char& c : text)
        if (c == '.') c = decimal;
    return text;
}

int TokenCode(std::string_view token) {
    std::string_view digits = token;
    while (!digits.empty() && IsBlank(digits.front())) digits.remove_prefix(1);
    while (!digits.empty() && IsBlank(digits.back())) digits.remove_suffix(1);

    // Only plain decimal numbers are accepted: digits with at most one decimal
    // separator, no sign, exponent, grouping or words such as "inf".
    std::string number;
    number.reserve(digits.size());
    bool anyDigit = false, anyDecimal = false;
    for (char c : digits) {
        if (IsDigit(c)) {
            anyDigit = true;
            number += c;
        } else if (IsDecimal(c) && !anyDecimal) {
            anyDecimal = true;
            number += '.';
        } else {
            return kNotANumber;
        }
    }
    if (!anyDigit) return kNotANumber;

    double x = 0;
    auto parsed = std::from_chars(number.data(), number.data() + number.size(), x);
    if (parsed.ec != std::errc() || parsed.ptr != number.data() + number.size()) return kNotACode;

    double y = (x - kOffset) / kFactor;
    double code = std::nearbyint(RoundTo15Digits(y)); // ties to even
    if (!(code >= 0 && code <= 255)) return kNotACode;
    return static_cast<int>(code);
}

std::string Kryptera(std::string_view clear, char separator, char decimal) {
    std::string cipher;
    for (char c : clear) {
        cipher += separator;
        cipher += NumberText(NumberOf(static_cast<unsigned char>(c)), decimal);
    }
    return cipher;
}

std::optional<std::string> Dekryptera(std::string_view cipher, char separator,
                                      DecodeFailure& failure) {
    while (!cipher.empty() && cipher.back() == separator) cipher.remove_suffix(1);

    std::string clear, token;
    std::size_t line = 1, tokenLine = 1;
    auto decode = [&]() {
        if (IsEmptyLine(token)) return true;
        int code = TokenCode(token);
        if (code < 0) Fail(failure, code, token, tokenLine);
        clear += static_cast<char>(code);
        return code >= 0;
    };
    for (std::size_t i = 0; i < cipher.size(); ++i) {
        char c = cipher[i];
        if (c != separator) {
            if (token.empty()) tokenLine = line;
            token += c;
        } else {
            ++line;
            if (!token.empty()) {
                if (WithoutLineEnd(token) == "32")
                    clear += ' ';
                else if (!decode())
                    return std::nullopt;
                token.clear();
            }
        }
        if (i + 1 == cipher.size() && !decode()) return std::nullopt;
    }
    return clear;
}

std::string Dekryptera(std::string_view cipher, char separator) {
    DecodeFailure failure;
    return OrThrow(exact::Dekryptera(cipher, separator, failure), failure);
}

} // namespace exact

void kernels::Kryptera(const Kernels& kernel, std::string_view clear, char separator, char decimal,
                       std::string& cipher) {
    std::optional<NumberTexts> scratch;
    const kernels::EncodeTable& table = TextsFor(separator, decimal, scratch);
    const auto* codes = reinterpret_cast<const unsigned char*>(clear.data());

    const std::size_t size = kernel.cipherSize(codes, clear.size(), table);

    // The entries are written a piece at a time into a small buffer that
    // stays in the cache and appended from there, so the result's memory is
    // written once, not first cleared and then written.
    MakeRoom(cipher, size);
    constexpr std::size_t kPiece = 2048;
    char piece[6 * kPiece + 8];
    for (std::size_t at = 0; at < clear.size(); at += kPiece) {
        const std::size_t count = std::min(kPiece, clear.size() - at);
        const char* pieceEnd = kernel.encode(codes + at, count, table, piece);
        cipher.append(piece, static_cast<std::size_t>(pieceEnd - piece));
    }
}

bool kernels::Dekryptera(const Kernels& kernel, std::string_view cipher, char separator,
                         DecodeFailure& failure, std::string& clear) {
    while (!cipher.empty() && cipher.back() == separator) cipher.remove_suffix(1);

    const kernels::CanonicalTable& table = kernels::Canonical();
    // A token takes at least one byte and all but the last a separator too.
    MakeRoom(clear, cipher.size() / 2 + 1);
    // The codes are written into a small buffer that stays in the cache and
    // appended from there whenever it fills.
    constexpr std::size_t kPiece = 16 * 1024;
    char piece[kPiece];
    char* out = piece;
    const char* const pieceEnd = piece + kPiece;
    const char* p = cipher.data();
    const char* const end = p + cipher.size();
    std::size_t line = 1;

    while (p < end) {
        p = kernel.decode(cipher.data(), p, end, separator, table, out, pieceEnd, line);
        if (pieceEnd - out < static_cast<std::ptrdiff_t>(kernels::kDecodeRoom)) {
            clear.append(piece, static_cast<std::size_t>(out - piece));
            out = piece;
            continue;
        }
        if (p == end) break;
        if (*p == separator) {
            ++line;
            ++p;
            continue;
        }

        // Near the end of the text, or a token the encoder would not write.
        const void* found = std::memchr(p, separator, static_cast<std::size_t>(end - p));
        const char* tokenEnd = found ? static_cast<const char*>(found) : end;
        const std::string_view token(p, static_cast<std::size_t>(tokenEnd - p));
        p = tokenEnd;
        if (IsEmptyLine(token)) continue;
        const std::string_view core = WithoutLineEnd(token);
        int code = CanonicalCode(core);
        if (code < 0 && core == "32" && tokenEnd != end) code = ' ';
        if (code < 0) code = exact::TokenCode(token);
        if (code < 0) {
            Fail(failure, code, token, line);
            return false;
        }
        *out++ = static_cast<char>(code);
    }
    clear.append(piece, static_cast<std::size_t>(out - piece));
    return true;
}

std::string kernels::Kryptera(const Kernels& kernel, std::string_view clear, char separator,
                              char decimal) {
    std::string cipher;
    Kryptera(kernel, clear, separator, decimal, cipher);
    return cipher;
}

std::optional<std::string> kernels::Dekryptera(const Kernels& kernel, std::string_view cipher,
                                               char separator, DecodeFailure& failure) {
    std::string clear;
    if (!Dekryptera(kernel, cipher, separator, failure, clear)) return std::nullopt;
    return clear;
}

std::string Kryptera(std::string_view clear, char separator, char decimal) {
    return kernels::Kryptera(kernels::Selected(), clear, separator, decimal);
}

void Kryptera(std::string_view clear, char separator, char decimal, std::string& cipher) {
    kernels::Kryptera(kernels::Selected(), clear, separator, decimal, cipher);
}

bool Dekryptera(std::string_view cipher, char separator, DecodeFailure& failure,
                std::string& clear) {
    return kernels::Dekryptera(kernels::Selected(), cipher, separator, failure, clear);
}

std::optional<std::string> Dekryptera(std::string_view cipher, char separator,
                                      DecodeFailure& failure) {
    return kernels::Dekryptera(kernels::Selected(), cipher, separator, failure);
}

std::string Dekryptera(std::string_view cipher, char separator) {
    DecodeFailure failure;
    return OrThrow(tolvana::Dekryptera(cipher, separator, failure), failure);
}

} // namespace tolvana
