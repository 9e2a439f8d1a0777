#include "tools/cipher_tool.h"

#include "cipher/cipher.h"
#include "cipher/hugepages.h"
#include "messages/messages.h"
#include "storage/codepage.h"
#include "storage/files.h"
#include "storage/limits.h"
#include "storage/platform.h"
#include "storage/textfile.h"
#include "tools/platform.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>

namespace tolvana::tool {
namespace {

const char* const kProgram = "tolvana-cipher";

// The most a command reads. These are larger than the window's limits on
// purpose: the tool fills no text box, whose memory per character sets those,
// and writes the cipher text a piece at a time as it is made. Whatever file
// the window and the web page read, the tool reads too.
constexpr std::uint64_t kMaxClearBytes = std::uint64_t{256} << 20;
constexpr std::uint64_t kMaxCipherBytes = std::uint64_t{1} << 30;
static_assert(kMaxClearBytes >= storage::kMaxTextFileBytes &&
              kMaxCipherBytes >= storage::kMaxCipherFileBytes);

const char* const kHelp =
    R"(Användning: tolvana-cipher kryptera   [FLAGGOR] [INFIL] [-o UTFIL]
            tolvana-cipher dekryptera [FLAGGOR] [INFIL] [-o UTFIL]

Gör om klartext till Tolvanas sifferchiffer (kryptera) eller chiffer till
klartext (dekryptera), som knapparna "Kryptera" och "Dekryptera" i programmet.
Utan INFIL, eller med INFIL -, läses standard in. Utan -o skrivs resultatet
till standard ut.

Flaggor:
  -o, --ut UTFIL     skriv resultatet till UTFIL. Filen ersätts först när allt
                     är skrivet; vid ett fel lämnas den som den var.
  -c, --crp          chiffret är en .crp-fil, som programmet sparar och öppnar:
                     ett fält inom citattecken följt av CR LF. Standard när
                     filens namn slutar på .crp, och vid dekryptering också när
                     texten börjar med ett citattecken.
  -r, --ren          chiffret är bara talen, utan citattecken. Standard annars.
  -i, --import       kryptera: läs klartexten som "Öppna fil för tolvana" läser
                     en textfil: fälten körs ihop, utan komman och radslut
                     emellan. Standard när INFIL slutar på .txt.
  -t, --text         kryptera: läs klartexten precis som den står, med komman
                     och radslut. Standard annars.
  -k, --kodning KOD  klartextens kodning: utf-8 eller cp1252 (Windows-1252).
                     Klartext läses som UTF-8 om hela texten är giltig UTF-8,
                     som UTF-16 om den börjar med ett byteordningsmärke och
                     annars som cp1252; med -k läses den bara på det sättet.
                     Klartext skrivs som UTF-8, eller med -k cp1252 som en byte
                     per tecken, som Windows-versionen av programmet läser den.
  -d, --decimal TECKEN
                     decimaltecknet i talen som kryptera skriver: , eller .
                     Standard: decimaltecknet i användarens språkinställning.
                     Dekryptera läser både komma och punkt.
  -h, --help         visa den här hjälpen och avsluta
  -V, --version      visa versionen och avsluta

Slutstatus: 0 när allt gick bra, 1 när indata inte kunde läsas, avkodas eller
skrivas, 2 vid fel på kommandoraden. Felmeddelanden skrivs till standard fel.
)";

enum class Command { None, Kryptera, Dekryptera };
enum class CipherForm { Auto, Crp, Plain };
enum class ClearForm { Auto, Import, Text };
enum class Encoding { Auto, Utf8, CodePage };

struct Options {
    Command command = Command::None;
    std::string input;  // empty or "-": standard input
    std::string output; // empty or "-": standard output
    CipherForm cipherForm = CipherForm::Auto;
    ClearForm clearForm = ClearForm::Auto;
    Encoding encoding = Encoding::Auto;
    std::optional<char> decimal;
    bool help = false;
    bool version = false;
};

// A failure that ends the run, with the message that says why.
struct Failure {
    int status;
    std::string message;
};

bool IsStandard(const std::string& name) { return name.empty() || name == "-"; }

// Judged by the name of the file on the disk: on Windows "brev.crp." is
// brev.crp.
bool EndsWith(const std::string& given, std::string_view extension) {
    const std::string name = storage::platform::NameAsMade(given);
    if (name.size() < extension.size()) return false;
    for (std::size_t i = 0; i < extension.size(); ++i) {
        char c = name[name.size() - extension.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != extension[i]) return false;
    }
    return true;
}

Failure Usage(const std::string& what) {
    return {kBadUsage, what + "\nSe \"tolvana-cipher --help\"."};
}

// Parses the command line; returns the failure when it is wrong.
std::optional<Failure> Parse(const std::vector<std::string>& arguments, Options& options) {
    std::vector<std::string> positional;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnd || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnd = true;
            continue;
        }
        // "--name=value" and "--name value" are the same; so are "-kX" and "-k X".
        std::string name = argument;
        std::optional<std::string> attached;
        if (argument.rfind("--", 0) == 0) {
            if (const auto equals = argument.find('='); equals != std::string::npos) {
                name = argument.substr(0, equals);
                attached = argument.substr(equals + 1);
            }
        } else if (argument.size() > 2) {
            name = argument.substr(0, 2);
            attached = argument.substr(2);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (attached) return attached;
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        auto flag = [&](bool& target) -> std::optional<Failure> {
            if (attached) return Usage("flaggan " + name + " tar inget värde");
            target = true;
            return std::nullopt;
        };
        std::optional<Failure> failure;
        bool set = false;
        if (name == "-h" || name == "--help") {
            failure = flag(options.help);
        } else if (name == "-V" || name == "--version") {
            failure = flag(options.version);
        } else if (name == "-c" || name == "--crp") {
            failure = flag(set);
            options.cipherForm = CipherForm::Crp;
        } else if (name == "-r" || name == "--ren") {
            failure = flag(set);
            options.cipherForm = CipherForm::Plain;
        } else if (name == "-i" || name == "--import") {
            failure = flag(set);
            options.clearForm = ClearForm::Import;
        } else if (name == "-t" || name == "--text") {
            failure = flag(set);
            options.clearForm = ClearForm::Text;
        } else if (name == "-o" || name == "--ut") {
            const auto file = value();
            if (!file || file->empty()) return Usage("flaggan " + name + " behöver ett filnamn");
            options.output = *file;
        } else if (name == "-k" || name == "--kodning") {
            const auto code = value();
            if (code == "utf-8" || code == "UTF-8" || code == "utf8")
                options.encoding = Encoding::Utf8;
            else if (code == "cp1252" || code == "windows-1252" || code == "CP1252")
                options.encoding = Encoding::CodePage;
            else
                return Usage("flaggan " + name + " tar utf-8 eller cp1252");
        } else if (name == "-d" || name == "--decimal") {
            const auto decimal = value();
            if (decimal == "," || decimal == "komma")
                options.decimal = ',';
            else if (decimal == "." || decimal == "punkt")
                options.decimal = '.';
            else
                return Usage("flaggan " + name + " tar , eller .");
        } else {
            return Usage("okänd flagga: " + argument);
        }
        if (failure) return failure;
    }
    if (options.help || options.version) return std::nullopt;

    if (positional.empty()) return Usage("ange kryptera eller dekryptera");
    if (positional[0] == "kryptera")
        options.command = Command::Kryptera;
    else if (positional[0] == "dekryptera")
        options.command = Command::Dekryptera;
    else
        return Usage("okänt kommando: " + positional[0] + " (kryptera eller dekryptera)");
    if (positional.size() > 2) return Usage("för många filer: " + positional[2]);
    if (positional.size() == 2) options.input = positional[1];
    return std::nullopt;
}

// Each code's UTF-8 bytes, stored as one 4-byte word.
struct Utf8Entry {
    char bytes[4];
    std::size_t length;
};

const std::array<Utf8Entry, 256>& Utf8Table() {
    static const auto table = [] {
        std::array<Utf8Entry, 256> entries{};
        for (int code = 0; code < 256; ++code) {
            std::string utf8;
            storage::AppendUtf8(utf8, storage::CharOfCode(static_cast<unsigned char>(code)));
            Utf8Entry& e = entries[code];
            e.length = utf8.size();
            std::memcpy(e.bytes, utf8.data(), utf8.size());
        }
        return entries;
    }();
    return table;
}

// The size of code page codes as UTF-8.
std::size_t Utf8Size(std::string_view codes) {
    const auto& table = Utf8Table();
    std::size_t size = 0;
    for (unsigned char c : codes) size += table[c].length;
    return size;
}

// Appends code page codes to `out` as UTF-8. Each code's word is stored whole
// and the output moves on by its length, so the loop has no branch that
// depends on the text. The words go into a small buffer that stays in the
// cache and are appended from there, so that `out` is written once and never
// cleared first.
void AppendCodesAsUtf8(std::string_view codes, std::string& out) {
    const auto& table = Utf8Table();
    constexpr std::size_t kPiece = 4096;
    char piece[3 * kPiece + 4]; // a code takes at most 3 bytes, and a word 4
    for (std::size_t at = 0; at < codes.size(); at += kPiece) {
        char* p = piece;
        for (unsigned char c : codes.substr(at, kPiece)) {
            std::memcpy(p, table[c].bytes, 4);
            p += table[c].length;
        }
        out.append(piece, static_cast<std::size_t>(p - piece));
    }
}

// The names of the standard streams in messages.
const std::string kStandardInput = "standard in";
const std::string kStandardOutput = "standard ut";
const std::string kStandardError = "standard fel";

// A name for the input or output in messages.
std::string NameOf(const std::string& file, const std::string& standard) {
    return IsStandard(file) ? standard : messages::ShownName(file);
}

// Why a file operation failed, in the program's words.
std::string ReasonOf(const storage::StorageError& error) { return messages::StorageReason(error); }

// The input's bytes: a named file, mapped where it can be, or standard input.
class Input {
public:
    Input(const Options& options, int in, std::uint64_t maximum) {
        if (!IsStandard(options.input)) {
            try {
                bytes_ = storage::ReadFileBytes(options.input, maximum);
            } catch (const storage::StorageError& error) {
                throw Failure{kFailed, messages::ShownName(options.input) +
                                           ": kan inte läsas: " + ReasonOf(error)};
            }
            return;
        }
        try {
            bytes_ = storage::platform::ReadStream(in, maximum, kStandardInput);
        } catch (const storage::StorageError& error) {
            // A pipe's size is not known: only that it holds more than this.
            throw Failure{kFailed, kStandardInput + " kan inte läsas: " +
                                       (error.reason() == storage::StorageError::Reason::TooLarge
                                            ? "mer än " + std::to_string(maximum) + " byte"
                                            : ReasonOf(error))};
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
        guarded([&] { file_.emplace(storage::OpenForOutput(name_)); });
    }

    void write(std::string_view bytes) {
        if (!file_) {
            try {
                storage::platform::WriteStream(fd_, bytes, kStandardOutput);
            } catch (const storage::StorageError& error) {
                throw Failure{kFailed, kStandardOutput + " kan inte skrivas: " + ReasonOf(error)};
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
            const std::string advice = messages::SaveAdvice(error.reason());
            throw Failure{kFailed, messages::ShownName(name_) + ": kan inte skrivas: " +
                                       ReasonOf(error) +
                                       "; en tidigare fil med samma namn är oförändrad" +
                                       (advice.empty() ? "" : ". " + advice)};
        }
    }

    std::string name_;
    int fd_;
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
            throw Failure{kFailed, name + ": texten är inte UTF-8"};
        if (text.unmappable)
            throw Failure{kFailed, name + ": " +
                                       messages::CannotEncrypt(text.unmappable->character,
                                                               text.unmappable->line)};
        codes = std::move(text.codes);
    }
    const bool import = options.clearForm == ClearForm::Import ||
                        (options.clearForm == ClearForm::Auto && EndsWith(options.input, ".txt"));
    if (!import) return codes;
    // As the import command: every field, run together.
    storage::InputFile fields = storage::FieldsOf(std::move(codes), name);
    std::string joined;
    while (!fields.AtEnd()) joined += fields.ReadField();
    return joined;
}

// A clear text in pieces, in order, and the memory that holds them.
struct ClearPieces {
    std::deque<std::string> memory; // its strings never move
    std::vector<std::string_view> pieces;
};

// Where a cipher text can be cut so that its two sides decode, one by one, to
// the same as the whole: at a separator whose token before it is neither
// empty nor "32". Such a token means the same at the end of a text as before a
// separator ("32" before a separator is a space, at the end a number), and
// separators at the start of a text only count lines. The first such place
// from `from` on, within 4096 bytes; nothing when there is none.
std::optional<std::size_t> CutAfter(std::string_view cipher, std::size_t from) {
    for (std::size_t at = cipher.find(kLineFeed, from);
         at != std::string_view::npos && at < from + 4096; at = cipher.find(kLineFeed, at + 1)) {
        const std::size_t start =
            at == 0 ? std::string_view::npos : cipher.rfind(kLineFeed, at - 1);
        std::string_view token =
            cipher.substr(start == std::string_view::npos ? 0 : start + 1,
                          at - (start == std::string_view::npos ? 0 : start + 1));
        while (!token.empty() && token.back() == '\r') token.remove_suffix(1);
        if (!token.empty() && token != "32") return at;
    }
    return std::nullopt;
}

// The number of lines that `text` ends, for the line of a failure in a piece
// that follows it.
std::size_t LinesIn(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), kLineFeed));
}

// Dekryptera a piece of about 1 MB at a time, cut where the pieces' results
// join, each piece's codes appended to `clear` in the output's form; UTF-8
// unless `codePage`. Only a piece's codes are held at a time, in memory that
// stays in the cache. Any failure is the same, its line too, as from one call
// on the whole.
bool DecryptInPieces(std::string_view cipher, bool codePage, std::string& clear,
                     DecodeFailure& failure) {
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    // A token takes at least one byte and all but the last a separator too.
    // No code takes more bytes of UTF-8 than its token: a code from 128 on,
    // which takes 2 or 3, comes from a number of at least 199.5.
    const std::size_t room = (codePage ? cipher.size() / 2 + 1 : cipher.size()) + 4;
    clear.reserve(room);
    AdviseHugePages(clear.data(), room);
    std::string codes;
    for (std::size_t at = 0; at < cipher.size();) {
        std::optional<std::size_t> cut;
        if (cipher.size() - at >= 2 * kPiece) cut = CutAfter(cipher, at + kPiece);
        const std::string_view piece = cipher.substr(at, cut.value_or(cipher.size()) - at);
        if (!Dekryptera(piece, kLineFeed, failure, codes)) {
            failure.line += LinesIn(cipher.substr(0, at));
            return false;
        }
        if (codePage)
            clear += codes;
        else
            AppendCodesAsUtf8(codes, clear);
        at += piece.size();
    }
    return true;
}

// DecryptInPieces, on both processors for a large text: in two halves cut
// where their results join. The halves joined are the result, and any failure
// is the same as from one call on the whole.
std::optional<ClearPieces> DecryptInTwo(std::string_view cipher, bool codePage,
                                        DecodeFailure& failure) {
    constexpr std::size_t kWorthIt = std::size_t{4} << 20;
    const std::optional<std::size_t> cut =
        cipher.size() >= kWorthIt ? CutAfter(cipher, cipher.size() / 2) : std::nullopt;
    ClearPieces clear;
    clear.memory.resize(cut ? 2 : 1);
    if (!cut) {
        if (!DecryptInPieces(cipher, codePage, clear.memory[0], failure)) return std::nullopt;
    } else {
        const std::string_view first = cipher.substr(0, *cut), second = cipher.substr(*cut);
        bool firstDone = false, secondDone = false;
        DecodeFailure secondFailure;
        RunBoth([&] { firstDone = DecryptInPieces(first, codePage, clear.memory[0], failure); },
                [&] {
                    secondDone = DecryptInPieces(second, codePage, clear.memory[1], secondFailure);
                });
        if (!firstDone) return std::nullopt;
        if (!secondDone) {
            // Its lines count from the cut: add the lines of the first half.
            failure = std::move(secondFailure);
            failure.line += LinesIn(first);
            return std::nullopt;
        }
    }
    for (const std::string& half : clear.memory) clear.pieces.emplace_back(half);
    return clear;
}

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

// The first bytes of a named file that is no .crp file by its name, read
// until the first byte other than a blank, and the file to read the rest from.
struct OpenedCipher {
    storage::PieceFile file;
    std::string start;
};

// How a failure to read a named input is told.
Failure ReadFailure(const std::string& name, const storage::StorageError& error) {
    return Failure{kFailed, name + ": kan inte läsas: " + ReasonOf(error)};
}

// The cipher text of a named file, read and decoded a piece of about 1 MB at a
// time on both processors, so that it is never held whole; the pieces are cut
// where their results join (CutAfter), and each piece's result is kept in the
// output's form. Any failure is the same, its line too, as from Dekryptera on
// the whole text.
std::optional<ClearPieces> DecryptFile(const std::string& path, OpenedCipher opened, bool codePage,
                                       DecodeFailure& failure) {
    constexpr std::size_t kRead = std::size_t{1} << 20, kCutWindow = 4096;
    // A piece's memory, used again and again and never cleared first.
    struct Buffer {
        std::unique_ptr<char[]> bytes;
        std::size_t room = 0, size = 0;
        std::string_view text() const { return {bytes.get(), size}; }
        void MakeRoom(std::size_t more) {
            if (room - size >= more) return;
            const std::size_t grownRoom = std::max(size + more, 2 * room);
            std::unique_ptr<char[]> grown(new char[grownRoom]); // left uncleared
            if (size > 0) std::memcpy(grown.get(), bytes.get(), size);
            bytes = std::move(grown);
            room = grownRoom;
        }
    };
    std::mutex mutex;
    // Guarded by the mutex: the text read but not yet taken, where it starts
    // in the file, and the results so far.
    Buffer rest;
    rest.MakeRoom(opened.start.size());
    std::memcpy(rest.bytes.get(), opened.start.data(), opened.start.size());
    rest.size = opened.start.size();
    std::uint64_t restOffset = 0;
    bool atEnd = false;
    std::size_t taken = 0;
    ClearPieces clear;
    struct Failed {
        std::size_t piece;
        std::uint64_t offset;
        DecodeFailure failure;
    };
    std::optional<Failed> failed;

    // Takes the next piece into `piece`, with its number and offset; false when
    // none is left. Called with the mutex held.
    const auto next = [&](Buffer& piece, std::size_t& number, std::uint64_t& offset) {
        while (!failed) {
            if (atEnd && rest.size == 0) return false;
            std::optional<std::size_t> cut;
            if (!atEnd && rest.size >= kRead) {
                cut = CutAfter(rest.text(), rest.size - kCutWindow);
                if (!cut) cut = CutAfter(rest.text(), kRead / 2); // an odd stretch of text
            }
            if (!atEnd && !cut) {
                // The pieces' memory goes round between the threads and the
                // rest, and soon each has room enough to be kept as it is.
                rest.MakeRoom(kRead);
                const std::size_t got = opened.file.Read(rest.bytes.get() + rest.size, kRead);
                rest.size += got;
                atEnd = got == 0;
                continue;
            }
            // The rest, or the text before the cut; what follows the cut stays.
            std::swap(piece, rest);
            const std::size_t end = cut.value_or(piece.size);
            rest.size = 0;
            rest.MakeRoom(piece.size - end);
            std::memcpy(rest.bytes.get(), piece.bytes.get() + end, piece.size - end);
            rest.size = piece.size - end;
            piece.size = end;
            number = taken++;
            offset = restOffset;
            restOffset += piece.size;
            return true;
        }
        return false;
    };
    // Each thread keeps its pieces' results one after the other in large
    // blocks of memory of its own, backed by huge pages where the system
    // offers them, instead of in a fresh small string each.
    const auto work = [&] {
        Buffer piece;
        std::string codes;
        std::deque<std::string> blocks;
        const auto roomFor = [&blocks](std::size_t size) -> std::string& {
            if (blocks.empty() || blocks.back().capacity() - blocks.back().size() < size) {
                const std::size_t room = std::max(size, std::size_t{8} << 20);
                std::string& block = blocks.emplace_back();
                block.reserve(room);
                AdviseHugePages(block.data(), room);
            }
            return blocks.back();
        };
        const auto keepBlocks = [&] {
            const std::lock_guard<std::mutex> lock(mutex);
            for (std::string& block : blocks) clear.memory.push_back(std::move(block));
        };
        for (;;) {
            std::size_t number = 0;
            std::uint64_t offset = 0;
            {
                const std::lock_guard<std::mutex> lock(mutex);
                if (!next(piece, number, offset)) break;
            }
            DecodeFailure pieceFailure;
            if (!Dekryptera(piece.text(), kLineFeed, pieceFailure, codes)) {
                const std::lock_guard<std::mutex> lock(mutex);
                if (!failed || number < failed->piece)
                    failed = Failed{number, offset, std::move(pieceFailure)};
                break;
            }
            std::string& block = roomFor(codePage ? codes.size() : Utf8Size(codes) + 4);
            const std::size_t start = block.size();
            if (codePage)
                block += codes;
            else
                AppendCodesAsUtf8(codes, block);
            const std::string_view result(block.data() + start, block.size() - start);
            const std::lock_guard<std::mutex> lock(mutex);
            if (clear.pieces.size() <= number) clear.pieces.resize(number + 1);
            clear.pieces[number] = result;
        }
        keepBlocks();
    };
    RunBoth(work, work);
    if (!failed) return clear;

    // Pieces are taken in order, so every piece before the failed one was
    // decoded. Its lines count from its start: add the lines before it.
    failure = std::move(failed->failure);
    storage::PieceFile again = storage::OpenForPieces(path, kMaxCipherBytes);
    std::string bytes;
    for (std::uint64_t counted = 0; counted < failed->offset;) {
        bytes.clear();
        if (!again.ReadMore(bytes, static_cast<std::size_t>(
                                       std::min<std::uint64_t>(kRead, failed->offset - counted))))
            break;
        failure.line += LinesIn(bytes);
        counted += bytes.size();
    }
    return std::nullopt;
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
        storage::InputFile fields = storage::FieldsOf(std::move(bytes), name);
        if (fields.AtEnd()) throw Failure{kFailed, name + ": filen är tom"};
        bytes = fields.ReadField(); // as the open command: the first field only
        // Not the text of an empty .crp file: something else under its name.
        if (bytes.empty() && storage::AnyTextLeft(fields))
            throw Failure{kFailed, messages::NoTextAtStart(name)};
    }
    if (!streamed) clear = DecryptInTwo(bytes, codePage, failure);
    if (!clear) throw Failure{kFailed, name + ": " + messages::CannotDecrypt(failure)};
    Output output(options, out);
    for (std::string_view piece : clear->pieces) output.write(piece);
    output.close();
}

// Writes the message in pieces, so that reporting needs no memory. Standard
// error that cannot be written leaves nowhere to say so.
void Report(int err, std::string_view message) {
    try {
        const std::string_view pieces[] = {kProgram, ": ", message, "\n"};
        for (std::string_view piece : pieces)
            storage::platform::WriteStream(err, piece, kStandardError);
    } catch (...) {
    }
}

// Writes `text` to standard output: kOk, or kFailed when it cannot be written.
int Print(int out, std::string_view text) {
    try {
        storage::platform::WriteStream(out, text, kStandardOutput);
        return kOk;
    } catch (const storage::StorageError&) {
        return kFailed;
    }
}

} // namespace

void ReportNoMemory(int err) {
    // The window's words. The name of the input is left out: this message
    // needs no memory.
    Report(err, messages::kOutOfMemory);
}

int Run(const std::vector<std::string>& arguments, int in, int out, int err, char localeDecimal) {
    try {
        Options options;
        if (std::optional<Failure> failure = Parse(arguments, options)) {
            Report(err, failure->message);
            return failure->status;
        }
        if (options.help) return Print(out, kHelp);
        if (options.version) return Print(out, std::string(kProgram) + " " TOLVANA_VERSION "\n");
        try {
            if (options.command == Command::Kryptera)
                Encrypt(options, in, out, localeDecimal);
            else
                Decrypt(options, in, out);
            return kOk;
        } catch (const Failure& failure) {
            Report(err, failure.message);
            return failure.status;
        } catch (const storage::StorageError& error) {
            Report(err, NameOf(options.input, kStandardInput) + ": " + ReasonOf(error));
            return kFailed;
        }
    } catch (const std::bad_alloc&) {
        // Also when making another message ran short.
        ReportNoMemory(err);
        return kFailed;
    }
}

} // namespace tolvana::tool
