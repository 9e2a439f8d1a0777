// Standard input, output and error as the file layer reads and writes them:
// pipes and files read to their end under a maximum, writes that go on and say
// why they fail.

#include "storage/platform.h"
#include "tests/storage/support.h"

#include <csignal>
#include <fcntl.h>
#include <thread>

namespace tolvana::storage {
namespace {

using platform::ReadStream;
using platform::WriteStream;
using testing::ExpectStorageError;
using testing::TempDir;
using testing::WriteBytes;
using Kind = StorageError::Kind;
using Reason = StorageError::Reason;

// A maximum far beyond any memory.
constexpr std::uint64_t kNoLimit = std::uint64_t{1} << 50;

// Every byte value, over and over: `size` bytes.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 256);
    return bytes;
}

// A pipe whose writing end a thread fills with `bytes` and closes.
class FilledPipe {
public:
    explicit FilledPipe(std::string bytes) : bytes_(std::move(bytes)) {
        if (::pipe(ends_) != 0) throw std::runtime_error("pipe failed");
        writer_ = std::thread([this] {
            std::string_view rest = bytes_;
            while (!rest.empty()) {
                const ssize_t n = ::write(ends_[1], rest.data(), rest.size());
                if (n <= 0) break; // the reader stopped early
                rest.remove_prefix(static_cast<std::size_t>(n));
            }
            ::close(ends_[1]);
        });
    }
    ~FilledPipe() {
        ::close(ends_[0]); // a writer still blocked gets EPIPE (SIGPIPE is ignored)
        writer_.join();
    }
    int fd() const { return ends_[0]; }

private:
    std::string bytes_;
    int ends_[2] = {-1, -1};
    std::thread writer_;
};

// SIGPIPE ignored for the test's time, as a program that wants EPIPE has it.
class NoSigpipe {
public:
    NoSigpipe() { old_ = std::signal(SIGPIPE, SIG_IGN); }
    ~NoSigpipe() { std::signal(SIGPIPE, old_); }

private:
    void (*old_)(int) = nullptr;
};

void ExpectTooLarge(int fd, std::uint64_t maximum, std::uint64_t size) {
    try {
        ReadStream(fd, maximum, "standard in");
        ADD_FAILURE() << "more than " << maximum << " bytes were taken";
    } catch (const StorageError& e) {
        EXPECT_EQ(e.reason(), Reason::TooLarge) << e.what();
        EXPECT_EQ(e.path(), "standard in");
        EXPECT_EQ(e.size(), size);
        EXPECT_EQ(e.maximum(), maximum);
    }
}

// A pipe gives no size: it is read to its end through more than the first
// buffer's room, up to its maximum exactly, and refused a byte beyond it. No
// room is made for a maximum that nothing fills.
TEST(Streams, PipesAreReadToTheirEndUnderAMaximum) {
    NoSigpipe ignored;
    const std::string bytes = Pattern((3 << 20) + 12345);
    for (const std::uint64_t maximum : {std::uint64_t{bytes.size()}, kNoLimit}) {
        FilledPipe pipe(bytes);
        EXPECT_EQ(ReadStream(pipe.fd(), maximum, "standard in"), bytes);
    }
    {
        FilledPipe pipe(bytes);
        ExpectTooLarge(pipe.fd(), bytes.size() - 1, bytes.size());
    }
    {
        FilledPipe pipe("");
        EXPECT_EQ(ReadStream(pipe.fd(), 0, "standard in"), "");
    }
}

// A file is read from where it stands, and one that holds too much is
// refused by its size before any of it is read.
TEST(Streams, FilesAreReadFromWhereTheyStand) {
    TempDir dir;
    WriteBytes(dir / "in", "skip" + Pattern(5000));
    const int fd = ::open((dir / "in").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::lseek(fd, 4, SEEK_SET), 4);
    EXPECT_EQ(ReadStream(fd, 5000, "standard in"), Pattern(5000));
    ASSERT_EQ(::lseek(fd, 4, SEEK_SET), 4);
    EXPECT_EQ(ReadStream(fd, kNoLimit, "standard in"), Pattern(5000));
    ::close(fd);

    const std::uint64_t huge = std::uint64_t{30} << 30;
    { std::ofstream create(dir / "huge"); }
    std::filesystem::resize_file(dir / "huge", huge); // sparse
    const int big = ::open((dir / "huge").c_str(), O_RDONLY);
    ASSERT_GE(big, 0);
    ASSERT_EQ(::lseek(big, 1000, SEEK_SET), 1000);
    ExpectTooLarge(big, 1 << 20, huge - 1000);
    EXPECT_EQ(::lseek(big, 0, SEEK_CUR), 1000); // nothing was read
    ::close(big);
}

// Everything written arrives, through a pipe far smaller than the bytes, and
// a write that fails says why.
TEST(Streams, WritesGoOnToTheEndAndSayWhyTheyFail) {
    NoSigpipe ignored;
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    std::string arrived;
    std::thread reader([&] {
        char buffer[4096];
        for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
            arrived.append(buffer, static_cast<std::size_t>(n));
    });
    const std::string bytes = Pattern(4 << 20);
    WriteStream(ends[1], bytes, "standard ut");
    ::close(ends[1]);
    reader.join();
    EXPECT_EQ(arrived, bytes);

    // Nobody reads the pipe any more.
    ::close(ends[0]);
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    ExpectStorageError([&] { WriteStream(ends[1], "x", "standard ut"); }, Kind::WriteFailed,
                       "standard ut", Reason::ReceiverClosed);
    ::close(ends[1]);

    const int full = ::open("/dev/full", O_WRONLY);
    if (full < 0) GTEST_SKIP() << "no /dev/full";
    ExpectStorageError([&] { WriteStream(full, "x", "standard ut"); }, Kind::WriteFailed,
                       "standard ut", Reason::DiskFull);
    ::close(full);
}

} // namespace
} // namespace tolvana::storage
