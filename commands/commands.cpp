#include "commands/commands.h"

#include "cipher/cipher.h"
#include "messages/messages.h"
#include "storage/codepage.h"
#include "storage/files.h"
#include "storage/textfile.h"

namespace tolvana::commands {

std::optional<std::string> ToCodes(std::u16string_view text, std::size_t& badPosition) {
    std::string codes(text.size(), '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        // Most characters are their own code; only the rest need the table.
        const int code = u < 0x80 || (u >= 0xA0 && u <= 0xFF) ? u : storage::CodeOfChar(u);
        if (code < 0) {
            badPosition = i;
            return std::nullopt;
        }
        codes[i] = static_cast<char>(code);
    }
    return codes;
}

std::optional<std::string> ToCodes(std::u16string_view text, std::u16string_view lineBreak,
                                   Missing& missing) {
    std::size_t bad = 0;
    std::optional<std::string> codes = ToCodes(text, bad);
    if (!codes) missing = CharacterAt(text, bad, lineBreak);
    return codes;
}

Missing CharacterAt(std::u16string_view text, std::size_t position,
                    std::u16string_view lineBreak) {
    Missing found{text[position], 1};
    if (found.character >= 0xD800 && found.character <= 0xDBFF && position + 1 < text.size() &&
        text[position + 1] >= 0xDC00 && text[position + 1] <= 0xDFFF)
        found.character = 0x10000 + ((found.character - 0xD800) << 10) + (text[position + 1] - 0xDC00);
    const std::u16string_view before = text.substr(0, position);
    for (std::size_t at = before.find(lineBreak); at != std::u16string_view::npos;
         at = before.find(lineBreak, at + lineBreak.size()))
        ++found.line;
    return found;
}

Outcome Encrypt(std::u16string_view clearText, char decimal) {
    Missing missing;
    const std::optional<std::string> codes = ToCodes(clearText, kClearLineBreak, missing);
    if (!codes) return Outcome::Refused(messages::CannotEncrypt(missing.character, missing.line));
    return Encrypt(std::string_view(*codes), decimal);
}

Outcome Encrypt(std::string_view codes, char decimal) {
    return Outcome::Done(Kryptera(codes, kLineFeed, decimal));
}

Outcome Decrypt(std::u16string_view cipherText) {
    Missing missing;
    const std::optional<std::string> codes = ToCodes(cipherText, kCipherLineBreak, missing);
    if (!codes) return Outcome::Refused(messages::CannotDecrypt(missing.character, missing.line));
    return Decrypt(std::string_view(*codes));
}

Outcome Decrypt(std::string_view codes) {
    DecodeFailure failure;
    std::optional<std::string> clear = Dekryptera(codes, kLineFeed, failure);
    if (!clear) return Outcome::Refused(messages::CannotDecrypt(failure));
    return Outcome::Done(std::move(*clear));
}

Outcome CheckSave(std::u16string_view cipherText) {
    Missing missing;
    std::optional<std::string> codes = ToCodes(cipherText, kCipherLineBreak, missing);
    if (!codes) return Outcome::Refused(messages::CipherNotSaved(missing.character, missing.line));
    return CheckSave(std::move(*codes));
}

Outcome CheckSave(std::string codes) {
    if (codes.find('"') != std::string::npos)
        return Outcome::Refused(messages::CipherWithQuoteNotSaved());
    return Outcome::Done(std::move(codes));
}

Outcome OpenCipher(std::string bytes, const std::string& name, std::string_view shownName) {
    storage::InputFile file = storage::FieldsOf(std::move(bytes), name);
    if (file.AtEnd()) return Outcome::Nothing();
    std::string field = file.ReadField();
    // An empty first field with more after it is no saved text, but something
    // else under a .crp name.
    if (field.empty() && storage::AnyTextLeft(file))
        return Outcome::Refused(messages::NoTextAtStart(shownName));
    return Outcome::Done(std::move(field));
}

Outcome ImportText(std::string bytes, const std::string& name, std::string_view shownName) {
    storage::DecodedText text = storage::DecodeTextFile(std::move(bytes));
    if (text.unmappable)
        return Outcome::Refused(messages::TextFileNotImported(
            shownName, text.unmappable->character, text.unmappable->line));
    storage::InputFile file = storage::FieldsOf(std::move(text.codes), name);
    if (file.AtEnd()) return Outcome::Nothing();
    std::string joined;
    while (!file.AtEnd()) joined += file.ReadField();
    return Outcome::Done(std::move(joined));
}

std::string JoinFields(std::string codes, const std::string& name) {
    storage::InputFile file = storage::FieldsOf(std::move(codes), name);
    std::string joined;
    while (!file.AtEnd()) joined += file.ReadField();
    return joined;
}

} // namespace tolvana::commands
