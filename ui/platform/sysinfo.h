#pragma once

// Finding and starting the system information tool for the About window.
//
// The tool is found through two registry values: the tool's full path under
// "SOFTWARE\Microsoft\Shared Tools\MSINFO", or else its folder under
// "SOFTWARE\Microsoft\Shared Tools Location", to which "\MSINFO32.EXE" is
// appended. Every failure ends in one message.
//
// Nothing here uses Qt. The registry, the file test and the program start come
// in through SystemTools, and the message through a callback, so that the
// lookup runs the same against the real system and against test doubles.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace tolvana::ui {

// Registry handles and codes, with the values the Windows registry API uses.
using RegKey = std::uintptr_t;
using RegResult = std::int32_t;

inline constexpr std::uint32_t kHkeyLocalMachine = 0x80000002;

inline constexpr RegResult kRegSuccess = 0;
inline constexpr RegResult kRegFileNotFound = 2; // ERROR_FILE_NOT_FOUND
inline constexpr RegResult kRegAccessDenied = 5; // ERROR_ACCESS_DENIED
inline constexpr RegResult kRegMoreData = 234;   // ERROR_MORE_DATA

inline constexpr std::uint32_t kKeyRead = 0x20019; // KEY_READ

inline constexpr std::uint32_t kRegSz = 1;    // REG_SZ
inline constexpr std::uint32_t kRegDword = 4; // REG_DWORD

// The three registry operations the lookup needs, in the single-byte form of
// the Windows API (RegOpenKeyExA, RegQueryValueExA, RegCloseKey). Every result
// is kRegSuccess or an error code. Names and string values are byte strings in
// the program's path encoding: UTF-8 on Windows (ui/registry_win.h).
class Registry {
public:
    virtual ~Registry() = default;

    // Opens `path` under `root` with the given options and access mask and
    // stores the new handle in `key`.
    virtual RegResult openKey(RegKey root, const std::string& path, std::uint32_t options,
                              std::uint32_t access, RegKey& key) = 0;

    // Reads the value `name` of an open key into `data`, which has room for
    // `size` bytes. On success `type` receives the value's type and `size` the
    // number of bytes written. A value larger than the buffer gives kRegMoreData
    // and `size` the length it would need.
    virtual RegResult queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                 unsigned char* data, std::uint32_t& size) = 0;

    virtual RegResult closeKey(RegKey key) = 0;
};

// A registry that holds no keys: every open fails with kRegFileNotFound. The
// program uses it where the system has no registry, so the lookup always ends
// in the "unavailable" message there.
class EmptyRegistry : public Registry {
public:
    RegResult openKey(RegKey root, const std::string& path, std::uint32_t options,
                      std::uint32_t access, RegKey& key) override;
    RegResult queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                         unsigned char* data, std::uint32_t& size) override;
    RegResult closeKey(RegKey key) override;
};

// What the lookup needs from the system besides messages.
class SystemTools {
public:
    virtual ~SystemTools() = default;

    virtual Registry& registry() = 0;

    // Whether a file of that name exists.
    virtual bool fileExists(const std::string& path) = 0;

    // Starts the program at `path` with a normal window that takes the focus,
    // and returns at once without waiting for it. False when it did not start.
    virtual bool startProgram(const std::string& path) = 0;
};

// Raised by GetKeyValue for a value that the registry reports with no bytes at
// all; StartSysInfo turns it into the "unavailable" message.
class EmptyRegistryValue : public std::runtime_error {
public:
    EmptyRegistryValue() : std::runtime_error("registry value has no data") {}
};

// The largest value GetKeyValue reads, in bytes.
inline constexpr std::uint32_t kKeyValueBufferSize = 1024;

// Reads the value `SubKeyRef` of the key `KeyName` under `KeyRoot` as text.
//
// The key is opened for reading only. The value must fit in 1024 bytes; one
// closing NUL is dropped. A REG_SZ value becomes `KeyVal` as it stands, a
// REG_DWORD value its number in decimal digits; a value of any other type
// leaves `KeyVal` as it was and still counts as read. Returns false, with
// `KeyVal` emptied, when the key cannot be opened or the value cannot be read.
// Throws EmptyRegistryValue for a value of size 0. The key is always closed.
bool GetKeyValue(Registry& registry, std::uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// The title of the program, also the title of its About window's message.
inline constexpr char kApplicationTitle[] = "Tolvana";
inline constexpr char kSysInfoUnavailable[] = "System Information Is Unavailable At This Time";

// Shows a message box with only an OK button and no icon.
using ShowMessage = std::function<void(const std::string& title, const std::string& text)>;

// Starts the system information tool, or shows the message kSysInfoUnavailable
// titled kApplicationTitle when it cannot be found or started. Any exception
// from the lookup or the start also ends in that message.
void StartSysInfo(SystemTools& tools, const ShowMessage& showMessage);

} // namespace tolvana::ui
