#include "web/words.h"

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

} // namespace

std::optional<std::string_view> Caption(std::string_view key) {
    for (const auto& [name, text] : kCaptions)
        if (name == key) return text;
    return std::nullopt;
}

} // namespace tolvana::web
