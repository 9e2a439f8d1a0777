#include "web/words.h"

#include "storage/codepage.h"

#include <array>
#include <cstdio>
#include <utility>

namespace tolvana::web {
namespace {

constexpr std::pair<std::string_view, std::string_view> kCaptions[] = {
    {"title", "Tolvana"},
    {"clear", "Skriv in den text som ska krypteras"},
    {"cipher", "Texten krypterad"},
    {"encrypt", "Kryptera"},
    {"decrypt", "Dekryptera"},
    {"open", "Öppna en krypterad fil"},
    {"open-dialog", "ladda en krypterad fil"},
    {"import", "Öppna fil för tolvana"},
    {"import-dialog", "ladda en Okrypterad fil"},
    {"save", "Spara som"},
    {"decimal", "Decimaltecken i talen som Kryptera skriver"},
    {"comma", "komma (,)"},
    {"point", "punkt (.)"},
    {"ok", "OK"},
    {"encrypting", "Krypterar …"},
    {"decrypting", "Dekrypterar …"},
    {"reading", "Läser filen …"},
    {"preparing", "Förbereder …"},
    {"saving", "Sparar filen …"},
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD; // half a pair is no character
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Digits in groups of three, parted by a space, as a Swedish text writes them.
std::string Grouped(std::string digits) {
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, " ");
    return digits;
}

// "tecknet "ł" (U+0142) på rad 3"
std::string DescribeCharacter(char32_t c, std::size_t line) {
    std::string shown = ControlName(c);
    if (shown.empty()) {
        shown = "\"";
        AppendUtf8(shown, c);
        shown += '"';
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(c));
    return "tecknet " + shown + " (U+" + hex + ") på rad " + std::to_string(line);
}

std::string Missing(std::string_view cannot, char32_t c, std::size_t line) {
    return std::string(cannot) + DescribeCharacter(c, line) + " finns inte i teckentabellen.";
}

constexpr std::string_view kCannotEncrypt = "Texten kan inte krypteras: ";
constexpr std::string_view kCannotDecrypt = "Den krypterade texten kan inte dekrypteras: ";
constexpr std::string_view kNotSaved = "Den krypterade texten sparades inte: ";

// A token of cipher text fit for a message: quoted, control characters named
// in words, and cut short when it is long.
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
    if (codes.size() > kMaxShown) out += "…";
    return out + "\"";
}

} // namespace

std::optional<std::string_view> Caption(std::string_view key) {
    for (const auto& [name, text] : kCaptions)
        if (name == key) return text;
    return std::nullopt;
}

std::string ControlName(char32_t c) {
    static constexpr std::array<std::string_view, 32> kNames = {
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
    std::string name;
    if (c < 0x20)
        name = kNames[c];
    else if (c == 0x7F)
        name = "radera";
    else if (c >= 0x80 && c <= 0x9F)
        name = "styrtecken";
    else
        return {};
    return name + " (kod " + std::to_string(static_cast<unsigned>(c)) + ")";
}

std::string ReadableSize(std::uint64_t bytes) {
    static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    if (bytes < 1024) return std::to_string(bytes) + " byte";
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1024 && unit + 1 < static_cast<int>(std::size(kUnits))) {
        value /= 1024;
        ++unit;
    }
    // One decimal below 10 where it says something, whole numbers above.
    const int decimals = value < 10 && static_cast<std::uint64_t>(value * 10) % 10 != 0 ? 1 : 0;
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", decimals, value);
    std::string text = number;
    const std::size_t point = text.find('.');
    std::string whole = Grouped(text.substr(0, point));
    if (point != std::string::npos) whole += "," + text.substr(point + 1);
    return whole + " " + kUnits[unit];
}

std::string CannotEncrypt(char32_t c, std::size_t line) { return Missing(kCannotEncrypt, c, line); }

std::string CannotDecrypt(char32_t c, std::size_t line) { return Missing(kCannotDecrypt, c, line); }

std::string CannotDecrypt(const DecodeFailure& failure) {
    const std::string where = Quoted(failure.token) + " på rad " + std::to_string(failure.line);
    if (failure.reason == DecodeFailure::Reason::NotANumber)
        return std::string(kCannotDecrypt) + where + " är inget tal.";
    return std::string(kCannotDecrypt) + "talet " + where + " motsvarar inget tecken.";
}

std::string CannotSave(char32_t c, std::size_t line) { return Missing(kNotSaved, c, line); }

std::string CannotSaveQuote() {
    return std::string(kNotSaved) + "den innehåller citattecken (\"), och det som står efter ett "
                                    "citattecken kan inte läsas tillbaka ur filen.";
}

std::string FileTooLarge(std::string_view name, std::uint64_t size, std::uint64_t maximum) {
    std::string shownSize = ReadableSize(size), shownMaximum = ReadableSize(maximum);
    if (shownSize == shownMaximum) { // rounded alike: give the exact figures
        shownSize = Grouped(std::to_string(size)) + " byte";
        shownMaximum = Grouped(std::to_string(maximum)) + " byte";
    }
    return "Filen " + std::string(name) + " öppnades inte: filen är " + shownSize +
           " stor, och högst " + shownMaximum + " kan läsas in.";
}

std::string FileNotImported(std::string_view name, const storage::UnmappableCharacter& character) {
    return "Filen " + std::string(name) +
           " kan inte läsas in: " + DescribeCharacter(character.character, character.line) +
           " finns inte i teckentabellen.";
}

std::string FileOfOtherType(std::string_view name) {
    return "Filen " + std::string(name) +
           " öppnades inte: Tolvana öppnar krypterade filer (.crp) och textfiler (.txt).";
}

std::string OutOfMemory() {
    return "Minnet räckte inte till, så kommandot avbröts. Rutorna och filerna är som de var.";
}

} // namespace tolvana::web
