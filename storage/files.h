#pragma once

// The file layer. Every file the program reads or writes goes through here, and
// each is in one of two formats:
//
// - Field file: text fields, each written as a double quote, the text, a double
//   quote and CR LF. Text is a byte string of code page codes, one byte per
//   character, passed through unchanged: nothing is converted, doubled or
//   escaped. Turning characters into code page bytes is the caller's work.
// - Record file: fixed 2-byte records, record n (counted from 1) at bytes
//   2(n-1) and 2(n-1)+1, each a 16-bit signed integer, low byte first, no
//   header.
//
// Open files are objects returned by the Open functions. Their destructors
// close them, so no return or error path can leave a file open. Every failure
// is thrown as StorageError; what to do about it is the caller's decision.
// Paths are used exactly as given.

#include "storage/platform.h"
#include "storage/storageerror.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tolvana::storage {

// A field file open for reading. The whole file is read into memory when it is
// opened, so reading fields does no further input and cannot fail on the device.
class InputFile {
public:
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile() = default;

    // Reads the next field:
    // 1. Blanks (spaces and tabs) before the field are skipped.
    // 2. A field that starts with a double quote is every byte up to the next
    //    double quote; commas, CR and LF inside belong to it. A missing closing
    //    quote makes the field run to the end of the file. After the closing
    //    quote, blanks are skipped and then one comma or one line end (CR LF, a
    //    lone CR or a lone LF) is consumed. Any other byte is left where it is
    //    and starts the next field.
    // 3. Any other field runs up to the next comma, CR or LF, or to the end of
    //    the file. The comma or line end (CR LF counts as one) is consumed.
    //    Blanks at its end are dropped; a double quote inside it is an
    //    ordinary byte.
    // Throws StorageError(PastEnd) when AtEnd() is true.
    std::string ReadField();

    // True when no byte is left to read; an empty file is at its end at once.
    bool AtEnd() const;

    // Releases the file; closing a closed file does nothing.
    void Close();

private:
    friend InputFile OpenForInput(const std::string& path, std::uint64_t maximum);

    // Every byte of a file, with the same size check and errors as OpenForInput.
    std::string ReadFileBytes(const std::string& path, std::uint64_t maximum);

    // Reads fields, by the rules of InputFile::ReadField, from bytes already in
    // memory (for example a text file's decoded codes). `name` names them in
    // errors.
    InputFile FieldsOf(std::string bytes, std::string name);
    friend InputFile FieldsOf(std::string bytes, std::string name);
    InputFile(std::string path, std::string bytes);

    std::string path_;
    std::string bytes_;
    std::size_t pos_ = 0;
    bool open_ = false;
};

// A field file being written. The lines go into a temporary file beside the
// target, which replaces the target only when Close() has written everything
// to disk. Until then, and after any failure, the target is untouched.
class OutputFile {
public:
    OutputFile(OutputFile&& other) noexcept = default;
    OutputFile& operator=(OutputFile&& other) noexcept = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Without a successful Close() the temporary file is removed and the
    // target left as it was.
    ~OutputFile() = default;

    // Appends one field line: 0x22, the text unchanged, 0x22, 0x0D 0x0A. On
    // failure the temporary file is removed, the file is closed and
    // StorageError(WriteFailed) is thrown.
    void WriteField(std::string_view text);

    // Appends bytes as they are, for a file that is not a field file (the
    // cipher tool's plain output). Fails as WriteField does.
    void Write(std::string_view bytes);

    // Flushes the temporary file to disk and renames it over the target. On
    // failure the temporary file is removed, the target keeps its old content
    // and StorageError(WriteFailed) is thrown. Closing a closed file does
    // nothing.
    void Close();

private:
    friend OutputFile OpenForOutput(const std::string& path, Permissions permissions);
    OutputFile(std::string path, std::unique_ptr<platform::Replacement> replacement);

    std::string path_; // as the caller gave it, for errors
    std::unique_ptr<platform::Replacement> replacement_;
};

// A record file open for reading and writing (or reading only, see
// OpenRecordsForReading).
class RecordFile {
public:
    RecordFile(RecordFile&& other) noexcept = default;
    RecordFile& operator=(RecordFile&& other) noexcept = default;
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;
    ~RecordFile() = default;

    // Reads record `record` (from 1). Bytes of the record that lie past the end
    // of the file count as 0, so a file that holds no bytes there gives 0 and a
    // 1-byte file gives its byte as the low byte. The file is not changed.
    // Throws std::invalid_argument for a record number below 1.
    std::int16_t GetRecord(std::int32_t record);

    // Writes the record in place, low byte first, extending the file (with
    // zero bytes in between) when it is shorter. Other bytes are unchanged.
    void PutRecord(std::int32_t record, std::int16_t value);

    // The file's size in bytes.
    std::uint64_t Size() const;

    // Whether the file belongs to the user this program runs as
    // (platform::OwnedByUser).
    bool OwnedByUser() const;

    // Cuts the file to `size` bytes, for putting back a shorter file.
    void Truncate(std::uint64_t size);

    // Flushes what was written to disk and releases the file; closing a closed
    // file does nothing.
    void Close();

private:
    friend RecordFile OpenForRecords(const std::string&, int, Permissions);
    friend RecordFile OpenRecordsForReading(const std::string&);
    RecordFile(std::string path, platform::File file);

    std::string path_;
    platform::File file_;
    bool written_ = false;
};

// Opens a field file for reading from its first byte. The file's size is
// checked before anything is read: a file larger than `maximum` bytes is
// refused with CannotOpen, Reason::TooLarge, its size and the maximum. Throws
// StorageError: NotFound when it does not exist, CannotOpen when it is not a
// regular file or cannot be opened, ReadFailed when reading it fails.
InputFile OpenForInput(const std::string& path, std::uint64_t maximum);

// Every byte of a file, with the same size check and errors as OpenForInput.
std::string ReadFileBytes(const std::string& path, std::uint64_t maximum);

// Reads fields, by the rules of InputFile::ReadField, from bytes already in
// memory (for example a text file's decoded codes). `name` names them in
// errors.
InputFile FieldsOf(std::string bytes, std::string name);

// Reads the fields that `file` has left and says whether any of them holds
// anything: after an empty first field, whether the file is more than an
// empty text followed by empty lines.
bool AnyTextLeft(InputFile& file);

// A file read a piece at a time, for a file too large to hold twice.
class PieceFile {
public:
    // Reads up to `room` bytes into `buffer`: the count read, 0 at the end of
    // the file. A file that grows past the maximum throws TooLarge with the
    // size reached; a failed read throws ReadFailed.
    std::size_t Read(char* buffer, std::size_t room);

    // Appends up to `room` bytes to `bytes`; false at the end of the file.
    bool ReadMore(std::string& bytes, std::size_t room);

    // The size measured when the file was opened.
    std::uint64_t size() const { return size_; }

private:
    friend PieceFile OpenForPieces(const std::string& path, std::uint64_t maximum);
    PieceFile(std::string path, platform::File file, std::uint64_t size, std::uint64_t maximum);

    std::string path_;
    platform::File file_;
    std::uint64_t size_;
    std::uint64_t maximum_;
    std::uint64_t read_ = 0;
};

// Opens a file for reading a piece at a time, with the checks and errors of
// ReadFileBytes.
PieceFile OpenForPieces(const std::string& path, std::uint64_t maximum);

// Starts writing a field file that replaces `path` when closed. The folder must
// exist and be writable, since the temporary file is made there. Throws
// StorageError(CannotOpen) when the temporary file cannot be created, the
// target is a folder or another non-regular file, or the user may not write
// the target (see platform::BeginReplacement for every check).
OutputFile OpenForOutput(const std::string& path, Permissions permissions = Permissions::Ordinary);

inline constexpr int kRecordLength = 2;

// Opens a record file for reading and writing; a missing file is created
// empty, with the given permissions. Only record length 2 exists
// (std::invalid_argument otherwise). Throws StorageError(CannotOpen).
RecordFile OpenForRecords(const std::string& path, int recordLength = kRecordLength,
                          Permissions permissions = Permissions::Ordinary);

// Opens an existing record file for reading only, for a file that may be read
// but not written. PutRecord on it fails with WriteFailed. Throws
// StorageError: NotFound or CannotOpen.
RecordFile OpenRecordsForReading(const std::string& path);

// The entries of a folder (platform::ListFolder): names as the system's bytes,
// for the names that Qt cannot list. Throws StorageError(CannotOpen).
using platform::FolderEntry;
std::vector<FolderEntry> ListFolder(const std::string& path);

// True when anything exists at `path`, a dangling symbolic link too.
bool FileExists(const std::string& path);

// Removes the file `path` (not a folder), also one that is marked read-only;
// a missing file is no error. Throws StorageError(WriteFailed).
void RemoveFile(const std::string& path);

} // namespace tolvana::storage
