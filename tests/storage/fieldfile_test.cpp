#include "storage/files.h"
#include "tests/storage/support.h"

#include <sys/resource.h>
#include <vector>

namespace tolvana::storage {
namespace {

using namespace std::string_literals;
using testing::ExpectStorageError;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
using Fields = std::vector<std::string>;
using Kind = StorageError::Kind;
using Reason = StorageError::Reason;

Fields ReadAllFields(const std::string& path) {
    InputFile file = OpenForInput(path, testing::kAnySize);
    Fields fields;
    while (!file.AtEnd()) fields.push_back(file.ReadField());
    return fields;
}

void WriteFields(const std::string& path, const Fields& fields) {
    OutputFile file = OpenForOutput(path);
    for (const std::string& field : fields) file.WriteField(field);
    file.Close();
}

// Byte-exact writing, and every field that reading those bytes gives back.
TEST(FieldFileTest, WrittenBytesReadBack) {
    struct Case {
        Fields written;
        std::string bytes;
        Fields read;
    };
    const Case cases[] = {
        {{"a,b\nc\n"}, "\"a,b\nc\n\"\r\n", {"a,b\nc\n"}},
        {{""}, "\"\"\r\n", {""}},
        {{}, "", {}},
        {{"one", "two, three"}, "\"one\"\r\n\"two, three\"\r\n", {"one", "two, three"}},
        // A quote inside is written as it is; reading stops at it.
        {{"say \"hi\""}, "\"say \"hi\"\"\r\n", {"say ", "hi\"\""}},
        // The cipher text of "abc" with either decimal separator.
        {{"\n153\n154,5\n156"}, "\"\n153\n154,5\n156\"\r\n", {"\n153\n154,5\n156"}},
        {{"\n153\n154.5\n156"}, "\"\n153\n154.5\n156\"\r\n", {"\n153\n154.5\n156"}},
        // Code page bytes, NUL and CR pass through unchanged.
        {{"\xE5\xF6\0\xFF\r"s}, "\"\xE5\xF6\0\xFF\r\"\r\n"s, {"\xE5\xF6\0\xFF\r"s}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        WriteFields(dir / "f.crp", c.written);
        EXPECT_EQ(ReadBytes(dir / "f.crp"), c.bytes);
        EXPECT_EQ(ReadAllFields(dir / "f.crp"), c.read);
    }
    WriteBytes(dir / "f.crp", std::string(5000, 'x') + "\r\nmore\r\n");
    WriteFields(dir / "f.crp", {"new"});
    EXPECT_EQ(ReadBytes(dir / "f.crp"), "\"new\"\r\n");
}

// The reading rules: each case is a file's bytes and every field read until AtEnd.
// Plain bytes, for files that are not field files, replace the target only
// when closed, as field lines do; mixed with field lines they keep their order.
TEST(FieldFileTest, PlainBytesReplaceTheTargetOnlyWhenClosed) {
    TempDir dir;
    const std::string path = dir / "out.txt";
    WriteBytes(path, "old");
    {
        OutputFile file = OpenForOutput(path);
        file.Write("\n115,5\n\0\r"s);
        file.WriteField("f");
        file.Write("");
        EXPECT_EQ(ReadBytes(path), "old");
        file.Close();
    }
    EXPECT_EQ(ReadBytes(path), "\n115,5\n\0\r\"f\"\r\n"s);
    {
        OutputFile file = OpenForOutput(path);
        file.Write("never closed");
    }
    EXPECT_EQ(ReadBytes(path), "\n115,5\n\0\r\"f\"\r\n"s);
    EXPECT_EQ(dir.Names(), std::set<std::string>{"out.txt"});
}

TEST(FieldFileTest, ReadingRules) {
    const std::pair<std::string, Fields> cases[] = {
        {"abc,  def\r\n", {"abc", "def"}}, // blanks before a field are skipped
        {"\r\n", {""}},                    // blank line
        {",x", {"", "x"}},                 // comma at the start
        {"one\r\n\"two\"\r\nlast", {"one", "two", "last"}},
        {"a,b,", {"a", "b"}},                             // a final comma opens no field
        {"abc\r\n  ", {"abc", ""}},                       // only blanks after the last line end
        {"   \r\nx", {"", "x"}},                          // line of blanks
        {"abc  ,two words \r\n", {"abc", "two words"}},   // trailing blanks are dropped
        {"\tabc\t,\t\"q\"\t,a\tb", {"abc", "q", "a\tb"}}, // tabs are blanks, except inside
        {"say \"hi\" now\r\n", {"say \"hi\" now"}},       // quote inside an unquoted field
        {"\"a\r\nb,c\nd\"\r\n", {"a\r\nb,c\nd"}},         // quoted commas and line ends
        {"  \" a \"  ,b", {" a ", "b"}},                  // blanks inside quotes stay
        {"\"abc\"def,ghi", {"abc", "def", "ghi"}},        // text after a closing quote
        {"\"a\"\"b\"", {"a", "b"}},
        {"\"abc\r\ndef", {"abc\r\ndef"}}, // no closing quote: runs to the end
        {"x,\"", {"x", ""}},
        {"one\ntwo\rthree\r\nfour", {"one", "two", "three", "four"}}, // lone LF and lone CR
        {"a\n\rb", {"a", "", "b"}},
        {"\"a\"\nb\"c\"  \rd", {"a", "b\"c\"", "d"}},
        {"\xE5sa,\xFF\r\n", {"\xE5sa", "\xFF"}},
    };
    TempDir dir;
    for (const auto& [bytes, fields] : cases) {
        SCOPED_TRACE(bytes);
        WriteBytes(dir / "in.txt", bytes);
        EXPECT_EQ(ReadAllFields(dir / "in.txt"), fields);
    }
}

TEST(FieldFileTest, TextImportRunsFieldsTogether) {
    TempDir dir;
    WriteBytes(dir / "in.txt", "hej, svejs\r\nd\xE5\r\n\"i, \"\"t\" ,x\n");
    std::string text;
    for (const std::string& field : ReadAllFields(dir / "in.txt")) text += field;
    EXPECT_EQ(text, "hejsvejsd\xE5i, tx");
}

TEST(FieldFileTest, Failures) {
    TempDir dir;
    WriteBytes(dir / "empty.crp", "");
    InputFile empty = OpenForInput(dir / "empty.crp", 0);
    EXPECT_TRUE(empty.AtEnd());
    ExpectStorageError([&] { empty.ReadField(); }, Kind::PastEnd, dir / "empty.crp", Reason::None);

    auto open = [](const std::string& path) { OpenForInput(path, testing::kAnySize); };
    ExpectStorageError([&] { open(dir / "none"); }, Kind::NotFound, dir / "none", Reason::NotFound);
    ExpectStorageError([&] { open(dir / "no/x"); }, Kind::NotFound, dir / "no/x", Reason::NotFound);
    ExpectStorageError([&] { open(dir.path()); }, Kind::CannotOpen, dir.path(), Reason::IsFolder);
    ExpectStorageError([&] { open("/dev/null"); }, Kind::CannotOpen, "/dev/null",
                       Reason::NotRegularFile);
    WriteBytes(dir / "x", "\"x\"\r\n"); // what a path cut at its NUL would name
    const std::string withNul = dir / "x\0y"s;
    ExpectStorageError([&] { open(withNul); }, Kind::CannotOpen, withNul, Reason::Other);
}

// The size is checked before anything is read or reserved, so a sparse file of
// 30 GB is refused at once, also under a memory limit far below its size.
TEST(FieldFileTest, FilesLargerThanTheMaximumAreRefusedBeforeReading) {
    TempDir dir;
    const std::uint64_t huge = std::uint64_t{30} << 30;
    { std::ofstream create(dir / "huge.crp"); }
    std::filesystem::resize_file(dir / "huge.crp", huge);
    WriteBytes(dir / "small.crp", "\"12345\"\r\n"); // 9 bytes

    auto expectTooLarge = [](const std::string& path, std::uint64_t maximum, std::uint64_t size) {
        try {
            OpenForInput(path, maximum);
            ADD_FAILURE() << "no error for " << path;
        } catch (const StorageError& e) {
            EXPECT_EQ(e.kind(), Kind::CannotOpen);
            EXPECT_EQ(e.reason(), Reason::TooLarge);
            EXPECT_EQ(e.size(), size);
            EXPECT_EQ(e.maximum(), maximum);
            EXPECT_EQ(e.path(), path);
        }
    };
    expectTooLarge(dir / "huge.crp", 64 << 20, huge);
    expectTooLarge(dir / "small.crp", 8, 9);
    EXPECT_THROW(OpenForPieces(dir / "huge.crp", 64 << 20), StorageError);
    EXPECT_EQ(ReadAllFields(dir / "small.crp"), Fields{"12345"});
    EXPECT_EQ(OpenForInput(dir / "small.crp", 9).ReadField(), "12345");

#ifndef __SANITIZE_ADDRESS__ // AddressSanitizer's own mappings break any address-space limit
    int code = testing::RunInChild([&] {
        rlimit limit{256 << 20, 256 << 20};
        if (::setrlimit(RLIMIT_AS, &limit) != 0) return 10;
        try {
            OpenForInput(dir / "huge.crp", 64 << 20);
        } catch (const std::bad_alloc&) {
            return 11; // memory was asked for before the size was checked
        } catch (const StorageError& e) {
            return e.reason() == Reason::TooLarge ? 0 : 12;
        }
        return 13;
    });
    EXPECT_EQ(code, 0);
#endif
}

// A file is read to its end, also where it holds more than its size said
// when it was opened (the files of /proc report a size of 0).
TEST(FieldFileTest, FilesAreReadToTheirEndWhateverTheirSizeSaid) {
    const std::string status = ReadFileBytes("/proc/self/status", testing::kAnySize);
    EXPECT_EQ(status.rfind("Name:", 0), 0u) << status.substr(0, 40);
    EXPECT_EQ(status.back(), '\n');
    try {
        ReadFileBytes("/proc/self/status", 16);
        ADD_FAILURE() << "a file that outgrows the maximum while read was taken whole";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.reason(), Reason::TooLarge);
    }

    // The same, a piece at a time.
    PieceFile pieces = OpenForPieces("/proc/self/status", testing::kAnySize);
    EXPECT_EQ(pieces.size(), 0u);
    std::string read;
    while (pieces.ReadMore(read, 7)) {
    }
    EXPECT_EQ(read.rfind("Name:", 0), 0u);
    PieceFile small = OpenForPieces("/proc/self/status", 16);
    read.clear();
    EXPECT_TRUE(small.ReadMore(read, 16));
    EXPECT_THROW(small.ReadMore(read, 16), StorageError);
}

// Large files, read field by field, come back whole.
TEST(FieldFileTest, LargeFilesReadWhole) {
    TempDir dir;
    std::string many;
    for (int i = 0; i < 200000; ++i) many += i % 2 ? "\"ab\"\r\n" : "abcd,";
    WriteBytes(dir / "many.txt", many);
    const std::string big(4 << 20, 'z');
    WriteFields(dir / "big.crp", {big});

    EXPECT_EQ(ReadAllFields(dir / "many.txt").size(), 200000u);
    EXPECT_EQ(ReadAllFields(dir / "big.crp"), Fields{big});
}

} // namespace
} // namespace tolvana::storage
