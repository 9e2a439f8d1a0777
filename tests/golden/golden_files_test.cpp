// Files written through the file layer, compared byte for byte with files
// committed beside this test. The Linux and the Windows build run the same
// test against the same bytes, so a file saved on one is the file the other
// saves.

#include "cipher/cipher.h"
#include "storage/files.h"
#include "storage/passwordstore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace tolvana::storage {
namespace {

namespace fs = std::filesystem;

// The file layer takes UTF-8 paths on Windows and the bytes as they are on
// POSIX; generic_u8string gives both.
std::string PathText(const fs::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + PathText(path));
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class GoldenFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device entropy;
        dir_ = fs::temp_directory_path() / ("tolvana-golden-" + std::to_string(entropy()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string Path(const std::string& name) const { return PathText(dir_ / name); }

    void ExpectSame(const std::string& name) const {
        const std::string expected = Bytes(fs::path(TOLVANA_EXPECTED_DIR) / name);
        const std::string written = Bytes(dir_ / name);
        EXPECT_EQ(written, expected) << name << " differs from the committed bytes";
    }

    void WriteOneField(const std::string& name, std::string_view text) const {
        OutputFile file = OpenForOutput(Path(name));
        file.WriteField(text);
        file.Close();
    }

private:
    fs::path dir_;
};

// "Hej på dig", a line break (CR LF, as the text box holds it) and "rad två"
// in code page 1252: what the real-window tests type.
constexpr char kClearText[] = "Hej p\xE5 dig\r\nrad tv\xE5";

TEST_F(GoldenFiles, CipherFilesWithEitherDecimalSeparator) {
    WriteOneField("cipher_point.crp", Kryptera(kClearText, kLineFeed, '.'));
    WriteOneField("cipher_comma.crp", Kryptera(kClearText, kLineFeed, ','));
    ExpectSame("cipher_point.crp");
    ExpectSame("cipher_comma.crp");

    InputFile in = OpenForInput(Path("cipher_comma.crp"), 1 << 20);
    EXPECT_EQ(Dekryptera(in.ReadField(), kLineFeed), kClearText);
    EXPECT_TRUE(in.AtEnd());
}

// Every code many times over, in an order that puts every kind of entry at
// every place of the inner loops' blocks: the cipher file is the same bytes
// whichever instruction set wrote it, and it decodes back on every one.
TEST_F(GoldenFiles, ALongCipherFileIsTheSameOnEveryMachine) {
    std::string clear;
    for (unsigned i = 0; i < 4096; ++i) clear += static_cast<char>((i * 167 + i / 256) & 0xFF);
    WriteOneField("cipher_long.crp", Kryptera(clear, kLineFeed, ','));
    ExpectSame("cipher_long.crp");

    InputFile in = OpenForInput(Path("cipher_long.crp"), 1 << 20);
    const std::string cipher = in.ReadField();
    EXPECT_EQ(Dekryptera(cipher, kLineFeed), clear);
    std::string crlf;
    for (char c : cipher) crlf += c == kLineFeed ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(Dekryptera(crlf, kLineFeed), clear);
}

TEST_F(GoldenFiles, FieldsKeepCommasAndLineFeedsAndGetCrLf) {
    WriteOneField("comma_and_line_feeds", "a,b\nc\n");
    WriteOneField("empty_field", "");
    ExpectSame("comma_and_line_feeds");
    ExpectSame("empty_field");
}

TEST_F(GoldenFiles, PasswordFilesAsStorePasswordWritesThem) {
    StorePassword({Path("numberone"), Path("id")}, "Hemligt \xE5\xE4\xF6");
    ExpectSame("numberone");
    ExpectSame("id");
}

TEST_F(GoldenFiles, RecordsAreLowByteFirstWithZeroesBetween) {
    RecordFile file = OpenForRecords(Path("records"));
    file.PutRecord(3, 0x1234);
    file.PutRecord(1, -2);
    file.Close();
    ExpectSame("records");
}

} // namespace
} // namespace tolvana::storage
