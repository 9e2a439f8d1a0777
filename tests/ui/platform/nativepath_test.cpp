// Paths between the windows and the file layer on POSIX systems: every name is
// kept byte for byte, and shown with its odd bytes visible.

#include "ui/platform/nativepath.h"

#include <gtest/gtest.h>

#include <random>

namespace tolvana::ui {
namespace {

TEST(NativePath, EveryNameMakesTheRoundTripByteForByte) {
    const std::string names[] = {"/tmp/r\xC3\xA4k.crp",
                                 "/tmp/r\xE4k.crp",
                                 "\xFF\xFE",
                                 "\xED\xB3\xA4",     // a surrogate's bytes
                                 "\xF0\x90\x82\x80", // U+10080: a pair
                                 "a\xC3",
                                 "\x80\xBF/\xC0\xAF"};
    for (const std::string& name : names) EXPECT_EQ(StoragePath(QtPath(name)), name);
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string name(random() % 12, '\0');
        for (char& c : name) c = static_cast<char>(random() % 255 + 1);
        ASSERT_EQ(StoragePath(QtPath(name)), name);
    }
    // UTF-8 names are Qt's own text.
    EXPECT_EQ(QtPath("/tmp/r\xC3\xA4k.crp"), QStringLiteral("/tmp/räk.crp"));
    EXPECT_EQ(StoragePath(QStringLiteral("/tmp/räk.crp")), "/tmp/r\xC3\xA4k.crp");
}

TEST(NativePath, MessagesShowTheBytesThatAreNotUtf8) {
    EXPECT_EQ(PathForDisplay(std::string("/tmp/r\xE4k.crp")), QStringLiteral("/tmp/r\\xE4k.crp"));
    EXPECT_EQ(PathForDisplay(QtPath("/tmp/r\xE4k.crp")), QStringLiteral("/tmp/r\\xE4k.crp"));
    EXPECT_EQ(PathForDisplay(QStringLiteral("/tmp/räk.crp")), QStringLiteral("/tmp/räk.crp"));
}

TEST(NativePath, FileUrlsNameTheirFilesAndOtherAddressesNone) {
    const auto path = [](const char* argument) {
        return StoragePath(FileNamedBy(QString::fromUtf8(argument)).path);
    };
    EXPECT_EQ(path("/tmp/x.crp"), "/tmp/x.crp");
    EXPECT_EQ(path("c:x.crp"), "c:x.crp"); // no scheme of one letter
    EXPECT_EQ(path("file:///tmp/r%E4k%20b.crp"), "/tmp/r\xE4k b.crp");
    EXPECT_EQ(path("file:/tmp/x.crp"), "/tmp/x.crp");
    EXPECT_EQ(path("file://localhost/tmp/x.crp#part"), "/tmp/x.crp");
    EXPECT_EQ(path("file:///tmp/100%.crp"), "/tmp/100%.crp");
    for (const char* address : {"file://elsewhere/tmp/x.crp", "http://example.com/x.crp"}) {
        const NamedFile named = FileNamedBy(QString::fromUtf8(address));
        EXPECT_TRUE(named.path.isEmpty()) << address;
        EXPECT_EQ(named.scheme, QString::fromUtf8(address).section(u':', 0, 0));
    }
}

} // namespace
} // namespace tolvana::ui
