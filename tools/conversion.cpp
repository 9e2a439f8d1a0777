#include "tools/conversion.h"

#include "cipher/hugepages.h"
#include "storage/codepage.h"
#include "storage/textfile.h"
#include "tools/options.h"
#include "tools/platform.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace tolvana::tool {
namespace {

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

} // namespace

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

namespace {

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

} // namespace

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

namespace {

// Reads a named file's cipher text and decodes it on two threads. The
// threads take pieces in turn (Next), cut where their results join, decode
// them and keep each result in memory of their own (Work); a failure is kept
// for the first piece that failed, whose lines are then counted (Failure).
class FileDecoder {
public:
    FileDecoder(OpenedCipher opened, bool codePage)
        : file_(std::move(opened.file)), codePage_(codePage) {
        rest_.MakeRoom(opened.start.size());
        if (!opened.start.empty())
            std::memcpy(rest_.bytes.get(), opened.start.data(), opened.start.size());
        rest_.size = opened.start.size();
    }

    std::optional<ClearPieces> Decrypt(const std::string& path, DecodeFailure& failure) {
        RunBoth([this] { Work(); }, [this] { Work(); });
        if (!failed_) return std::move(clear_);
        failure = std::move(failed_->failure);
        failure.line += LinesBefore(path, failed_->offset);
        return std::nullopt;
    }

private:
    static constexpr std::size_t kRead = std::size_t{1} << 20, kCutWindow = 4096;

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

    struct Failed {
        std::size_t piece;
        std::uint64_t offset;
        DecodeFailure failure;
    };

    // Takes the next piece into `piece`, with its number and offset; false
    // when none is left. Called with the mutex held.
    bool Next(Buffer& piece, std::size_t& number, std::uint64_t& offset) {
        while (!failed_) {
            if (atEnd_ && rest_.size == 0) return false;
            std::optional<std::size_t> cut;
            if (!atEnd_ && rest_.size >= kRead) {
                cut = CutAfter(rest_.text(), rest_.size - kCutWindow);
                if (!cut) cut = CutAfter(rest_.text(), kRead / 2); // an odd stretch of text
            }
            if (!atEnd_ && !cut) {
                // The pieces' memory goes round between the threads and the
                // rest, and soon each has room enough to be kept as it is.
                rest_.MakeRoom(kRead);
                const std::size_t got = file_.Read(rest_.bytes.get() + rest_.size, kRead);
                rest_.size += got;
                atEnd_ = got == 0;
                continue;
            }
            // The rest, or the text before the cut; what follows the cut stays.
            std::swap(piece, rest_);
            const std::size_t end = cut.value_or(piece.size);
            rest_.size = 0;
            rest_.MakeRoom(piece.size - end);
            // A buffer that never had room has no memory to copy to, even nothing.
            if (piece.size > end)
                std::memcpy(rest_.bytes.get(), piece.bytes.get() + end, piece.size - end);
            rest_.size = piece.size - end;
            piece.size = end;
            number = taken_++;
            offset = restOffset_;
            restOffset_ += piece.size;
            return true;
        }
        return false;
    }

    // One thread's work. It keeps its pieces' results one after the other in
    // large blocks of memory of its own, backed by huge pages where the
    // system offers them, instead of in a fresh small string each.
    void Work() {
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
        for (;;) {
            std::size_t number = 0;
            std::uint64_t offset = 0;
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                if (!Next(piece, number, offset)) break;
            }
            DecodeFailure pieceFailure;
            if (!Dekryptera(piece.text(), kLineFeed, pieceFailure, codes)) {
                const std::lock_guard<std::mutex> lock(mutex_);
                if (!failed_ || number < failed_->piece)
                    failed_ = Failed{number, offset, std::move(pieceFailure)};
                break;
            }
            std::string& block = roomFor(codePage_ ? codes.size() : Utf8Size(codes) + 4);
            const std::size_t start = block.size();
            if (codePage_)
                block += codes;
            else
                AppendCodesAsUtf8(codes, block);
            const std::string_view result(block.data() + start, block.size() - start);
            const std::lock_guard<std::mutex> lock(mutex_);
            if (clear_.pieces.size() <= number) clear_.pieces.resize(number + 1);
            clear_.pieces[number] = result;
        }
        const std::lock_guard<std::mutex> lock(mutex_);
        for (std::string& block : blocks) clear_.memory.push_back(std::move(block));
    }

    // The lines in the first `offset` bytes of the file. Pieces are taken in
    // order, so every piece before a failed one was decoded, and its lines
    // count from its start.
    static std::size_t LinesBefore(const std::string& path, std::uint64_t offset) {
        storage::PieceFile again = storage::OpenForPieces(path, kMaxCipherBytes);
        std::string bytes;
        std::size_t lines = 0;
        for (std::uint64_t counted = 0; counted < offset;) {
            bytes.clear();
            if (!again.ReadMore(bytes, static_cast<std::size_t>(
                                           std::min<std::uint64_t>(kRead, offset - counted))))
                break;
            lines += LinesIn(bytes);
            counted += bytes.size();
        }
        return lines;
    }

    storage::PieceFile file_;
    const bool codePage_;
    std::mutex mutex_;
    // Guarded by the mutex: the text read but not yet taken, where it starts
    // in the file, and the results so far.
    Buffer rest_;
    std::uint64_t restOffset_ = 0;
    bool atEnd_ = false;
    std::size_t taken_ = 0;
    ClearPieces clear_;
    std::optional<Failed> failed_;
};

} // namespace

std::optional<ClearPieces> DecryptFile(const std::string& path, OpenedCipher opened, bool codePage,
                                       DecodeFailure& failure) {
    return FileDecoder(std::move(opened), codePage).Decrypt(path, failure);
}

} // namespace tolvana::tool
