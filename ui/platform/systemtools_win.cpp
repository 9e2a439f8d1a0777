// The system as the About window uses it on Windows: the registry through
// advapi32, the file test and the program start through the Win32 API. Paths
// are UTF-8 byte strings, as everywhere in the program on Windows.

#include "ui/platform/registry_win.h"
#include "ui/platform/systemtools.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace tolvana::ui {

namespace {

// UTF-8 to UTF-16; nullopt-like empty result with `ok` false for bad bytes.
bool Widen(const std::string& text, std::wstring& wide) {
    wide.clear();
    if (text.empty()) return true;
    const int length = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return false;
    wide.resize(static_cast<std::size_t>(length));
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                          wide.data(), length);
    return true;
}

std::string Narrow(const wchar_t* text, std::size_t length) {
    if (length == 0) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), bytes.data(), size, nullptr,
                          nullptr);
    return bytes;
}

HKEY KeyOf(RegKey key) {
    // The predefined keys are 32-bit values sign-extended to a pointer.
    if (key >= 0x80000000u && key <= 0x800000FFu)
        return reinterpret_cast<HKEY>(
            static_cast<std::intptr_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(key))));
    return reinterpret_cast<HKEY>(key);
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

class WindowsSystemTools : public SystemTools {
public:
    Registry& registry() override { return registry_; }

    bool fileExists(const std::string& path) override {
        std::wstring wide;
        if (!Widen(path, wide) || wide.empty()) return false;
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool startProgram(const std::string& path) override {
        std::wstring program;
        if (!Widen(path, program) || program.empty()) return false;
        // The program's own path, quoted, is its whole command line.
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNORMAL;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                              nullptr, nullptr, &startup, &process))
            return false;
        // Let the new window take the focus from ours.
        ::AllowSetForegroundWindow(process.dwProcessId);
        ::CloseHandle(process.hThread);
        ::CloseHandle(process.hProcess);
        return true;
    }

private:
    WindowsRegistry registry_;
};

} // namespace

RegResult WindowsRegistry::openKey(RegKey root, const std::string& path, std::uint32_t options,
                                   std::uint32_t access, RegKey& key) {
    std::wstring wide;
    if (!Widen(path, wide)) return ERROR_NO_UNICODE_TRANSLATION;
    HKEY opened = nullptr;
    const LSTATUS result = ::RegOpenKeyExW(KeyOf(root), wide.c_str(), options, access, &opened);
    if (result == ERROR_SUCCESS) key = reinterpret_cast<RegKey>(opened);
    return static_cast<RegResult>(result);
}

RegResult WindowsRegistry::queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                      unsigned char* data, std::uint32_t& size) {
    std::wstring wide;
    if (!Widen(name, wide)) return ERROR_NO_UNICODE_TRANSLATION;
    // Read the whole value; it may change size between two reads.
    std::vector<BYTE> buffer(std::max<std::size_t>(2 * std::size_t{size} + 2, 64));
    DWORD valueType = 0;
    LSTATUS result = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 4 && result == ERROR_MORE_DATA; ++attempt) {
        DWORD bytes = static_cast<DWORD>(buffer.size());
        result = ::RegQueryValueExW(KeyOf(key), wide.c_str(), nullptr, &valueType, buffer.data(),
                                    &bytes);
        if (result == ERROR_MORE_DATA)
            buffer.resize(bytes);
        else if (result == ERROR_SUCCESS)
            buffer.resize(bytes);
    }
    if (result != ERROR_SUCCESS) return static_cast<RegResult>(result);

    std::string value;
    if (IsText(valueType))
        value = Narrow(reinterpret_cast<const wchar_t*>(buffer.data()), buffer.size() / 2);
    else
        value.assign(buffer.begin(), buffer.end());
    if (value.size() > size) {
        size = static_cast<std::uint32_t>(value.size());
        return ERROR_MORE_DATA;
    }
    std::copy(value.begin(), value.end(), data);
    size = static_cast<std::uint32_t>(value.size());
    type = valueType;
    return ERROR_SUCCESS;
}

RegResult WindowsRegistry::closeKey(RegKey key) {
    return static_cast<RegResult>(::RegCloseKey(KeyOf(key)));
}

SystemTools& DefaultSystemTools() {
    static WindowsSystemTools tools;
    return tools;
}

} // namespace tolvana::ui
