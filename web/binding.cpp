// What the web page calls in the program's core: the cipher commands, the
// reading of ".crp" and text files and the save, each as the window does it,
// and the page's words.
//
// Everything crosses as bytes in the module's memory. The page writes a
// command's input into the buffer that tv_input() returns (and a file's name
// into tv_name()), calls the command, and reads its result from tv_output():
// code page codes, the bytes of a file, or a message in UTF-8. Text from the
// page's boxes comes either as UTF-16 code units, as the browser keeps text,
// or, when the page has found it to be plain ASCII, as bytes, which are then
// its codes already.
//
// Every message is the program's own, from its catalogue, so that the page
// says what the window and tolvana-cipher say; a file is named by its name
// alone, as the browser gives it.

#include "cipher/cipher.h"
#include "messages/messages.h"
#include "storage/codepage.h"
#include "storage/files.h"
#include "storage/limits.h"
#include "storage/storageerror.h"
#include "storage/textfile.h"
#include "storage/platform_web.h"
#include "web/words.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>

namespace tolvana::web {
namespace {

// What a command returns.
enum Status : int {
    kDone = 0,    // the output holds the result
    kRefused = 1, // the output holds the message to show
    kNothing = 2, // nothing to show and nothing to change
};

// The input buffer, reused from call to call and never cleared first. It is
// made with new, which never returns without memory (see NoMemoryLeft).
std::unique_ptr<char[]> inputBuffer;
std::size_t inputCapacity = 0;
char* input = nullptr;
std::string name;
std::string output;

char* Room(std::size_t size) {
    if (size > inputCapacity || !inputBuffer) {
        inputBuffer.reset();
        inputBuffer.reset(new char[size ? size : 1]);
        inputCapacity = size;
        input = inputBuffer.get();
    }
    return input;
}

int Result(std::string text, Status status = kDone) {
    output = std::move(text);
    return status;
}

// A character that the code page lacks, and the line it stands on.
struct Missing {
    char32_t character;
    std::uint64_t line;
};

// Converts the box text in the input to codes. UTF-16 text is converted as
// the window converts its boxes; a character without a code stops it, and
// its line is counted by `lineBreak`, the break of the box it comes from.
std::optional<std::string> BoxCodes(std::size_t size, bool utf16, std::string_view lineBreak,
                                    Missing& missing) {
    if (!utf16) return std::string(input, size);
    const auto* units = reinterpret_cast<const char16_t*>(input);
    const std::size_t count = size / 2;
    std::string codes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t u = units[i];
        const int code = u < 0x80 || (u >= 0xA0 && u <= 0xFF) ? u : storage::CodeOfChar(u);
        if (code >= 0) {
            codes[i] = static_cast<char>(code);
            continue;
        }
        missing.character = u;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF)
            missing.character = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
        missing.line = 1;
        const std::u16string_view before(units, i);
        const std::u16string lineBreak16(lineBreak.begin(), lineBreak.end());
        for (std::size_t at = before.find(lineBreak16); at != std::u16string_view::npos;
             at = before.find(lineBreak16, at + lineBreak16.size()))
            ++missing.line;
        return std::nullopt;
    }
    return codes;
}

const std::string kSavedName = "tolvana.crp";

// The name of the file the page reads, fit for a message.
std::string ShownFileName() { return messages::ShownName(name); }

// Without exception handling in the module, memory that runs out ends the
// call; the page then asks whether that was why, and starts the core afresh.
bool ranOutOfMemory = false;

[[noreturn]] void NoMemoryLeft() {
    ranOutOfMemory = true;
    std::abort();
}

const bool kHandlerSet = (std::set_new_handler(NoMemoryLeft), true);

} // namespace
} // namespace tolvana::web

using namespace tolvana;
using namespace tolvana::web;

extern "C" {

// Room for the next command's input, of at least `size` bytes.
char* tv_input(std::size_t size) { return Room(size); }

// Room for a file's name, as UTF-8, of exactly `size` bytes.
char* tv_name(std::size_t size) {
    name.assign(size, '\0');
    return name.data();
}

const char* tv_output() { return output.data(); }
std::size_t tv_output_size() { return output.size(); }

// Lets go of the input and the output once the page has taken what it needs.
void tv_release() {
    inputBuffer.reset();
    input = nullptr;
    inputCapacity = 0;
    output = std::string();
}

// The caption whose key is in the name buffer.
int tv_caption() {
    const std::optional<std::string_view> caption = Caption(name);
    return caption ? Result(std::string(*caption)) : kNothing;
}

int tv_out_of_memory() { return Result(messages::OutOfMemory(), kRefused); }

// Whether the last call ended for want of memory.
int tv_ran_out_of_memory() { return ranOutOfMemory; }

// "Kryptera": the clear text in, its cipher text out.
int tv_kryptera(std::size_t size, int utf16, char decimal) {
    Missing missing{};
    std::optional<std::string> codes = BoxCodes(size, utf16, "\r\n", missing);
    if (!codes) return Result(messages::CannotEncrypt(missing.character, missing.line), kRefused);
    return Result(Kryptera(*codes, kLineFeed, decimal));
}

// "Dekryptera": the cipher text in, its clear text out.
int tv_dekryptera(std::size_t size, int utf16) {
    Missing missing{};
    std::optional<std::string> codes = BoxCodes(size, utf16, "\n", missing);
    if (!codes) return Result(messages::CannotDecrypt(missing.character, missing.line), kRefused);
    DecodeFailure failure;
    std::optional<std::string> clear = Dekryptera(*codes, kLineFeed, failure);
    if (!clear) return Result(messages::CannotDecrypt(failure), kRefused);
    return Result(std::move(*clear));
}

// "Spara som": the cipher text in, the bytes of its ".crp" file out, written
// by the file layer as the program writes them.
int tv_save(std::size_t size, int utf16) {
    Missing missing{};
    std::optional<std::string> codes = BoxCodes(size, utf16, "\n", missing);
    if (!codes) return Result(messages::CipherNotSaved(missing.character, missing.line), kRefused);
    // Such a file could not be read back whole.
    if (codes->find('"') != std::string::npos)
        return Result(messages::CipherWithQuoteNotSaved(), kRefused);
    storage::OutputFile file = storage::OpenForOutput(kSavedName);
    file.WriteField(*codes);
    codes.reset();
    file.Close();
    return Result(*storage::platform::TakeWrittenFile(kSavedName));
}

// Whether a file of `size` bytes, named in the name buffer, may be read: a
// ".crp" file (`text` 0) or a text file (`text` 1). The size is checked before
// the page reads any of the file.
int tv_check_file(int text, double size) {
    const std::uint64_t maximum = text ? storage::kMaxTextFileBytes : storage::kMaxCipherFileBytes;
    const auto bytes = static_cast<std::uint64_t>(size);
    if (bytes <= maximum) return kDone;
    return Result(messages::FileNotOpened(ShownFileName(),
                                          storage::StorageError::TooLarge(name, bytes, maximum)),
                  kRefused);
}

// The message for a dropped file that is neither ".crp" nor ".txt".
int tv_other_type() { return Result(messages::FileOfOtherKind(ShownFileName()), kRefused); }

// "Öppna en krypterad fil": the file's bytes in, its first field out. A file
// that holds no field changes nothing.
int tv_open_cipher(std::size_t size) {
    storage::InputFile file = storage::FieldsOf(std::string(input, size), name);
    if (file.AtEnd()) return kNothing;
    return Result(file.ReadField());
}

// "Öppna fil för tolvana": the file's bytes in, all its fields run together
// out. The text is read as UTF-8, as UTF-16 after a byte-order mark, or else as
// code page bytes; a character the code page lacks refuses the file. A file
// that holds no field changes nothing.
int tv_import(std::size_t size) {
    storage::DecodedText text = storage::DecodeTextFile(std::string_view(input, size));
    if (text.unmappable)
        return Result(messages::TextFileNotImported(ShownFileName(), text.unmappable->character,
                                                    text.unmappable->line),
                      kRefused);
    storage::InputFile file = storage::FieldsOf(std::move(text.codes), name);
    if (file.AtEnd()) return kNothing;
    std::string accumulated;
    while (!file.AtEnd()) accumulated += file.ReadField();
    return Result(std::move(accumulated));
}

} // extern "C"
