#include "tools/streaming.h"

#include "commands/commands.h"
#include "messages/messages.h"
#include "storage/files.h"
#include "storage/platform.h"
#include "storage/textfile.h"
#include "tools/conversion.h"
#include "tools/platform.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string_view>

namespace tolvana::tool {

const std::string kStandardInput(messages::tool::kStandardInput);
const std::string kStandardOutput(messages::tool::kStandardOutput);
const std::string kStandardError(messages::tool::kStandardError);

std::string NameOf(const std::string& file, const std::string& standard) {
    return IsStandard(file) ? standard : messages::ShownName(file);
}

namespace {

// Why a file operation failed, in the program's words.
std::string ReasonOf(const storage::StorageError& error) { return messages::StorageReason(error); }

// How a failure to read a named input is told.
Failure ReadFailure(const std::string& name, const storage::StorageError& error) {
    return Failure{kFailed, messages::tool::CannotRead(messages::ShownName(name), ReasonOf(error))};
}

// The input's bytes: a named file, mapped where it can be, or standard input.
class Input {
public:
    Input(const Options& options, int in, std::uint64_t maximum) {
        if (!IsStandard(options.input)) {
            try {
                bytes_ = storage::ReadFileBytes(options.input, maximum);
            } catch (const storage::StorageError& error) {
                throw ReadFailure(options.input, error);
            }
            return;
        }
        try {
            bytes_ = storage::platform::ReadStream(in, maximum, kStandardInput);
        } catch (const storage::StorageError& error) {
            // A pipe's size is not known: only that it holds more than this.
            throw Failure{kFailed,
                          error.reason() == storage::StorageError::Reason::TooLarge
                              ? messages::tool::StreamTooLong(kStandardInput, maximum)
                              : messages::tool::StreamCannotRead(kStandardInput, ReasonOf(error))};
        }
    }

    // The bytes, given up to the caller.
    std::string take() { return std::move(bytes_); }

private:
    std::string bytes_;
};

// Where the result goes: standard output, or a file that replaces the named
// one only when all of it has been written.
class Output {
public:
    Output(const Options& options, int out) : name_(options.output), fd_(out) {
        if (IsStandard(name_)) return;
        existed_ = storage::FileExists(name_);
        guarded([&] { file_.emplace(storage::OpenForOutput(name_)); });
    }

    void write(std::string_view bytes) {
        if (!file_) {
            try {
                storage::platform::WriteStream(fd_, bytes, kStandardOutput);
            } catch (const storage::StorageError& error) {
                throw Failure{kFailed,
                              messages::tool::StreamCannotWrite(kStandardOutput, ReasonOf(error))};
            }
            return;
        }
        guarded([&] { file_->Write(bytes); });
    }

    void close() {
        if (file_) guarded([&] { file_->Close(); });
    }

private:
    template <class Step> void guarded(Step step) {
        try {
            step();
        } catch (const storage::StorageError& error) {
            throw Failure{kFailed, messages::tool::CannotWrite(
                                       messages::ShownName(name_), error,
                                       messages::EarlierFileUnchanged(existed_, error))};
        }
    }

    std::string name_;
    int fd_;
    bool existed_ = false; // whether a file stood at the name before the save
    std::optional<storage::OutputFile> file_;
};

// The clear text's codes from the bytes read, as -k and -i/-t say; they are
// made in the bytes' memory.
std::string ClearCodes(const Options& options, std::string bytes) {
    const std::string name = NameOf(options.input, kStandardInput);
    std::string codes;
    if (options.encoding == Encoding::CodePage) {
        codes = std::move(bytes);
    } else {
        storage::DecodedText text = storage::DecodeTextFile(std::move(bytes));
        if (options.encoding == Encoding::Utf8 && text.encoding != storage::TextEncoding::Utf8 &&
            text.encoding != storage::TextEncoding::Utf8WithBom)
            throw Failure{kFailed, messages::tool::NotUtf8(name)};
        if (text.unmappable)
            throw Failure{kFailed, messages::tool::About(
                                       name, messages::CannotEncrypt(text.unmappable->character,
                                                                     text.unmappable->line))};
        codes = std::move(text.codes);
    }
    const bool import = options.clearForm == ClearForm::Import ||
                        (options.clearForm == ClearForm::Auto && EndsWith(options.input, ".txt"));
    if (!import) return codes;
    return commands::JoinFields(std::move(codes), name); // as the import command
}


} // namespace

void Encrypt(const Options& options, int in, int out, char localeDecimal) {
    const std::string codes = ClearCodes(options, Input(options, in, kMaxClearBytes).take());
    const char decimal = options.decimal.value_or(localeDecimal);
    const bool crp = options.cipherForm == CipherForm::Crp ||
                     (options.cipherForm == CipherForm::Auto && EndsWith(options.output, ".crp"));

    // Nothing can fail from here on but the writing, so the cipher text goes
    // out a piece at a time: every character's number stands on its own, and
    // each thread's piece of memory, which stays in the cache, is used again
    // and again instead of a buffer six times the text's size being made and
    // filled. A large text is encoded on both processors: each thread takes
    // the next piece, encodes it, and writes it when the pieces before it are
    // written.
    Output output(options, out);
    if (crp) output.write("\""); // one field line, as the save command writes it
    constexpr std::size_t kPiece = 64 * 1024, kWorthIt = std::size_t{4} << 20;
    const std::size_t pieces = (codes.size() + kPiece - 1) / kPiece;
    std::mutex mutex;
    std::condition_variable written;
    std::size_t taken = 0, turn = 0; // guarded by the mutex
    bool abandoned = false;
    const auto work = [&] {
        // Room for the longest piece from the start (6 bytes a character), so
        // that a piece a little longer than those before never moves it.
        std::string piece;
        piece.reserve(6 * kPiece);
        try {
            for (;;) {
                std::size_t number = 0;
                {
                    const std::lock_guard<std::mutex> lock(mutex);
                    if (abandoned || taken == pieces) return;
                    number = taken++;
                }
                Kryptera(std::string_view(codes).substr(number * kPiece, kPiece), kLineFeed,
                         decimal, piece);
                std::unique_lock<std::mutex> lock(mutex);
                written.wait(lock, [&] { return turn == number || abandoned; });
                if (abandoned) return;
                output.write(piece);
                ++turn;
                written.notify_all();
            }
        } catch (...) {
            // The other thread must not wait for this one's pieces.
            const std::lock_guard<std::mutex> lock(mutex);
            abandoned = true;
            written.notify_all();
            throw;
        }
    };
    if (codes.size() >= kWorthIt)
        RunBoth(work, work);
    else
        work();
    if (crp) output.write("\"\r\n");
    output.close();
}

void Decrypt(const Options& options, int in, int out) {
    const std::string name = NameOf(options.input, kStandardInput);
    const bool codePage = options.encoding == Encoding::CodePage;
    bool crp = options.cipherForm == CipherForm::Crp ||
               (options.cipherForm == CipherForm::Auto && EndsWith(options.input, ".crp"));

    // All of it is decoded before anything is written: an error writes nothing.
    DecodeFailure failure;
    std::optional<ClearPieces> clear;
    std::string bytes;
    bool streamed = false;
    if (!IsStandard(options.input) && !crp) {
        try {
            OpenedCipher opened{storage::OpenForPieces(options.input, kMaxCipherBytes), {}};
            // Cipher text never holds a quote; a .crp file starts with one.
            while (opened.start.find_first_not_of(" \t") == std::string::npos &&
                   opened.file.ReadMore(opened.start, 4096)) {
            }
            const std::size_t first = opened.start.find_first_not_of(" \t");
            crp = options.cipherForm == CipherForm::Auto && first != std::string::npos &&
                  opened.start[first] == '"';
            if (crp) {
                bytes = std::move(opened.start);
                while (opened.file.ReadMore(bytes, std::size_t{1} << 20)) {
                }
            } else {
                clear = DecryptFile(options.input, std::move(opened), codePage, failure);
                streamed = true;
            }
        } catch (const storage::StorageError& error) {
            throw ReadFailure(options.input, error);
        }
    } else {
        bytes = Input(options, in, kMaxCipherBytes).take();
        if (options.cipherForm == CipherForm::Auto && !crp) {
            const std::size_t first = bytes.find_first_not_of(" \t");
            crp = first != std::string::npos && bytes[first] == '"';
        }
    }
    if (crp) {
        // As the open command: the first field only. Where the window leaves
        // its box as it was, the tool fails: a script must not take an empty
        // result for the text of a file.
        commands::Outcome opened = commands::OpenCipher(std::move(bytes), name, name);
        if (opened.kind == commands::Outcome::Kind::Nothing)
            throw Failure{kFailed, messages::tool::FileIsEmpty(name)};
        if (opened.kind == commands::Outcome::Kind::Refused)
            throw Failure{kFailed, opened.message};
        bytes = std::move(opened.codes);
    }
    if (!streamed) clear = DecryptInTwo(bytes, codePage, failure);
    if (!clear) throw Failure{kFailed, messages::tool::About(name, messages::CannotDecrypt(failure))};
    Output output(options, out);
    for (std::string_view piece : clear->pieces) output.write(piece);
    output.close();
}

} // namespace tolvana::tool
