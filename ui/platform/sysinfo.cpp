#include "ui/platform/sysinfo.h"

#include <algorithm>

namespace tolvana::ui {

namespace {

constexpr char kMsInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kMsInfoValue[] = "PATH";
constexpr char kLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char kLocationValue[] = "MSINFO";
constexpr char kToolFileName[] = "\\MSINFO32.EXE";

// Closes an open key however GetKeyValue leaves. A failed close changes
// nothing for the caller, so its result is ignored.
class KeyCloser {
public:
    KeyCloser(Registry& registry, RegKey key) : registry_(registry), key_(key) {}
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;
    ~KeyCloser() {
        try {
            registry_.closeKey(key_);
        } catch (...) {
        }
    }

private:
    Registry& registry_;
    RegKey key_;
};

// A REG_DWORD value is stored low byte first; it is shown in decimal digits.
std::string DwordText(const std::string& bytes) {
    std::uint64_t value = 0;
    const std::size_t count = std::min<std::size_t>(bytes.size(), sizeof value);
    for (std::size_t i = count; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return std::to_string(value);
}

} // namespace

RegResult EmptyRegistry::openKey(RegKey, const std::string&, std::uint32_t, std::uint32_t,
                                 RegKey&) {
    return kRegFileNotFound;
}

RegResult EmptyRegistry::queryValue(RegKey, const std::string&, std::uint32_t&, unsigned char*,
                                    std::uint32_t&) {
    return kRegFileNotFound;
}

RegResult EmptyRegistry::closeKey(RegKey) { return kRegSuccess; }

bool GetKeyValue(Registry& registry, std::uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
    // Read access is all the lookup needs, and all that an ordinary user gets
    // under HKEY_LOCAL_MACHINE; asking for more would fail for most users.
    RegKey key = 0;
    if (registry.openKey(KeyRoot, KeyName, 0, kKeyRead, key) != kRegSuccess) {
        KeyVal.clear();
        return false;
    }
    const KeyCloser closer(registry, key);

    std::string buffer(kKeyValueBufferSize, '\0');
    std::uint32_t size = kKeyValueBufferSize;
    std::uint32_t type = 0;
    const RegResult result = registry.queryValue(
        key, SubKeyRef, type, reinterpret_cast<unsigned char*>(buffer.data()), size);
    // A registry that claims more bytes than the buffer holds is treated like a
    // value that did not fit.
    if (result != kRegSuccess || size > kKeyValueBufferSize) {
        KeyVal.clear();
        return false;
    }
    if (size == 0) throw EmptyRegistryValue();

    // Strings are usually stored with a closing NUL, but not always.
    buffer.resize(buffer[size - 1] == '\0' ? size - 1 : size);
    if (type == kRegSz)
        KeyVal = buffer;
    else if (type == kRegDword)
        KeyVal = DwordText(buffer);
    return true;
}

namespace {

// Finds the tool and starts it; false when it is not found or does not start.
bool FindAndStart(SystemTools& tools) {
    Registry& registry = tools.registry();
    std::string path;
    if (!GetKeyValue(registry, kHkeyLocalMachine, kMsInfoKey, kMsInfoValue, path)) {
        // No full path: look for the tool in the shared tools folder.
        if (!GetKeyValue(registry, kHkeyLocalMachine, kLocationKey, kLocationValue, path))
            return false;
        path += kToolFileName;
        if (!tools.fileExists(path)) return false;
    }
    return tools.startProgram(path);
}

} // namespace

void StartSysInfo(SystemTools& tools, const ShowMessage& showMessage) {
    bool started = false;
    try {
        started = FindAndStart(tools);
    } catch (...) {
        // Whatever went wrong, the user learns only that the tool is unavailable.
    }
    if (!started) showMessage(kApplicationTitle, kSysInfoUnavailable);
}

} // namespace tolvana::ui
