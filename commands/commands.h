#pragma once

// The commands behind the window, the web page and tolvana-cipher: the rules
// of "Kryptera", "Dekryptera", opening a ".crp" file, importing a ".txt" file
// and checking a save, written once. Plain C++ with no Qt. Each command takes
// text as the boxes keep it (UTF-16) or a file's bytes, and returns code page
// codes or a message of the catalogue; the faces do the showing, the dialogs
// and the streaming.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvana::commands {

// The line breaks of the two boxes: CR LF in the clear text, LF in the cipher.
inline constexpr std::u16string_view kClearLineBreak = u"\r\n";
inline constexpr std::u16string_view kCipherLineBreak = u"\n";

// A character that the code page lacks, and the line it stands on (from 1).
struct Missing {
    char32_t character = 0;
    std::uint64_t line = 0;
};

// The codes of `text`. Where a character has no code (any character outside
// the basic multilingual plane too), nothing, and `missing` names the first
// such character, its line counted by `lineBreak`.
std::optional<std::string> ToCodes(std::u16string_view text, std::u16string_view lineBreak,
                                   Missing& missing);

// The same, with the index in `text` of the first character without a code
// in `badPosition` where there is one.
std::optional<std::string> ToCodes(std::u16string_view text, std::size_t& badPosition);

// The character at `position` of `text` (a pair of surrogates as one) and its
// line, counted by `lineBreak`.
Missing CharacterAt(std::u16string_view text, std::size_t position,
                    std::u16string_view lineBreak);

// What a command gives its face.
struct Outcome {
    enum class Kind {
        Done,    // `codes` holds the result
        Refused, // `message` says why, in the catalogue's words
        Nothing, // nothing to show and nothing to change
    };
    Kind kind = Kind::Nothing;
    std::string codes;
    std::string message;

    static Outcome Done(std::string codes) { return {Kind::Done, std::move(codes), {}}; }
    static Outcome Refused(std::string message) { return {Kind::Refused, {}, std::move(message)}; }
    static Outcome Nothing() { return {}; }
};

// "Kryptera": the clear text's cipher text, with `decimal` as the decimal
// separator; refused where the text holds a character without a code.
Outcome Encrypt(std::u16string_view clearText, char decimal);
Outcome Encrypt(std::string_view codes, char decimal);

// "Dekryptera": the cipher text's clear text; refused where a token is no
// number or no character's number, or the text holds a character without a
// code.
Outcome Decrypt(std::u16string_view cipherText);
Outcome Decrypt(std::string_view codes);

// The codes that saving the cipher text writes. Refused where a character has
// no code, or where the text holds a double quote, which ends a field: such a
// file could not be read back whole.
Outcome CheckSave(std::u16string_view cipherText);
Outcome CheckSave(std::string codes);

// Opening a ".crp" file: its first field. Nothing for a file that holds no
// field (an empty file); refused for a file whose first field is empty while
// more follows, which holds no cipher text at its start.
Outcome OpenCipher(std::string bytes, const std::string& name, std::string_view shownName);

// Importing a ".txt" file: its bytes read as UTF-8, as UTF-16 after a
// byte-order mark, or else as code page bytes, and every field run together.
// Refused for a character the code page lacks; nothing for a file that holds
// no field.
Outcome ImportText(std::string bytes, const std::string& name, std::string_view shownName);

// Every field of `codes`, run together, as the import reads a text file.
std::string JoinFields(std::string codes, const std::string& name);

} // namespace tolvana::commands
