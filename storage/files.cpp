#include "storage/files.h"

#include <cerrno>
#include <utility>

namespace tolvana::storage {

namespace {

using Kind = StorageError::Kind;
using Reason = StorageError::Reason;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Consumes the one comma or line end (CR LF, a lone CR or a lone LF) that ends
// a field, if one stands at `pos`.
std::size_t SkipSeparator(std::string_view bytes, std::size_t pos) {
    if (pos >= bytes.size()) return pos;
    if (bytes[pos] == ',' || bytes[pos] == '\n') return pos + 1;
    if (bytes[pos] != '\r') return pos;
    return pos + 1 < bytes.size() && bytes[pos + 1] == '\n' ? pos + 2 : pos + 1;
}

// A path holding a NUL byte would silently name a different, shorter path.
void CheckPath(const std::string& path) {
    if (path.find('\0') != std::string::npos)
        throw StorageError(Kind::CannotOpen, path, Reason::Other, EINVAL);
}

std::uint64_t RecordOffset(std::int32_t record) {
    if (record < 1) throw std::invalid_argument("record numbers start at 1");
    return static_cast<std::uint64_t>(record - 1) * kRecordLength;
}

} // namespace

// ---- Input ----

InputFile::InputFile(std::string path, std::string bytes)
    : path_(std::move(path)), bytes_(std::move(bytes)), open_(true) {}

InputFile::InputFile(InputFile&& other) noexcept
    : path_(std::move(other.path_)), bytes_(std::move(other.bytes_)),
      pos_(std::exchange(other.pos_, 0)), open_(std::exchange(other.open_, false)) {}

InputFile& InputFile::operator=(InputFile&& other) noexcept {
    if (this == &other) return *this;
    path_ = std::move(other.path_);
    bytes_ = std::move(other.bytes_);
    pos_ = std::exchange(other.pos_, 0);
    open_ = std::exchange(other.open_, false);
    return *this;
}

bool InputFile::AtEnd() const {
    if (!open_) throw std::logic_error("AtEnd on a closed file");
    return pos_ >= bytes_.size();
}

std::string InputFile::ReadField() {
    if (AtEnd()) throw StorageError(Kind::PastEnd, path_, Reason::None);
    const std::string_view all = bytes_;
    const std::size_t size = all.size();
    std::size_t pos = pos_;
    while (pos < size && IsBlank(all[pos])) ++pos;

    std::string field;
    if (pos < size && all[pos] == '"') {
        std::size_t close = all.find('"', pos + 1);
        if (close == std::string_view::npos) close = size;
        field = all.substr(pos + 1, close - pos - 1);
        pos = close == size ? size : close + 1;
        while (pos < size && IsBlank(all[pos])) ++pos;
        pos = SkipSeparator(all, pos);
    } else {
        std::size_t stop = all.find_first_of(",\r\n", pos);
        if (stop == std::string_view::npos) stop = size;
        std::size_t last = stop;
        while (last > pos && IsBlank(all[last - 1])) --last;
        field = all.substr(pos, last - pos);
        pos = SkipSeparator(all, stop);
    }
    pos_ = pos;
    return field;
}

void InputFile::Close() {
    open_ = false;
    bytes_ = std::string();
    pos_ = 0;
}

InputFile OpenForInput(const std::string& path, std::uint64_t maximum) {
    return InputFile(path, ReadFileBytes(path, maximum));
}

std::string ReadFileBytes(const std::string& path, std::uint64_t maximum) {
    CheckPath(path);
    return platform::ReadWholeFile(path, maximum);
}

InputFile FieldsOf(std::string bytes, std::string name) {
    return InputFile(std::move(name), std::move(bytes));
}

bool AnyTextLeft(InputFile& file) {
    while (!file.AtEnd())
        if (!file.ReadField().empty()) return true;
    return false;
}

PieceFile::PieceFile(std::string path, platform::File file, std::uint64_t size,
                     std::uint64_t maximum)
    : path_(std::move(path)), file_(std::move(file)), size_(size), maximum_(maximum) {}

std::size_t PieceFile::Read(char* buffer, std::size_t room) {
    const std::size_t got = platform::ReadSome(file_, path_, buffer, room);
    read_ += got;
    if (read_ > maximum_) throw StorageError::TooLarge(path_, read_, maximum_);
    return got;
}

bool PieceFile::ReadMore(std::string& bytes, std::size_t room) {
    const std::size_t start = bytes.size();
    bytes.resize(start + room);
    const std::size_t got = Read(bytes.data() + start, room);
    bytes.resize(start + got);
    return got > 0;
}

PieceFile OpenForPieces(const std::string& path, std::uint64_t maximum) {
    std::uint64_t size = 0;
    platform::File file = platform::OpenForReading(path, maximum, size);
    return PieceFile(path, std::move(file), size, maximum);
}

// ---- Output ----

OutputFile::OutputFile(std::string path, std::unique_ptr<platform::Replacement> replacement)
    : path_(std::move(path)), replacement_(std::move(replacement)) {}

void OutputFile::Write(std::string_view bytes) {
    if (!replacement_) throw std::logic_error("Write on a closed file");
    try {
        replacement_->Write(bytes);
    } catch (const StorageError&) {
        replacement_.reset();
        throw;
    }
}

void OutputFile::WriteField(std::string_view text) {
    if (!replacement_) throw std::logic_error("WriteField on a closed file");
    std::string line;
    line.reserve(text.size() + 4);
    line += '"';
    line += text;
    line += "\"\r\n";
    try {
        replacement_->Write(line);
    } catch (const StorageError&) {
        replacement_.reset();
        throw;
    }
}

void OutputFile::Close() {
    if (!replacement_) return;
    // Spent whether or not the replacement succeeds.
    std::unique_ptr<platform::Replacement> replacement = std::move(replacement_);
    replacement->Commit();
}

OutputFile OpenForOutput(const std::string& path, Permissions permissions) {
    CheckPath(path);
    return OutputFile(path, platform::BeginReplacement(path, permissions));
}

// ---- Records ----

RecordFile::RecordFile(std::string path, platform::File file)
    : path_(std::move(path)), file_(std::move(file)) {}

std::int16_t RecordFile::GetRecord(std::int32_t record) {
    if (!file_.isOpen()) throw std::logic_error("GetRecord on a closed file");
    char bytes[kRecordLength] = {0, 0};
    // Bytes past the end of the file stay 0.
    platform::ReadAt(file_, RecordOffset(record), bytes, sizeof bytes, path_);
    const auto low = static_cast<unsigned char>(bytes[0]);
    const auto high = static_cast<unsigned char>(bytes[1]);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | high << 8));
}

void RecordFile::PutRecord(std::int32_t record, std::int16_t value) {
    if (!file_.isOpen()) throw std::logic_error("PutRecord on a closed file");
    std::uint64_t offset = RecordOffset(record);
    auto bits = static_cast<std::uint16_t>(value);
    const char bytes[kRecordLength] = {static_cast<char>(bits & 0xFF),
                                       static_cast<char>(bits >> 8)};
    platform::WriteAt(file_, offset, bytes, sizeof bytes, path_);
    written_ = true;
}

std::uint64_t RecordFile::Size() const {
    if (!file_.isOpen()) throw std::logic_error("Size on a closed file");
    return platform::SizeOf(file_, path_);
}

void RecordFile::Truncate(std::uint64_t size) {
    if (!file_.isOpen()) throw std::logic_error("Truncate on a closed file");
    platform::Truncate(file_, size, path_);
    written_ = true;
}

void RecordFile::Close() {
    if (!file_.isOpen()) return;
    if (std::exchange(written_, false))
        platform::SyncAndClose(file_, path_);
    else
        file_.reset();
}

bool RecordFile::OwnedByUser() const { return file_.isOpen() && platform::OwnedByUser(file_); }

RecordFile OpenForRecords(const std::string& path, int recordLength, Permissions permissions) {
    if (recordLength != kRecordLength) throw std::invalid_argument("record length must be 2");
    CheckPath(path);
    return RecordFile(
        path, platform::OpenRecordFile(path, platform::RecordAccess::ReadWrite, permissions));
}

RecordFile OpenRecordsForReading(const std::string& path) {
    CheckPath(path);
    return RecordFile(path, platform::OpenRecordFile(path, platform::RecordAccess::ReadOnly,
                                                     Permissions::Ordinary));
}

bool FileExists(const std::string& path) {
    return path.find('\0') == std::string::npos && platform::Exists(path);
}

} // namespace tolvana::storage

namespace tolvana::storage {

void RemoveFile(const std::string& path) {
    CheckPath(path);
    platform::RemoveFile(path);
}

std::vector<FolderEntry> ListFolder(const std::string& path) {
    CheckPath(path);
    return platform::ListFolder(path);
}

} // namespace tolvana::storage
