// Names, characters and sizes as the messages show them.

#include "messages/format_p.h"
#include "messages/messages.h"

#include "storage/codepage.h"
#include "storage/textfile.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace tolvana::messages {

namespace detail {

std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> texts) {
    std::string out;
    out.reserve(pattern.size() + 64);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && index < texts.size()) {
            out += texts.begin()[index];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string Grouped(std::uint64_t number) {
    const std::string digits = std::to_string(number);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}

} // namespace detail

namespace {

using storage::AppendUtf8;

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

void AppendHexByte(std::string& out, unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    out += text;
}

} // namespace

std::string ShownName(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        char32_t c = 0;
        const std::size_t length = storage::NextUtf8(bytes, 0, c);
        if (length == 0 || IsControl(c)) {
            // A stray byte alone; a control character with all its bytes.
            const std::size_t shown = length == 0 ? 1 : length;
            for (std::size_t i = 0; i < shown; ++i)
                AppendHexByte(out, static_cast<unsigned char>(bytes[i]));
            bytes.remove_prefix(shown);
            continue;
        }
        out.append(bytes.substr(0, length));
        bytes.remove_prefix(length);
    }
    return out;
}

std::string ControlName(char32_t c) {
    static const char* const kNames[32] = {
        "nolltecken",        // 0 NUL
        "rubrikstart",       // 1 SOH
        "textstart",         // 2 STX
        "textslut",          // 3 ETX
        "överföringsslut",   // 4 EOT
        "förfrågan",         // 5 ENQ
        "kvittens",          // 6 ACK
        "ljudsignal",        // 7 BEL
        "backsteg",          // 8 BS
        "tabb",              // 9 HT
        "radmatning",        // 10 LF
        "vertikal tabb",     // 11 VT
        "sidmatning",        // 12 FF
        "vagnretur",         // 13 CR
        "skift ut",          // 14 SO
        "skift in",          // 15 SI
        "datalänkskifte",    // 16 DLE
        "enhetsstyrning 1",  // 17 DC1
        "enhetsstyrning 2",  // 18 DC2
        "enhetsstyrning 3",  // 19 DC3
        "enhetsstyrning 4",  // 20 DC4
        "negativ kvittens",  // 21 NAK
        "synkronisering",    // 22 SYN
        "blockslut",         // 23 ETB
        "annullering",       // 24 CAN
        "mediumslut",        // 25 EM
        "ersättningstecken", // 26 SUB
        "escape",            // 27 ESC
        "filavskiljare",     // 28 FS
        "gruppavskiljare",   // 29 GS
        "postavskiljare",    // 30 RS
        "enhetsavskiljare",  // 31 US
    };
    const char* name = nullptr;
    if (c < 0x20)
        name = kNames[c];
    else if (c == 0x7F)
        name = "radera";
    else if (c >= 0x80 && c <= 0x9F)
        name = "styrtecken";
    else
        return {};
    return std::string(name) + " (kod " + std::to_string(static_cast<unsigned>(c)) + ")";
}

std::string DescribeCharacter(char32_t c, std::uint64_t line) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(c));
    std::string shown = ControlName(c);
    if (shown.empty()) {
        // A lone surrogate is no character that UTF-8 can hold.
        shown = "\"";
        AppendUtf8(shown, c >= 0xD800 && c <= 0xDFFF ? char32_t{0xFFFD} : c);
        shown += '"';
    }
    return "tecknet " + shown + " (U+" + hex + ") på rad " + std::to_string(line);
}

std::string Quoted(std::string_view codes) {
    constexpr std::size_t kMaxShown = 40;
    std::string out = "\"";
    for (std::size_t i = 0; i < codes.size() && i < kMaxShown; ++i) {
        const char32_t c = storage::CharOfCode(static_cast<unsigned char>(codes[i]));
        const std::string name = ControlName(c);
        if (name.empty())
            AppendUtf8(out, c);
        else
            out += "[" + name + "]";
    }
    if (codes.size() > kMaxShown) out += "\xE2\x80\xA6"; // …
    return out + "\"";
}

std::string ReadableSize(std::uint64_t bytes) {
    static const char* const kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1024) return std::to_string(bytes) + " byte";
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    value /= 1024;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    // One decimal below 10 where it says something, whole numbers above;
    // halves are rounded up.
    const bool decimal = value < 10 && static_cast<std::uint64_t>(value * 10) % 10 != 0;
    const auto tenths = static_cast<std::uint64_t>(std::llround(value * 10));
    std::string number = decimal ? detail::Grouped(tenths / 10) + "," + std::to_string(tenths % 10)
                                 : detail::Grouped(static_cast<std::uint64_t>(std::llround(value)));
    return number + " " + kUnits[unit];
}

} // namespace tolvana::messages
