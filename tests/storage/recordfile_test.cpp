#include "storage/files.h"
#include "tests/storage/support.h"

namespace tolvana::storage {
namespace {

using namespace std::string_literals;
using testing::ExpectStorageError;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

TEST(RecordFileTest, MissingFileIsCreatedEmptyAndReadsZero) {
    TempDir dir;
    RecordFile file = OpenForRecords(dir / "numberone");
    EXPECT_EQ(file.GetRecord(1), 0);
    file.Close();
    EXPECT_EQ(ReadBytes(dir / "numberone"), "");
}

// Each case: the file's bytes, a record, the value it holds. Reading changes nothing.
TEST(RecordFileTest, GetRecord) {
    const std::tuple<std::string, std::int32_t, std::int16_t> cases[] = {
        {"\x01\x00"s, 1, 1},     {"\xFF\xFF"s, 1, -1},        {"\x00\x80"s, 1, -32768},
        {"\xFF\x7F"s, 1, 32767}, {"\x34\x12\x02\x00"s, 2, 2}, {"\x01\x00"s, 2, 0},
        {"\x01"s, 1, 1},         {"\xFF"s, 1, 255}, // the missing high byte counts as 0
        {"\x01\x00\x07"s, 2, 7},
    };
    TempDir dir;
    for (const auto& [bytes, record, value] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        WriteBytes(dir / "r", bytes);
        RecordFile file = OpenForRecords(dir / "r");
        EXPECT_EQ(file.GetRecord(record), value);
        file.Close();
        EXPECT_EQ(ReadBytes(dir / "r"), bytes);
    }
}

// Each case: the bytes before, a record and value put, the bytes after.
TEST(RecordFileTest, PutRecord) {
    const std::tuple<std::string, std::int32_t, std::int16_t, std::string> cases[] = {
        {""s, 1, 1, "\x01\x00"s},
        {""s, 1, -2, "\xFE\xFF"s},
        {"\x05"s, 1, 0x0102, "\x02\x01"s},
        {"abcdef"s, 1, 1, "\x01\x00"s + "cdef"},
        {"abcdef"s, 2, 1, "ab\x01\x00"s + "ef"},
        {""s, 3, 0x0201, "\0\0\0\0\x01\x02"s},
    };
    TempDir dir;
    for (const auto& [before, record, value, after] : cases) {
        SCOPED_TRACE(::testing::PrintToString(after));
        WriteBytes(dir / "r", before);
        RecordFile file = OpenForRecords(dir / "r");
        file.PutRecord(record, value);
        file.Close();
        EXPECT_EQ(ReadBytes(dir / "r"), after);
    }
}

TEST(RecordFileTest, Refusals) {
    TempDir dir;
    EXPECT_THROW(OpenForRecords(dir / "r", 4), std::invalid_argument);
    RecordFile file = OpenForRecords(dir / "r");
    EXPECT_THROW(file.GetRecord(0), std::invalid_argument);
    using Kind = StorageError::Kind;
    ExpectStorageError([&] { OpenForRecords(dir / "no/r"); }, Kind::CannotOpen, dir / "no/r");
    ExpectStorageError([&] { OpenForRecords(dir.path()); }, Kind::CannotOpen, dir.path());
    ExpectStorageError([&] { OpenRecordsForReading(dir / "x"); }, Kind::NotFound, dir / "x");
    EXPECT_EQ(dir.Names(), std::set<std::string>{"r"});
}

// A record file without any write bit is not written, not even by the
// super-user (the tests run as root); it may still be read.
TEST(RecordFileTest, ReadOnlyFileIsNotWritten) {
    TempDir dir;
    WriteBytes(dir / "r", "\x01\x00");
    ::chmod((dir / "r").c_str(), 0444);
    ExpectStorageError([&] { OpenForRecords(dir / "r"); }, StorageError::Kind::CannotOpen,
                       dir / "r", StorageError::Reason::NoPermission);
    EXPECT_EQ(OpenRecordsForReading(dir / "r").GetRecord(1), 1);
    EXPECT_EQ(ReadBytes(dir / "r"), "\x01\x00");
}

} // namespace
} // namespace tolvana::storage
