#include "tools/platform.h"

#include <exception>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

namespace tolvana::tool {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void UseBinaryStandardStreams() {}

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
