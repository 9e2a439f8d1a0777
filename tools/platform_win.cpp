#include "tools/platform.h"

#include "storage/files.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <io.h>

#include <windows.h> // before shellapi.h, which needs its types

#include <shellapi.h>

namespace tolvana::tool {

std::vector<std::string> Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        const int length =
            ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(length > 0 ? static_cast<std::size_t>(length) : 1u, '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, utf8.data(), length, nullptr, nullptr);
        utf8.pop_back(); // the terminating NUL
        arguments.push_back(std::move(utf8));
    }
    ::LocalFree(wide);
    return arguments;
}

void UseBinaryStandardStreams() {
    // The C runtime turns CR LF into LF on text-mode streams; the cipher's
    // bytes must pass unchanged.
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
}

int ReadAll(int fd, std::string& bytes, std::size_t maximum) {
    bytes.clear();
    std::size_t used = 0;
    for (;;) {
        if (bytes.size() - used < (std::size_t{1} << 16))
            bytes.resize(std::max<std::size_t>(bytes.size() * 2, std::size_t{1} << 20));
        const std::size_t room = std::min<std::size_t>(bytes.size() - used, 1u << 30);
        const int got = _read(fd, bytes.data() + used, static_cast<unsigned>(room));
        if (got < 0) {
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
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int put = _write(fd, bytes.data(), chunk);
        if (put < 0) return errno;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return 0;
}

// The C++ threads of a MinGW toolchain with Win32 threads are not there; one
// after the other is correct, only slower.
void RunBoth(const std::function<void()>& first, const std::function<void()>& second) {
    first();
    second();
}

} // namespace tolvana::tool
