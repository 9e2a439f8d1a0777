#include "cipher/cipher.h"

#include "cipher/hugepages.h"

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

// A string of `size` bytes for a result that is about to be written front to
// back. A large one is backed by huge pages where the system offers them, which
// saves most of the cost of faulting in a fresh buffer 4 KiB at a time.
std::string ResultBuffer(std::size_t size) {
    std::string buffer;
    buffer.reserve(size);
    AdviseHugePages(buffer.data(), size);
    buffer.resize(size);
    return buffer;
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

// Every number text the encoder writes (1-5 bytes, under either decimal
// separator), packed into a 64-bit key, with its code. Looked up
// with one multiplication and, rarely, a short linear probe.
class CanonicalTexts {
public:
    CanonicalTexts() {
        for (char decimal : {',', '.'}) {
            for (int code = 0; code < 256; ++code) {
                const std::string text =
                    exact::NumberText(NumberOf(static_cast<unsigned char>(code)), decimal);
                const std::uint64_t key = Pack(text.data(), text.size());
                std::size_t slot = SlotOf(key);
                while (keys_[slot] != 0 && keys_[slot] != key) slot = (slot + 1) & (kSlots - 1);
                keys_[slot] = key;
                codes_[slot] = static_cast<std::int16_t>(code);
            }
        }
    }

    // A text of 1-5 bytes as a key: its bytes in the low five bytes and its
    // length in the top byte, so no key is 0 (an empty slot) and texts that
    // differ only by trailing NUL bytes differ.
    static std::uint64_t Pack(const char* text, std::size_t length) {
        std::uint64_t key = 0;
        std::memcpy(&key, text, length);
        return key | std::uint64_t{length} << 56;
    }

    // The code of a number text, or -1 when the encoder never writes it.
    int Find(std::string_view text) const {
        if (text.empty() || text.size() > 5) return -1;
        return Find(Pack(text.data(), text.size()));
    }

    // The same for a key made by Pack.
    int Find(std::uint64_t key) const {
        for (std::size_t slot = SlotOf(key);; slot = (slot + 1) & (kSlots - 1)) {
            if (keys_[slot] == key) return codes_[slot];
            if (keys_[slot] == 0) return -1;
        }
    }

private:
    static constexpr std::size_t kSlots = 2048; // a power of two, well above 384 texts
    static std::size_t SlotOf(std::uint64_t key) {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 53);
    }

    std::array<std::uint64_t, kSlots> keys_{};
    std::array<std::int16_t, kSlots> codes_{};
};

const CanonicalTexts kCanonical;

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHighs = 0x8080808080808080ull;

// The first `length` (1-5) bytes of `word` as a key of CanonicalTexts.
std::uint64_t Packed(std::uint64_t word, unsigned length) {
    return (word & (~std::uint64_t{0} >> (64 - 8 * length))) | std::uint64_t{length} << 56;
}

// Decodes canonical tokens eight bytes at a time while at least eight bytes
// are left: finds the separator in the word, and looks the token before it up
// among the encoder's texts. Stops at the first token it cannot decode that way,
// leaving it to the caller. Only for little-endian machines.
void DecodeCanonicalWords(const char*& p, const char* end, char separator, char*& out,
                          std::size_t& line) {
    if constexpr (std::endian::native != std::endian::little) return;
    const std::uint64_t separators = kOnes * static_cast<unsigned char>(separator);
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        const std::uint64_t x = word ^ separators;
        // The lowest flagged byte is the first separator; later flags may be false.
        const std::uint64_t found = (x - kOnes) & ~x & kHighs;
        if (found == 0) return;
        const unsigned stop = static_cast<unsigned>(std::countr_zero(found)) / 8;
        // A CR right before the separator belongs to the line end (CR LF);
        // taken from the word without a branch, it costs LF text little.
        const unsigned cr = stop > 0 && (word >> (8 * (stop - 1)) & 0xFF) == '\r';
        const unsigned length = stop - cr;
        int code = -1;
        if (length > 0) { // else an empty line
            if (length > 5) return;
            code = kCanonical.Find(Packed(word, length));
            if (code < 0) return;
        }
        if (code >= 0) *out++ = static_cast<char>(code);
        p += stop + 1;
        ++line;
    }
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

std::string Kryptera(std::string_view clear, char separator, char decimal) {
    std::optional<NumberTexts> scratch;
    const NumberTexts& texts = TextsFor(decimal, scratch);

    std::size_t size = clear.size();
    for (char c : clear) size += texts.length[static_cast<unsigned char>(c)];

    // Each entry is stored as a whole 8-byte block; the slack at the end keeps
    // the last block inside the string.
    std::string cipher = ResultBuffer(size + 8);
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
    std::string clear = ResultBuffer(cipher.size());
    char* out = clear.data();
    const char* p = cipher.data();
    const char* const end = p + cipher.size();
    std::size_t line = 1;

    while (p < end) {
        DecodeCanonicalWords(p, end, separator, out, line);
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
        if (IsEmptyLine(token)) {
            p = tokenEnd;
            continue;
        }
        const std::string_view core = WithoutLineEnd(token);
        int code = kCanonical.Find(core);
        if (code < 0 && core == "32" && tokenEnd != end) code = ' ';
        if (code < 0) code = exact::TokenCode(token);
        if (code < 0) {
            Fail(failure, code, token, line);
            return std::nullopt;
        }
        *out++ = static_cast<char>(code);
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
