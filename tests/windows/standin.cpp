// A stand-in for the system information tool: when started it leaves a mark,
// a file named like itself with ".started" added, and ends.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

int main() {
    std::wstring path(32768, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (length == 0 || length >= path.size()) return 1;
    path.resize(length);
    HANDLE mark = ::CreateFileW((path + L".started").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark == INVALID_HANDLE_VALUE) return 1;
    ::CloseHandle(mark);
    return 0;
}
