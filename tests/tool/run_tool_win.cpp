// The tool started as Windows starts it: a command line in UTF-16, with the
// standard handles on files, so that every byte it writes arrives unchanged.

#include "tests/tool/run_tool.h"

#include <random>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tolvana::testing {
namespace {

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                             wide.data(), static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(length));
    return wide;
}

// One argument quoted as the C runtime and CommandLineToArgvW split them:
// backslashes are doubled only before a quote.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
    line += L" \"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(2 * backslashes, L'\\');
    line += L'"';
}

HANDLE Inheritable(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

std::filesystem::path MakeTestFolder() {
    std::random_device random;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("tolvana-cipher-test-" + std::to_string(random()));
    return std::filesystem::create_directory(dir) ? dir : std::filesystem::path();
}

// A job object could hold the tool to an amount of memory, but not to an
// address space as the test means it; the test runs on POSIX only.
bool LimitFileSize(std::uint64_t) { return false; }

bool LocaleNamesTheCharacterSet() { return false; }

bool CanLimitAddressSpace() { return false; }

bool NamesAreBytes() { return false; }

int RunTool(const std::filesystem::path& dir, const std::vector<std::string>& arguments,
            const char* locale, std::uint64_t /*addressSpace*/) {
    // Read by the C runtime on Windows; under Wine it also chooses the locale
    // that the runtime reports.
    ::SetEnvironmentVariableW(L"LC_ALL", Wide(locale).c_str());
    const std::wstring program = Wide(TOLVANA_CIPHER_TOOL);
    std::wstring line;
    AppendQuoted(line, program);
    for (const std::string& argument : arguments) AppendQuoted(line, Wide(argument));
    line.erase(0, 1);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = Inheritable(dir / ".in", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = Inheritable(dir / ".out", GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = Inheritable(dir / ".err", GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    // No console: a console host would inherit the handles too and could
    // hold the files open after the tool has ended.
    const BOOL started =
        ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                         nullptr, dir.c_str(), &startup, &process);
    DWORD status = static_cast<DWORD>(-1);
    if (started) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        ::GetExitCodeProcess(process.hProcess, &status);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
    }
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        ::CloseHandle(handle);
    return started ? static_cast<int>(status) : -1;
}

} // namespace tolvana::testing
