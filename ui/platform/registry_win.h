#pragma once

// The Windows registry through advapi32's wide-character functions.
//
// Names and string values cross this interface as UTF-8, the byte form the
// program uses for paths on Windows, so a tool in a folder with å, ä or ö in
// its name is found and started. Sizes are those of the UTF-8 bytes, a
// closing NUL included; values of other types pass through as raw bytes.

#include "ui/platform/sysinfo.h"

namespace tolvana::ui {

class WindowsRegistry : public Registry {
public:
    // `root` may be a predefined key written as its 32-bit value, such as
    // kHkeyLocalMachine (0x80000002); it stands for the same key on 64-bit
    // Windows, where those handles are sign-extended.
    RegResult openKey(RegKey root, const std::string& path, std::uint32_t options,
                      std::uint32_t access, RegKey& key) override;
    RegResult queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                         unsigned char* data, std::uint32_t& size) override;
    RegResult closeKey(RegKey key) override;
};

} // namespace tolvana::ui
