// tolvana-cipher as scripts use it: run as a process with files, standard
// input and output, and its exit status.

#include "cipher/cipher.h"
#include "tests/tool/run_tool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Result = tolvana::testing::ToolResult;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A file name given in UTF-8, as the tool takes it on every platform.
fs::path Utf8Name(const std::string& name) {
    return fs::path(std::u8string(name.begin(), name.end()));
}

class CipherTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir = tolvana::testing::MakeTestFolder();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the tool with `arguments`, `input` on standard input, in `dir`,
    // under the C.UTF-8 locale unless `locale` names another, with at most
    // `addressSpace` bytes of address space when that is not 0.
    Result run(const std::vector<std::string>& arguments, const std::string& input = {},
               const char* locale = "C.UTF-8", std::uint64_t addressSpace = 0) {
        WriteFile(dir / ".in", input);
        Result result;
        result.status = tolvana::testing::RunTool(dir, arguments, locale, addressSpace);
        result.out = ReadFile(dir / ".out");
        result.err = ReadFile(dir / ".err");
        return result;
    }

    fs::path dir;
};

// "Hej då" with a line break, in UTF-8, and its cipher text with a decimal
// comma: å is code 229, so 351.
const std::string kClear = "Hej d\xC3\xA5\r\nrad";
const std::string kCipher = "\n115,5\n159\n166,5\n55,5\n157,5\n351\n27\n22,5\n178,5\n153\n157,5";

TEST_F(CipherTool, EncryptsAndDecryptsThroughStandardStreams) {
    Result encrypted = run({"kryptera", "-d", ","}, kClear);
    EXPECT_EQ(encrypted.status, 0) << encrypted.err;
    EXPECT_EQ(encrypted.out, kCipher);
    EXPECT_EQ(encrypted.err, "");

    Result decrypted = run({"dekryptera"}, encrypted.out);
    EXPECT_EQ(decrypted.status, 0) << decrypted.err;
    EXPECT_EQ(decrypted.out, kClear); // UTF-8 unless told otherwise

    // A decimal point is read as well as a comma; the C locale writes points.
    Result points = run({"kryptera"}, kClear);
    EXPECT_EQ(points.out.find(','), std::string::npos);
    EXPECT_EQ(run({"dekryptera", "-"}, points.out).out, kClear);
    EXPECT_EQ(run({"kryptera", "--decimal=."}, kClear, "C.UTF-8").out, points.out);
}

TEST_F(CipherTool, CodePageBytesInAndOut) {
    // The same text as one byte per character, as the Windows program has it.
    const std::string codes = "Hej d\xE5\r\nrad";
    EXPECT_EQ(run({"kryptera", "-d,", "-k", "cp1252"}, codes).out, kCipher);
    EXPECT_EQ(run({"dekryptera", "--kodning=cp1252"}, kCipher).out, codes);
    // Bytes that are not UTF-8 are code page text without being told.
    EXPECT_EQ(run({"kryptera", "-d,"}, codes).out, kCipher);
    Result refused = run({"kryptera", "-k", "utf-8"}, codes);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
}

// Standard input and output carry bytes, never text: no end of file at
// Ctrl+Z, no CR added before LF and none taken away, as in the C runtime's
// text mode on Windows.
TEST_F(CipherTool, StandardStreamsCarryEveryByte) {
    const std::string codes = "a\x1A"
                              "b\nc\r\nd\r";
    const Result encrypted = run({"kryptera", "-k", "cp1252"}, codes);
    EXPECT_EQ(encrypted.out, "\n153\n46.5\n154.5\n22.5\n156\n27\n22.5\n157.5\n27");
    EXPECT_EQ(run({"dekryptera", "-k", "cp1252"}, encrypted.out).out, codes);
}

// Names with å, ä and ö, and one with ł, which the Windows code page of a
// Swedish system lacks: the tool opens and names them as they were given.
TEST_F(CipherTool, FileNamesWithLettersBeyondAscii) {
    const std::string clear = "brev \xC3\xA5\xC3\xA4\xC3\xB6 \xC5\x82.txt"; // brev åäö ł.txt
    const std::string cipher = "chiffer \xC3\xB6.crp";                      // chiffer ö.crp
    WriteFile(dir / Utf8Name(clear), kClear);
    const Result saved = run({"kryptera", "-d,", "--text", clear, "-o", cipher});
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(ReadFile(dir / Utf8Name(cipher)), "\"" + kCipher + "\"\r\n");
    EXPECT_EQ(run({"dekryptera", cipher}).out, kClear);

    const Result missing = run({"dekryptera", "saknas \xC3\xA4.crp"});
    EXPECT_EQ(
        missing.err,
        "tolvana-cipher: saknas \xC3\xA4.crp: kan inte läsas: filen eller mappen finns inte\n");
}

TEST_F(CipherTool, CrpFilesAreOneQuotedFieldLine) {
    const std::string crp = "\"" + kCipher + "\"\r\n";
    Result saved = run({"kryptera", "-d,", "-o", "brev.crp"}, kClear);
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "");
    EXPECT_EQ(ReadFile(dir / "brev.crp"), crp);

    // Read back by name, by its first byte on standard input, or when told.
    EXPECT_EQ(run({"dekryptera", "brev.crp"}).out, kClear);
    EXPECT_EQ(run({"dekryptera"}, crp).out, kClear);
    WriteFile(dir / "brev.dat", crp);
    EXPECT_EQ(run({"dekryptera", "--crp", "brev.dat"}).out, kClear);
    // Only the first field counts, as in the program's open command.
    WriteFile(dir / "two.crp", crp + "\"\n55,5\"\r\n");
    EXPECT_EQ(run({"dekryptera", "two.crp"}).out, kClear);

    EXPECT_EQ(run({"kryptera", "-d,", "--crp"}, kClear).out, crp);
    EXPECT_EQ(run({"kryptera", "-d,", "--ren", "-o", "ren.crp"}, kClear).status, 0);
    EXPECT_EQ(ReadFile(dir / "ren.crp"), kCipher);
}

// The format follows the file that is made: on Windows "brev.crp." and
// "brev.crp " make brev.crp, which must then be a .crp file; elsewhere the
// name stays as typed, and is no .crp name. A ".crp" file that holds plain
// cipher text (an empty first field, then more) is said to be one, with the
// way to read it, instead of giving an empty text in silence.
TEST_F(CipherTool, TheFormatFollowsTheFileMadeAndAPlainCrpIsNamed) {
    for (const std::string typed : {"brev.crp.", "brev.crp "}) {
        Result saved = run({"kryptera", "-d,", "-o", typed}, kClear);
        ASSERT_EQ(saved.status, 0) << saved.err;
        if (fs::exists(dir / "brev.crp")) { // the system dropped the ending
            EXPECT_EQ(ReadFile(dir / "brev.crp"), "\"" + kCipher + "\"\r\n") << typed;
            EXPECT_EQ(run({"dekryptera", "brev.crp"}).out, kClear);
            fs::remove(dir / "brev.crp");
        } else {
            EXPECT_EQ(ReadFile(dir / typed), kCipher) << typed;
            fs::remove(dir / typed);
        }
    }

    WriteFile(dir / "ren.crp", kCipher);
    Result plain = run({"dekryptera", "ren.crp"});
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.out, "");
    EXPECT_NE(plain.err.find("ren.crp inneh\xC3\xA5ller ingen Tolvana-text i b\xC3\xB6rjan"),
              std::string::npos)
        << plain.err;
    EXPECT_NE(plain.err.find("--ren"), std::string::npos);
    EXPECT_EQ(run({"dekryptera", "--ren", "ren.crp"}).out, kClear);
    // An empty text that the program saved is still an empty text.
    WriteFile(dir / "tom.crp", "\"\"\r\n\r\n");
    Result empty = run({"dekryptera", "tom.crp"});
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "");
}

TEST_F(CipherTool, TextFilesAreReadAsTheImportReadsThem) {
    // Fields run together: no comma, no blank before a field, no line end.
    WriteFile(dir / "brev.TXT", "Hej, d\xC3\xA5\r\n\"rad\"\r\n");
    Result imported = run({"kryptera", "-d,", "brev.TXT"});
    EXPECT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(run({"dekryptera"}, imported.out).out, "Hejd\xC3\xA5rad");

    // UTF-16 with its byte-order mark, read as the whole text with --text.
    const std::string utf16 = std::string("\xFF\xFE", 2) + std::string("H\0e\0j\0,\0 \0\xE5\0", 12);
    WriteFile(dir / "utf16.txt", utf16);
    Result whole = run({"kryptera", "--text", "utf16.txt"});
    EXPECT_EQ(run({"dekryptera"}, whole.out).out, "Hej, \xC3\xA5");
    // Standard input is taken whole unless --import is given.
    EXPECT_EQ(run({"dekryptera"}, run({"kryptera"}, "a, b").out).out, "a, b");
    EXPECT_EQ(run({"dekryptera"}, run({"kryptera", "-i"}, "a, b").out).out, "ab");
}

TEST_F(CipherTool, ErrorsNameTheTokenAndLineAndLeaveNoOutput) {
    WriteFile(dir / "old.txt", "earlier");
    Result bad = run({"dekryptera", "-o", "old.txt"}, "\n115,5\nabc\n159");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "tolvana-cipher: standard in: Den krypterade texten kan inte dekrypteras: "
                       "\"abc\" på rad 3 är inget tal.\n");
    EXPECT_EQ(ReadFile(dir / "old.txt"), "earlier");
    EXPECT_EQ(bad.out, "");

    WriteFile(dir / "bad.crp", "\"\n115,5\n1000\"\r\n");
    Result notACode = run({"dekryptera", "bad.crp", "-o", "new.txt"});
    EXPECT_EQ(notACode.status, 1);
    EXPECT_EQ(notACode.err, "tolvana-cipher: bad.crp: Den krypterade texten kan inte dekrypteras: "
                            "talet \"1000\" på rad 3 motsvarar inget tecken.\n");
    EXPECT_FALSE(fs::exists(dir / "new.txt"));
    // Nothing else is left in the folder: no temporary file either.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5);

    Result unmappable = run({"kryptera"}, "ok\n\xC5\x82");
    EXPECT_EQ(unmappable.status, 1);
    EXPECT_EQ(unmappable.err, "tolvana-cipher: standard in: Texten kan inte krypteras: tecknet "
                              "\"\xC5\x82\" (U+0142) på rad 2 finns inte i teckentabellen.\n");
    EXPECT_EQ(unmappable.out, "");

    Result missing = run({"dekryptera", "saknas.crp"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err,
              "tolvana-cipher: saknas.crp: kan inte läsas: filen eller mappen finns inte\n");
    // A name that is not UTF-8 is shown with its odd byte visible.
    if (tolvana::testing::NamesAreBytes()) {
        EXPECT_EQ(
            run({"dekryptera", "s\xE5knas.crp"}).err,
            "tolvana-cipher: s\\xE5knas.crp: kan inte läsas: filen eller mappen finns inte\n");
    }
}

// Standard output that cannot take the result: the tool says why, in the
// catalogue's words, and fails. Where the system has a full device.
TEST_F(CipherTool, StandardOutputThatFailsIsReported) {
    const fs::path full = "/dev/full"; // not absolute on Windows, which has none
    if (!full.is_absolute() || !fs::is_character_file(full)) GTEST_SKIP() << "no /dev/full";
    WriteFile(dir / ".in", kClear);
    fs::create_symlink(full, dir / ".out");
    EXPECT_EQ(tolvana::testing::RunTool(dir, {"kryptera"}, "C.UTF-8"), 1);
    fs::remove(dir / ".out");
    EXPECT_EQ(ReadFile(dir / ".err"),
              "tolvana-cipher: standard ut kan inte skrivas: disken är full\n");
}

// Large cipher texts are decoded in two halves at once; the result and the
// line of an error must be those of the whole text.
TEST_F(CipherTool, LargeTextsDecodeAsAWhole) {
    std::string repeated;
    auto times = [](const std::string& piece, std::size_t n) {
        std::string all;
        all.reserve(piece.size() * n);
        for (std::size_t i = 0; i < n; ++i) all += piece;
        return all;
    };
    constexpr std::size_t kHalf = 800'000; // tokens of "\n105" (A): over 6 MB in all
    // "32" before a separator is a space and at the end of a text a number:
    // the middle is all "32", so the halves must not be cut there.
    // A file is read and decoded a piece of about 1 MB at a time: a stretch of
    // "32" longer than a piece cannot be cut either.
    for (const std::string& middle : {std::string("\n32"), std::string("\r\n32")}) {
        for (std::size_t spaces : {1000, 700'000}) {
            const std::string cipher =
                times("\n105", kHalf) + times(middle, spaces) + times("\n105", kHalf);
            WriteFile(dir / "big.txt", cipher);
            Result result = run({"dekryptera", "big.txt"});
            ASSERT_EQ(result.status, 0) << result.err;
            EXPECT_EQ(result.out,
                      std::string(kHalf, 'A') + std::string(spaces, ' ') + std::string(kHalf, 'A'));
        }
    }

    // A large clear text is encoded on both processors, a piece at a time;
    // the pieces come out in order.
    std::string clear(5'000'000, '\0');
    for (std::size_t i = 0; i < clear.size(); ++i) clear[i] = static_cast<char>(i * 7919 >> 3);
    WriteFile(dir / "clear.bin", clear);
    const Result encrypted = run({"kryptera", "-k", "cp1252", "-d", ",", "clear.bin"});
    ASSERT_EQ(encrypted.status, 0) << encrypted.err;
    EXPECT_TRUE(encrypted.out == tolvana::Kryptera(clear, tolvana::kLineFeed, ','));

    // A bad token in the second half, and then one in each half.
    const std::string good = times("\n105", kHalf);
    WriteFile(dir / "bad.txt", good + good + "\nx");
    Result late = run({"dekryptera", "bad.txt", "-o", "out.txt"});
    EXPECT_EQ(late.status, 1);
    EXPECT_NE(late.err.find("\"x\" på rad " + std::to_string(2 * kHalf + 2) + " är inget tal."),
              std::string::npos)
        << late.err;
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
    WriteFile(dir / "bad.txt", "\ny" + good + good + "\nx");
    EXPECT_NE(run({"dekryptera", "bad.txt"}).err.find("\"y\" på rad 2 är inget tal."),
              std::string::npos);
}

// Short of memory at any point, on one thread or two, the tool says so in the
// window's words and exits with 1, writing nothing; it never aborts.
TEST_F(CipherTool, AWantOfMemoryIsReportedWhereverItStrikes) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer needs more address space than any limit here allows";
#else
    if (!tolvana::testing::CanLimitAddressSpace())
        GTEST_SKIP() << "this system sets no limit on a process's address space";
    // 4,000,000 characters: over 4 MB of cipher text, which is decoded on
    // both processors.
    std::string clear;
    for (int i = 0; i < 4'000'000; ++i) clear += "abcdefghij klmnop\xE5\xE4\xF6\n"[i * 7 % 21];
    WriteFile(dir / "r.txt", clear);
    ASSERT_EQ(run({"kryptera", "-k", "cp1252", "-t", "r.txt", "-o", "r.cip"}).status, 0);
    const std::string message = "tolvana-cipher: Minnet r\xC3\xA4"
                                "ckte inte till, s\xC3\xA5 kommandot avbr\xC3\xB6ts.\n";
    int succeeded = 0, refused = 0;
    for (std::uint64_t megabytes = 8; megabytes <= 96; megabytes += 4) {
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"dekryptera", "-k", "cp1252", "r.cip"},
              std::vector<std::string>{"dekryptera", "r.cip", "-o", "out.txt"},
              std::vector<std::string>{"kryptera", "-k", "cp1252", "-t", "r.txt"}}) {
            SCOPED_TRACE(command[0] + " " + command.back() + " with " + std::to_string(megabytes) +
                         " MB");
            // An earlier run that had memory enough leaves its file; where
            // memory runs short near the limit depends on the threads' race.
            fs::remove(dir / "out.txt");
            const Result result = run(command, {}, "C.UTF-8", megabytes << 20);
            if (result.status == 0) {
                ++succeeded;
                EXPECT_EQ(result.err, "");
                if (command[0] == "dekryptera" && command.back() == "r.cip") {
                    EXPECT_EQ(result.out, clear);
                }
            } else {
                ++refused;
                EXPECT_EQ(result.status, 1);
                EXPECT_EQ(result.err, message);
                EXPECT_EQ(result.out, "");
                if (command.back() == "out.txt") {
                    EXPECT_FALSE(fs::exists(dir / "out.txt"));
                }
            }
        }
    }
    // The range runs from too little for anything to enough for all.
    EXPECT_GT(refused, 0);
    EXPECT_GT(succeeded, 0);
#endif
}

TEST_F(CipherTool, CommandLineMistakesExitWithTwo) {
    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{},
                                               {"koda"},
                                               {"kryptera", "--färg"},
                                               {"kryptera", "a", "b"},
                                               {"kryptera", "-d", ";"},
                                               {"kryptera", "-o"},
                                               {"dekryptera", "-k", "latin1"}}) {
        Result result = run(wrong);
        EXPECT_EQ(result.status, 2) << result.err;
        EXPECT_NE(result.err.find("Se \"tolvana-cipher --help\"."), std::string::npos);
        EXPECT_EQ(result.out, "");
    }
    Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Användning: tolvana-cipher kryptera", 0), 0u);
    EXPECT_EQ(run({"kryptera", "-V"}).out, "tolvana-cipher 1.0.0\n");
}

} // namespace

// An output file that is the input, under its own name or another one, is
// refused before anything is written: the input would be replaced by what was
// made of it and be lost for good.
TEST_F(CipherTool, TheOutputIsNeverTheInput) {
    const std::string refusal = "utfilen är samma fil som infilen";
    WriteFile(dir / "brev.txt", "Hej, du\r\n");
    WriteFile(dir / "brev.crp", "\"\n115,5\"\r\n");
    fs::create_hard_link(dir / "brev.txt", dir / "samma.txt");
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"kryptera", "brev.txt", "-o", "brev.txt"},
             {"kryptera", "brev.txt", "-o", "./samma.txt"},
             {"dekryptera", "brev.crp", "--ut=brev.crp"},
             {"kryptera", "-o", ".in"}}) { // standard input is the file .in
        SCOPED_TRACE(arguments.back());
        Result result = run(arguments, "Hej");
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(refusal), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(ReadFile(dir / "brev.txt"), "Hej, du\r\n");
    EXPECT_EQ(ReadFile(dir / "brev.crp"), "\"\n115,5\"\r\n");
    EXPECT_EQ(ReadFile(dir / ".in"), "Hej");
}

// A save that fails speaks of an earlier file only where there was one.
TEST_F(CipherTool, AFailedSaveSpeaksOfAnEarlierFileOnlyWhereOneWas) {
    const std::string earlier = "en tidigare fil med samma namn är oförändrad";
    fs::create_directory(dir / "mapp.crp");
    for (const char* name : {"saknas/brev.crp", "mapp.crp"}) {
        Result result = run({"kryptera", "-o", name}, "Hej");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.find(earlier), std::string::npos) << result.err;
    }
}

// Under the user's file size limit the tool says so and exits 1, where the
// limit's signal would have ended it without a word; the old file stays.
TEST_F(CipherTool, TheFileSizeLimitIsToldInWords) {
    WriteFile(dir / "brev.crp", "\"old\"\r\n");
    WriteFile(dir / "brev.txt", std::string(200000, 'a'));
    if (!tolvana::testing::LimitFileSize(65536)) GTEST_SKIP() << "no file size limit here";
    Result toFile = run({"kryptera", "brev.txt", "-o", "brev.crp"});
    Result toStream = run({"kryptera", "brev.txt"});
    tolvana::testing::LimitFileSize(0);
    EXPECT_EQ(toFile.status, 1);
    EXPECT_NE(toFile.err.find("filen blir större än vad systemet tillåter"), std::string::npos)
        << toFile.err;
    EXPECT_EQ(ReadFile(dir / "brev.crp"), "\"old\"\r\n");
    EXPECT_EQ(toStream.status, 1);
    EXPECT_NE(toStream.err.find("filen blir större än vad systemet tillåter"), std::string::npos)
        << toStream.err;
    // Nothing but the two files and the streams' three.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5);
}

// A link to a file that is gone is told as such, with where it points.
TEST_F(CipherTool, ABrokenLinkNamesWhereItPoints) {
    std::error_code refused;
    fs::create_symlink(dir / "flyttad.crp", dir / "brev.crp", refused);
    if (refused) GTEST_SKIP() << "no symbolic links here: " << refused.message();
    Result result = run({"dekryptera", "brev.crp"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("brev.crp: kan inte läsas: det är en länk till "), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("flyttad.crp, som inte finns"), std::string::npos) << result.err;
}

// The tool's own words follow the character set of the user's locale: under a
// locale of plain ASCII no byte of UTF-8 reaches the terminal, and what the
// set lacks is a readable stand-in. Texts are written as documented still.
TEST_F(CipherTool, MessagesFollowTheLocalesCharacterSet) {
    if (!tolvana::testing::LocaleNamesTheCharacterSet()) GTEST_SKIP() << "no locale to follow";
    Result missing = run({"dekryptera", "saknas.crp"}, {}, "C");
    EXPECT_EQ(missing.err, "tolvana-cipher: saknas.crp: kan inte lasas: filen eller mappen finns "
                           "inte\n");
    Result help = run({"--help"}, {}, "C");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.find_first_of("\x80\xC3"), std::string::npos);
    EXPECT_NE(help.out.find("tolvana-cipher"), std::string::npos);
    EXPECT_EQ(run({"dekryptera"}, kCipher, "C").out, kClear);
}
