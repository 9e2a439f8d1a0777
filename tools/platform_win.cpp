#include "tools/platform.h"
#include "storage/platform.h"

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

// The console and the files a script reads take the tool's UTF-8 as before.
void UseLocaleCharacterSet() {}

void WriteInLocale(int fd, std::string_view utf8, const std::string& name) {
    storage::platform::WriteStream(fd, utf8, name);
}

void UseBinaryStandardStreams() {
    // The C runtime turns CR LF into LF on text-mode streams. The tool's own
    // reads and writes go to the streams' handles, which never translate;
    // whatever else reaches the runtime's streams passes unchanged too.
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
}

// The C++ threads of a MinGW toolchain with Win32 threads are not there; one
// after the other is correct, only slower.
void RunBoth(const std::function<void()>& first, const std::function<void()>& second) {
    first();
    second();
}

} // namespace tolvana::tool
