#include "tools/platform.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tolvana::tool {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void UseBinaryStandardStreams() {}

int ReadAll(int fd, std::string& bytes, std::size_t maximum) {
    bytes.clear();
    std::size_t used = 0;
    for (;;) {
        // Grow in large steps: a pipe gives 64 KB at a time.
        if (bytes.size() - used < (std::size_t{1} << 16))
            bytes.resize(std::max<std::size_t>(bytes.size() * 2, std::size_t{1} << 20));
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            bytes.clear();
            return error;
        }
        if (got == 0) break;
        used += static_cast<std::size_t>(got);
        if (used > maximum) {
            bytes.clear();
            return EFBIG;
        }
    }
    bytes.resize(used);
    return 0;
}

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), std::min<std::size_t>(bytes.size(), 1 << 30));
        if (put < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return 0;
}

void RunBoth(const std::function<void()>& first, const std::function<void()>& second) {
    std::exception_ptr secondError;
    const auto runSecond = [&]() noexcept {
        try {
            second();
        } catch (...) {
            secondError = std::current_exception();
        }
    };
    std::optional<std::thread> other;
    if (std::thread::hardware_concurrency() >= 2) {
        try {
            other.emplace(runSecond);
        } catch (const std::system_error&) {
            // No thread for now (resources or memory are short): one after
            // the other is correct, only slower.
        } catch (const std::bad_alloc&) {
        }
    }
    std::exception_ptr firstError;
    try {
        first();
    } catch (...) {
        firstError = std::current_exception();
    }
    if (other)
        other->join();
    else if (!firstError)
        runSecond();
    if (firstError) std::rethrow_exception(firstError);
    if (secondError) std::rethrow_exception(secondError);
}

} // namespace tolvana::tool
