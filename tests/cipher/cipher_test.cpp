#include "cipher/cipher.h"
#include "cipher/kernels.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace tolvana {
namespace {

std::string AllCodes() {
    std::string codes;
    for (int c = 0; c < 256; ++c) codes += static_cast<char>(c);
    return codes;
}

// Runs both the fast and the exact decoder and checks that they agree,
// including on which token fails and where.
std::string DecodeBoth(std::string_view cipher) {
    std::string fast, slow;
    std::string fastError, slowError;
    try {
        fast = Dekryptera(cipher, kLineFeed);
    } catch (const DecodeError& e) {
        fastError = e.token() + "@" + std::to_string(e.line());
    }
    try {
        slow = exact::Dekryptera(cipher, kLineFeed);
    } catch (const DecodeError& e) {
        slowError = e.token() + "@" + std::to_string(e.line());
    }
    EXPECT_EQ(fast, slow);
    EXPECT_EQ(fastError, slowError);
    if (!fastError.empty()) throw std::runtime_error(fastError);
    return fast;
}

class BothDecimals : public ::testing::TestWithParam<char> {};
INSTANTIATE_TEST_SUITE_P(Cipher, BothDecimals, ::testing::Values(',', '.'));

TEST_P(BothDecimals, EncodesTheTellingRows) {
    const char d = GetParam();
    const std::string half = std::string(1, d) + "5";
    const std::pair<int, std::string> rows[] = {
        {0, "7" + half},     {1, "9"},     {10, "22" + half},   {13, "27"},
        {32, "55" + half},   {97, "153"},  {98, "154" + half},  {99, "156"},
        {228, "349" + half}, {229, "351"}, {246, "376" + half}, {255, "390"},
    };
    for (const auto& [code, text] : rows) {
        std::string clear(1, static_cast<char>(code));
        EXPECT_EQ(Kryptera(clear, kLineFeed, d), "\n" + text) << code;
        EXPECT_EQ(exact::Kryptera(clear, kLineFeed, d), "\n" + text) << code;
    }
    EXPECT_EQ(Kryptera("abc", kLineFeed, d), "\n153\n154" + half + "\n156");
    EXPECT_EQ(Kryptera("abc", kLineFeed, d).size(), 14u);
    EXPECT_EQ(Kryptera("", kLineFeed, d), "");
}

TEST_P(BothDecimals, NeverWritesThirtyTwoAndOneSeparatorPerCharacter) {
    const std::string cipher = Kryptera(AllCodes(), kLineFeed, GetParam());
    EXPECT_EQ(std::count(cipher.begin(), cipher.end(), '\n'), 256);
    EXPECT_EQ(cipher.find("\n32\n"), std::string::npos);
    EXPECT_EQ(cipher.front(), '\n');
    EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(cipher.back())));
}

TEST_P(BothDecimals, AllCodesMakeTheRoundTrip) {
    const std::string codes = AllCodes();
    const std::string cipher = Kryptera(codes, kLineFeed, GetParam());
    EXPECT_EQ(cipher, exact::Kryptera(codes, kLineFeed, GetParam()));
    EXPECT_EQ(DecodeBoth(cipher), codes);
}

TEST_P(BothDecimals, CipherTextDecodesUnderTheOtherSeparatorToo) {
    // A cipher text written with one separator reads back whatever the reader's
    // own separator is, since both are always accepted.
    const std::string clear = "r\xE4ksm\xF6rg\xE5s"; // code page letters
    const std::string cipher = Kryptera(clear, kLineFeed, GetParam());
    EXPECT_EQ(DecodeBoth(cipher), clear);
}

TEST(Kryptera, EncodesLongTextsWhole) {
    std::mt19937 random(7);
    std::string clear(100'000, '\0');
    for (char& c : clear) c = static_cast<char>(random());
    const std::string cipher = Kryptera(clear, kLineFeed, ',');
    EXPECT_EQ(cipher, exact::Kryptera(clear, kLineFeed, ','));
    EXPECT_EQ(std::count(cipher.begin(), cipher.end(), '\n'), 100'000);
    EXPECT_EQ(DecodeBoth(cipher), clear);
}

TEST(Kryptera, WritesAnyOtherDecimalSeparator) {
    EXPECT_EQ(Kryptera("ab", kLineFeed, '\''), "\n153\n154'5");
    EXPECT_EQ(Kryptera("ab", kLineFeed, ','), "\n153\n154,5"); // the shared tables are untouched
}

TEST(Dekryptera, DecodesTheWorkedExamples) {
    EXPECT_EQ(DecodeBoth("\n153\n154,5\n156"), "abc");
    EXPECT_EQ(DecodeBoth("153\n154,5\n156"), "abc");
    EXPECT_EQ(DecodeBoth("\n153\n\n154.5\n\n\n156"), "abc");
    EXPECT_EQ(DecodeBoth(""), "");
    EXPECT_EQ(DecodeBoth("55,5"), " ");
    EXPECT_EQ(DecodeBoth("9"), "\x01");
}

TEST(Dekryptera, HasARuleOfItsOwnForThirtyTwo) {
    EXPECT_EQ(DecodeBoth("\n32\n153"), " a");
    EXPECT_EQ(DecodeBoth("32\n32\n153"), "  a");
    // At the very end "32" goes through the arithmetic: 16.333... rounds to 16.
    EXPECT_EQ(DecodeBoth("\n153\n32"), "a\x10");
    // Separators at the end are ignored, so "32" is still the last token there.
    EXPECT_EQ(DecodeBoth("\n153\n32\n\n"), "a\x10");
    // Only the exact text "32" is special.
    EXPECT_EQ(DecodeBoth("\n032\n153"), std::string("\x10") + "a");
    EXPECT_EQ(DecodeBoth("\n32,0\n153"), std::string("\x10") + "a");
}

TEST(Dekryptera, RoundsTokensTheEncoderNeverWrites) {
    EXPECT_EQ(DecodeBoth("154"), "b");    // y = 97.666...
    EXPECT_EQ(DecodeBoth("153,75"), "b"); // y = 97.5, half to even
    EXPECT_EQ(DecodeBoth("155,25"), "b"); // y = 98.5, half to even
    EXPECT_EQ(DecodeBoth("0153"), "a");
    EXPECT_EQ(DecodeBoth("153,0"), "a");
    EXPECT_EQ(DecodeBoth("153."), "a");
    EXPECT_EQ(DecodeBoth("7,50000000000000000001"), std::string(1, '\0'));
    EXPECT_EQ(DecodeBoth("6,75"), std::string(1, '\0')); // y = -0.5 rounds to 0
}

TEST(Dekryptera, IgnoresBlanksAroundNumbersAndSeparatorsAtTheEnd) {
    EXPECT_EQ(DecodeBoth("153\r\n154,5\r\n156\r\n"), "abc");
    EXPECT_EQ(DecodeBoth(" \t153 \n 156\t"), "ac");
    EXPECT_EQ(DecodeBoth("\n153\n"), "a");
    EXPECT_EQ(DecodeBoth("\n"), "");
    EXPECT_EQ(DecodeBoth("\n\n\n"), "");
}

// Cipher text whose line feeds became CR LF (a Windows editor, a text-mode
// transfer), or that holds blank lines, decodes to exactly the same text.
TEST_P(BothDecimals, CrLfLineEndsAndBlankLinesDecodeExactly) {
    const std::string codes = AllCodes();
    const std::string cipher = Kryptera(codes, kLineFeed, GetParam());
    std::string crlf;
    for (char c : cipher) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(DecodeBoth(crlf), codes);
    EXPECT_EQ(DecodeBoth(crlf + "\r\n"), codes);
    EXPECT_EQ(DecodeBoth(crlf + "\r\n\r"), codes);

    std::string spaced; // a blank, a tab, a CR or nothing on a line of its own
    const char* const blanks[] = {" ", "\t", "\r", "", " \r"};
    std::size_t i = 0;
    for (char c : cipher) {
        if (c == '\n')
            spaced += "\n" + std::string(blanks[i++ % std::size(blanks)]) + "\n";
        else
            spaced += c;
    }
    EXPECT_EQ(DecodeBoth(spaced), codes);
}

TEST(Dekryptera, EmptyLinesAndTheThirtyTwoRuleWithCrLf) {
    EXPECT_EQ(DecodeBoth("\r\n153\r\n154,5\r\n156"), "abc");
    EXPECT_EQ(DecodeBoth("\r"), "");
    EXPECT_EQ(DecodeBoth(" \r"), "");
    EXPECT_EQ(DecodeBoth("\r\n \r\n\t\n"), "");
    EXPECT_EQ(DecodeBoth("153\n \n156"), "ac");
    EXPECT_EQ(DecodeBoth("\r\n32\r\n153\r\n"), " a"); // the CR belongs to the line end
    EXPECT_EQ(DecodeBoth("\n153\r\n32\r"), "a\x10");  // at the very end: arithmetic
    EXPECT_EQ(DecodeBoth("\n32 \n153"), "\x10"
                                        "a"); // a blank is no line end
}

TEST(Dekryptera, RejectsWhatIsNotANumberAndNamesWhere) {
    struct Case {
        std::string cipher, token;
        std::size_t line;
        DecodeFailure::Reason reason;
    };
    using R = DecodeFailure::Reason;
    const Case cases[] = {
        {"\n153\nabc\n156", "abc", 3, R::NotANumber},
        {"\n153\n1 53", "1 53", 3, R::NotANumber},
        {"153,5,5", "153,5,5", 1, R::NotANumber},
        {"\n\n1e2", "1e2", 3, R::NotANumber},
        {"inf", "inf", 1, R::NotANumber},
        {"nan", "nan", 1, R::NotANumber},
        {"0x99", "0x99", 1, R::NotANumber},
        {"1.153,5", "1.153,5", 1, R::NotANumber},
        {"-153", "-153", 1, R::NotANumber},
        {"+153", "+153", 1, R::NotANumber},
        {",", ",", 1, R::NotANumber},
        {"\r\n153\r\nx\r\n", "x\r", 3, R::NotANumber},
        {std::string(1, '\0'), std::string(1, '\0'), 1, R::NotANumber},
        {std::string("9\0", 2), std::string("9\0", 2), 1, R::NotANumber},
        {std::string("\n153\n9\0\n153\n153", 15), std::string("9\0", 2), 3, R::NotANumber},
        {"\n153\n0", "0", 3, R::NotACode},    // code -5
        {"\n391,5", "391,5", 2, R::NotACode}, // code 256
        {"6,74", "6,74", 1, R::NotACode},     // rounds to -1
        {std::string(400, '9'), std::string(400, '9'), 1, R::NotACode},
        {"99999999999999", "99999999999999", 1, R::NotACode},
    };
    for (const Case& c : cases) {
        using Decoder = std::string (*)(std::string_view, char);
        for (Decoder decode : {Decoder{&Dekryptera}, Decoder{&exact::Dekryptera}}) {
            try {
                decode(c.cipher, kLineFeed);
                ADD_FAILURE() << "decoded: " << c.cipher;
            } catch (const DecodeError& e) {
                EXPECT_EQ(e.token(), c.token) << c.cipher;
                EXPECT_EQ(e.line(), c.line) << c.cipher;
                EXPECT_EQ(e.reason(), c.reason) << c.cipher;
            }
        }
    }
}

TEST(Dekryptera, FastPathAgreesWithArithmeticOnMixedTexts) {
    // Canonical and non-canonical tokens, empty lines and blanks in random
    // order, so the word-at-a-time path starts and stops everywhere.
    const std::string pieces[] = {"153",   "154,5",  "154.5",     "7,5",   "390",  "0153",
                                  "153,0", "154",    " 156\r",    "32",    "",     "9",
                                  "349,5", "155,25", "22.5",      "153\r", "\r",   " ",
                                  "32\r",  " \r\t",  "154,5\r\r", "\t",    "390\r"};
    std::mt19937 random(11);
    for (int round = 0; round < 2000; ++round) {
        std::string cipher;
        const int tokens = static_cast<int>(random() % 40);
        for (int t = 0; t < tokens; ++t) cipher += "\n" + pieces[random() % std::size(pieces)];
        EXPECT_EQ(Dekryptera(cipher, kLineFeed), exact::Dekryptera(cipher, kLineFeed)) << cipher;
    }
}

TEST(Dekryptera, FastPathAgreesWithArithmeticOnEveryShortToken) {
    // Every token of up to 6 characters drawn from the digits and both decimal
    // separators, alone and between separators.
    const std::string alphabet = "0123456789,.";
    std::string token;
    std::size_t checked = 0;
    auto visit = [&](auto&& self, std::size_t length) -> void {
        if (length > 0) {
            for (const std::string& cipher :
                 {token, "\n" + token + "\n9", "\r\n" + token + "\r\n9"}) {
                DecodeFailure fastFailure, slowFailure;
                auto fast = Dekryptera(cipher, kLineFeed, fastFailure);
                auto slow = exact::Dekryptera(cipher, kLineFeed, slowFailure);
                ASSERT_EQ(fast, slow) << cipher;
                ASSERT_EQ(fastFailure.reason, slowFailure.reason) << cipher;
                ++checked;
            }
        }
        if (length == 6) return;
        for (char c : alphabet) {
            token.push_back(c);
            self(self, length + 1);
            token.pop_back();
        }
    };
    visit(visit, 0);
    EXPECT_GT(checked, 6'000'000u);
}

// Every instruction set this processor can run, each against the exact path:
// the same cipher text, the same clear text, the same failing token and line.
class EveryKernel : public ::testing::TestWithParam<const kernels::Kernels*> {
protected:
    void ExpectSameDecoding(std::string_view cipher, char separator = kLineFeed) const {
        DecodeFailure fastFailure, exactFailure;
        const auto fast = kernels::Dekryptera(*GetParam(), cipher, separator, fastFailure);
        const auto slow = exact::Dekryptera(cipher, separator, exactFailure);
        ASSERT_EQ(fast.has_value(), slow.has_value()) << Shown(cipher);
        if (fast) {
            ASSERT_EQ(*fast, *slow) << Shown(cipher);
        } else {
            ASSERT_EQ(fastFailure.reason, exactFailure.reason) << Shown(cipher);
            ASSERT_EQ(fastFailure.token, exactFailure.token) << Shown(cipher);
            ASSERT_EQ(fastFailure.line, exactFailure.line) << Shown(cipher);
        }
    }

    static std::string Shown(std::string_view text) {
        std::string shown;
        for (char c : text.substr(0, 400))
            shown += c == '\n'   ? std::string("\\n")
                     : c == '\r' ? std::string("\\r")
                                 : std::string(1, c);
        return shown;
    }
};
INSTANTIATE_TEST_SUITE_P(Cipher, EveryKernel, ::testing::ValuesIn(kernels::Available()),
                         [](const auto& info) { return std::string(info.param->name); });

TEST_P(EveryKernel, EncodesAsTheExactPathAtEveryLength) {
    std::mt19937 random(5);
    std::string clear;
    for (std::size_t length = 0; length < 300; ++length) {
        for (char decimal : {',', '.', '\''}) {
            ASSERT_EQ(kernels::Kryptera(*GetParam(), clear, kLineFeed, decimal),
                      exact::Kryptera(clear, kLineFeed, decimal))
                << length;
        }
        ASSERT_EQ(kernels::Kryptera(*GetParam(), clear, '\t', ','),
                  exact::Kryptera(clear, '\t', ','));
        clear += static_cast<char>(random());
    }
    // Pieces of the result are made one after the other: a long text crosses
    // many of them.
    clear.resize(50'000);
    for (char& c : clear) c = static_cast<char>(random());
    EXPECT_EQ(kernels::Kryptera(*GetParam(), clear, kLineFeed, ','),
              exact::Kryptera(clear, kLineFeed, ','));
}

// Into a string that held another result before, longer or shorter, as a
// caller encoding piece after piece uses it: nothing of the old is left.
TEST_P(EveryKernel, EncodesOverWhatTheStringHeld) {
    std::mt19937 random(9);
    std::string cipher;
    for (std::size_t length : {3000, 2990, 3000, 1, 0, 5000, 4000, 4001, 60}) {
        std::string clear(length, '\0');
        for (char& c : clear) c = static_cast<char>(random());
        kernels::Kryptera(*GetParam(), clear, kLineFeed, ',', cipher);
        ASSERT_EQ(cipher, exact::Kryptera(clear, kLineFeed, ',')) << length;
    }
}

TEST_P(EveryKernel, CountsTheSizeOfEveryEntry) {
    // One code at a time, and every code in runs long enough for the
    // counting loops' rounds to end and start again.
    for (char decimal : {',', '.'}) {
        for (int code = 0; code < 256; ++code) {
            const std::string one(1, static_cast<char>(code)), run(5000, static_cast<char>(code));
            ASSERT_EQ(kernels::Kryptera(*GetParam(), one, kLineFeed, decimal).size(),
                      exact::Kryptera(one, kLineFeed, decimal).size());
            ASSERT_EQ(kernels::Kryptera(*GetParam(), run, kLineFeed, decimal),
                      exact::Kryptera(run, kLineFeed, decimal))
                << code;
        }
    }
}

// Each kind of token that the fast loops must hand to the slow path, put at
// every place relative to their 64-byte blocks and to the end of the text.
TEST_P(EveryKernel, HandsEveryOtherTokenToTheSlowPathWhereverItStands) {
    const std::string odd[] = {
        "\r\n",
        "\n",
        " 153",
        "153 ",
        "\t153",
        "153\r\r",
        "32",
        "32\r",
        "032",
        "153,0",
        "154.50",
        "1000",
        "391,5",
        "6,74",
        "abc",
        "1e2",
        "-153",
        "153,5,5",
        std::string(1, '\0'),
        std::string("9\0", 2),
        "99999999",
        "153153153",
        std::string(70, '9'),
        "\r",
        " \r\t",
        "154",
        "153,75",
        "7,50",
        "0",
        ",",
        // Numbers the encoder never writes that still read as a code.
        "015",
        "09",
        "07,5",
        "010.5",
        "0009",
        "0,5",
        ",5",
        "5,",
        ".5\r",
    };
    std::mt19937 random(3);
    auto canonical = [&](std::size_t count) {
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            const auto code = static_cast<unsigned char>(random());
            text += kLineFeed + exact::NumberText(code * 1.5 + 7.5, (random() & 1) ? ',' : '.');
        }
        return text;
    };
    for (const std::string& token : odd) {
        for (std::size_t before = 0; before < 40; ++before) {
            std::string cipher = canonical(before);
            // Every byte offset within a block, and not only at token starts.
            cipher += std::string(random() % 3, '\n');
            cipher += kLineFeed + token;
            for (std::size_t after : {0, 1, 2, 17, 40}) {
                const std::string whole = cipher + canonical(after);
                ExpectSameDecoding(whole);
                ExpectSameDecoding(whole + "\n\n");
                ExpectSameDecoding(whole + "\r\n32");
                ExpectSameDecoding(whole.substr(1));
            }
        }
    }
}

TEST_P(EveryKernel, DecodesMixedTextsAsTheExactPath) {
    // Long texts of canonical, CR LF and odd tokens in random order, so the
    // fast loops start and stop at every place in their blocks.
    const std::string pieces[] = {"153",   "154,5",  "154.5",     "7,5",   "390",   "0153",
                                  "153,0", "154",    " 156\r",    "32",    "",      "9",
                                  "349,5", "155,25", "22.5",      "153\r", "\r",    " ",
                                  "32\r",  " \r\t",  "154,5\r\r", "\t",    "390\r", "388,5\r"};
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::string cipher;
        const int tokens = static_cast<int>(random() % 2000);
        // Mostly canonical, so that the fast loops run for a while.
        for (int t = 0; t < tokens; ++t)
            cipher += "\n" + (random() % 8 == 0 ? pieces[random() % std::size(pieces)]
                                                : pieces[random() % 5]);
        ExpectSameDecoding(cipher);
    }
}

TEST_P(EveryKernel, NamesTheLineOfAFailureFarIntoALongText) {
    std::string cipher;
    for (int i = 0; i < 100'000; ++i) cipher += i % 2 ? "\n153" : "\r\n154,5";
    ExpectSameDecoding(cipher);
    ExpectSameDecoding(cipher + "\nx" + cipher);
    ExpectSameDecoding(cipher + "\n\n\n1000\n" + cipher);
    EXPECT_EQ(
        kernels::Dekryptera(*GetParam(), cipher, kLineFeed, *std::make_unique<DecodeFailure>())
            ->size(),
        100'000u);
}

TEST(NumberText, WritesAtMostFifteenSignificantDigits) {
    EXPECT_EQ(exact::NumberText(16.0 + 1.0 / 3.0, ','), "16,3333333333333");
    EXPECT_EQ(exact::NumberText(154.5, '.'), "154.5");
    EXPECT_EQ(exact::NumberText(153, ','), "153");
}

// Any byte may be the separator; texts whose tokens mix the separator with
// digits, decimal separators and CRs must still decode as the exact path
// decodes them.
TEST_P(EveryKernel, DecodesAsTheExactPathWhateverTheSeparator) {
    std::mt19937 random(11);
    const std::string pieces[] = {"7,5", "9", "388,5", "390", "10.5", "\r",
                                  ",",   ".", "5",     "0",   "32"};
    for (char separator : {',', '.', '5', '0', '\r', ' ', '\0', 'x'}) {
        for (int round = 0; round < 200; ++round) {
            std::string cipher;
            for (int i = 0; i < 120; ++i) {
                cipher += random() % 4 ? separator : pieces[random() % std::size(pieces)][0];
                cipher += pieces[random() % std::size(pieces)];
            }
            ExpectSameDecoding(cipher, separator);
            if (HasFatalFailure()) return;
        }
    }
}

} // namespace
} // namespace tolvana
