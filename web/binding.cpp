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
#include "commands/commands.h"
#include "messages/messages.h"
#include "storage/files.h"
#include "storage/limits.h"
#include "storage/storageerror.h"
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

// A command's outcome, as the page takes it.
int Give(commands::Outcome outcome) {
    switch (outcome.kind) {
    case commands::Outcome::Kind::Done: return Result(std::move(outcome.codes));
    case commands::Outcome::Kind::Refused: return Result(std::move(outcome.message), kRefused);
    case commands::Outcome::Kind::Nothing: break;
    }
    return kNothing;
}

// The box text in the input as UTF-16 code units, as the browser keeps text.
std::u16string_view Units(std::size_t size) {
    return {reinterpret_cast<const char16_t*>(input), size / 2};
}

// The box text in the input as bytes: plain ASCII, its codes already.
std::string_view Bytes(std::size_t size) { return {input, size}; }

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
    return Give(utf16 ? commands::Encrypt(Units(size), decimal)
                      : commands::Encrypt(Bytes(size), decimal));
}

// "Dekryptera": the cipher text in, its clear text out.
int tv_dekryptera(std::size_t size, int utf16) {
    return Give(utf16 ? commands::Decrypt(Units(size)) : commands::Decrypt(Bytes(size)));
}

// "Spara som": the cipher text in, the bytes of its ".crp" file out, written
// by the file layer as the program writes them.
int tv_save(std::size_t size, int utf16) {
    commands::Outcome checked = utf16 ? commands::CheckSave(Units(size))
                                      : commands::CheckSave(std::string(Bytes(size)));
    if (checked.kind != commands::Outcome::Kind::Done) return Give(std::move(checked));
    storage::OutputFile file = storage::OpenForOutput(kSavedName);
    file.WriteField(checked.codes);
    checked.codes = std::string();
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

// "Öppna en krypterad fil": the file's bytes in, its first field out.
int tv_open_cipher(std::size_t size) {
    return Give(commands::OpenCipher(std::string(Bytes(size)), name, ShownFileName()));
}

// "Öppna fil för tolvana": the file's bytes in, all its fields run together
// out.
int tv_import(std::size_t size) {
    return Give(commands::ImportText(std::string(Bytes(size)), name, ShownFileName()));
}

} // extern "C"
