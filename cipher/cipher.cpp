#include "cipher/cipher.h"

#include <array>
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

constexpr double kFactor = 1.5;
constexpr double kOffset = 7.5;

double NumberOf(unsigned char code) { return code * kFactor + kOffset; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }
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

// The number texts of all 256 codes for one decimal separator, each padded to
// 8 bytes so the encoder can copy a whole entry with one fixed-size move.
struct NumberTexts {
    std::array<std::array<char, 8>, 256> text{};
    std::array<unsigned char, 256> length{};

    explicit NumberTexts(char decimal) {
        for (int code = 0; code < 256; ++code) {
            std::string s = exact::NumberText(NumberOf(static_cast<unsigned char>(code)), decimal);
            std::memcpy(text[code].data(), s.data(), s.size());
            length[code] = static_cast<unsigned char>(s.size());
        }
    }
};

// The tables for the two usual separators are built once; any other separator
// gets a table of its own in `scratch`.
const NumberTexts& TextsFor(char decimal, std::optional<NumberTexts>& scratch) {
    static const NumberTexts comma(',');
    static const NumberTexts point('.');
    if (decimal == ',') return comma;
    if (decimal == '.') return point;
    return scratch.emplace(decimal);
}

// The inverse of the encoder's texts: for a number text of 1-3 digits without a
// leading zero, optionally followed by a decimal separator and "5", the code it
// stands for, or -1 when the encoder never writes that text.
struct CodeTables {
    std::array<std::int16_t, 1000> whole{};
    std::array<std::int16_t, 1000> half{};

    CodeTables() {
        whole.fill(-1);
        half.fill(-1);
        for (int code = 0; code < 256; ++code) {
            int twice = 3 * code + 15; // twice the number, always a whole number
            (twice % 2 == 0 ? whole : half)[twice / 2] = static_cast<std::int16_t>(code);
        }
    }
};

const CodeTables kCodes;

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
                if (token == "32")
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

std::string Kryptera(std::string_view clear, char separator, char decimal) {
    std::optional<NumberTexts> scratch;
    const NumberTexts& texts = TextsFor(decimal, scratch);

    std::size_t size = clear.size();
    for (char c : clear) size += texts.length[static_cast<unsigned char>(c)];

    // Each entry is stored as a whole 8-byte block; the slack at the end keeps
    // the last block inside the string.
    std::string cipher(size + 8, '\0');
    char* out = cipher.data();
    for (char c : clear) {
        auto code = static_cast<unsigned char>(c);
        *out = separator;
        std::memcpy(out + 1, texts.text[code].data(), 8);
        out += 1 + texts.length[code];
    }
    cipher.resize(size);
    return cipher;
}

std::optional<std::string> Dekryptera(std::string_view cipher, char separator,
                                      DecodeFailure& failure) {
    while (!cipher.empty() && cipher.back() == separator) cipher.remove_suffix(1);

    // Every character of clear text needs at least one character of cipher text.
    std::string clear(cipher.size(), '\0');
    char* out = clear.data();
    const char* p = cipher.data();
    const char* const end = p + cipher.size();
    std::size_t line = 1;

    while (p < end) {
        if (*p == separator) {
            ++line;
            ++p;
            continue;
        }

        // Fast path: a number text exactly as the encoder writes it.
        if (*p >= '1' && *p <= '9') {
            const char* q = p + 1;
            unsigned value = static_cast<unsigned>(*p - '0');
            for (int more = 0; more < 2 && q < end && IsDigit(*q); ++more, ++q)
                value = value * 10 + static_cast<unsigned>(*q - '0');
            int code = -1;
            if (q == end || *q == separator) {
                code = kCodes.whole[value];
            } else if (IsDecimal(*q) && q + 1 < end && q[1] == '5' &&
                       (q + 2 == end || q[2] == separator)) {
                code = kCodes.half[value];
                q += 2;
            }
            if (code >= 0) {
                *out++ = static_cast<char>(code);
                p = q;
                continue;
            }
        }

        // Anything else: find the token's end and decode it by arithmetic.
        const void* found = std::memchr(p, separator, static_cast<std::size_t>(end - p));
        const char* tokenEnd = found ? static_cast<const char*>(found) : end;
        std::string_view token(p, static_cast<std::size_t>(tokenEnd - p));
        if (token == "32" && tokenEnd != end) {
            *out++ = ' ';
        } else {
            int code = exact::TokenCode(token);
            if (code < 0) {
                Fail(failure, code, token, line);
                return std::nullopt;
            }
            *out++ = static_cast<char>(code);
        }
        p = tokenEnd;
    }

    clear.resize(static_cast<std::size_t>(out - clear.data()));
    return clear;
}

std::string Dekryptera(std::string_view cipher, char separator) {
    DecodeFailure failure;
    return OrThrow(tolvana::Dekryptera(cipher, separator, failure), failure);
}

} // namespace tolvana
