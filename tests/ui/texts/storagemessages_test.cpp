#include "ui/texts/storagemessages.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tolvana::ui {
namespace {

using storage::StorageError;
using Reason = StorageError::Reason;
using Kind = StorageError::Kind;

TEST(StorageMessagesTest, ReadableSizes) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0 byte"},
        {1023, "1023 byte"},
        {1024, "1 kB"},
        {1536, "1,5 kB"},
        {10 * 1024 + 512, "11 kB"},
        {std::uint64_t{64} << 20, "64 MB"},
        {(std::uint64_t{64} << 20) + 1, "64 MB"},
        {std::uint64_t{30} << 30, "30 GB"},
        {(std::uint64_t{5} << 40) / 2, "2,5 TB"},
    };
    for (const auto& [bytes, text] : cases) EXPECT_EQ(ReadableSize(bytes), text) << bytes;
}

TEST(StorageMessagesTest, EveryReasonInSwedish) {
    const std::pair<Reason, const char*> cases[] = {
        {Reason::NoPermission, "behörighet saknas"},
        {Reason::DiskFull, "disken är full"},
        {Reason::ReadOnlyFileSystem, "filsystemet är skrivskyddat"},
        {Reason::NotFound, "filen eller mappen finns inte"},
        {Reason::IsFolder, "det är en mapp"},
        {Reason::NotRegularFile, "det är ingen vanlig fil"},
        {Reason::Other, "systemfel 71"},
    };
    for (const auto& [reason, text] : cases)
        EXPECT_EQ(StorageReason(StorageError(Kind::WriteFailed, "/x", reason, 71)),
                  QString::fromUtf8(text));

    EXPECT_EQ(StorageReason(StorageError::TooLarge("/x", std::uint64_t{30} << 30, 64 << 20)),
              QStringLiteral("filen är 30 GB stor, och högst 64 MB kan läsas in"));
    // Sizes that round alike are given exactly.
    EXPECT_EQ(StorageReason(StorageError::TooLarge("/x", (64 << 20) + 1, 64 << 20)),
              QStringLiteral("filen är 67 108 865 byte stor, och högst 67 108 864 byte kan läsas "
                             "in"));
}

} // namespace
} // namespace tolvana::ui
