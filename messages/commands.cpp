// The messages of the cipher commands and of a command that could not run.

#include "messages/format_p.h"
#include "messages/messages.h"

namespace tolvana::messages {

using detail::Fill;

namespace {

std::string MissingFromCodePage(std::string_view cannot, char32_t c, std::uint64_t line) {
    return Fill("%1: %2 finns inte i teckentabellen.", {cannot, DescribeCharacter(c, line)});
}

const char* const kCannotDecrypt = "Den krypterade texten kan inte dekrypteras";
const char* const kCipherNotSaved = "Den krypterade texten sparades inte";

} // namespace

std::string CannotEncrypt(char32_t c, std::uint64_t line) {
    return MissingFromCodePage("Texten kan inte krypteras", c, line);
}

std::string CannotDecrypt(const DecodeFailure& failure) {
    const std::string where =
        Fill("%1 på rad %2", {Quoted(failure.token), std::to_string(failure.line)});
    if (failure.reason == DecodeFailure::Reason::NotANumber)
        return Fill("%1: %2 är inget tal.", {kCannotDecrypt, where});
    return Fill("%1: talet %2 motsvarar inget tecken.", {kCannotDecrypt, where});
}

std::string CannotDecrypt(char32_t c, std::uint64_t line) {
    return MissingFromCodePage(kCannotDecrypt, c, line);
}

std::string CipherNotSaved(char32_t c, std::uint64_t line) {
    return MissingFromCodePage(kCipherNotSaved, c, line);
}

std::string CipherWithQuoteNotSaved() {
    return Fill("%1: den innehåller citattecken (\"), och det som står efter ett citattecken kan "
                "inte läsas tillbaka ur filen.",
                {kCipherNotSaved});
}

std::string OutOfMemory() {
    return std::string(kOutOfMemory) + " Rutorna och filerna är som de var.";
}

std::string CommandNotRun(std::int64_t systemCode) {
    return Fill("Kommandot kunde inte köras (systemfel %1). Rutorna och filerna är som de var.",
                {std::to_string(systemCode)});
}

std::string UnsavedOnEnd(bool clearText, bool cipherText) {
    const char* what = clearText && cipherText ? "Texterna i båda rutorna finns inte sparade"
                       : cipherText ? "Den krypterade texten i den nedre rutan finns inte sparad"
                                    : "Texten i den övre rutan finns inte sparad";
    return Fill("%1 någon annanstans och försvinner om programmet avslutas nu.", {what});
}

std::string NoDisplay() {
    return "Tolvana kan inte visa sitt fönster: ingen bildskärm kunde öppnas.";
}

} // namespace tolvana::messages
