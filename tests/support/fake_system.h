#pragma once

// Doubles for the system information lookup: a registry under
// HKEY_LOCAL_MACHINE holding values of any type and size, and system tools
// with a made-up file system whose programs are recorded, never started.

#include "ui/platform/sysinfo.h"

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace tolvana::testing {

class FakeRegistry : public ui::Registry {
public:
    struct Key {
        std::map<std::string, std::pair<std::uint32_t, std::string>> values; // type, bytes
        // Like Windows for an ordinary user: more than read access is refused.
        std::uint32_t grantedAccess = ui::kKeyRead;
        ui::RegKey root = ui::kHkeyLocalMachine; // the root the key stands under
    };

    std::map<std::string, Key> keys;
    bool broken = false;                 // every open throws
    std::vector<std::string> opened;     // paths asked for, in order
    std::vector<std::uint32_t> accesses; // the access asked for with each
    std::set<ui::RegKey> openHandles;

    // A string stored with its closing NUL unless told otherwise.
    void setString(const std::string& path, const std::string& name, const std::string& text,
                   bool closingNul = true) {
        keys[path].values[name] = {ui::kRegSz, closingNul ? text + '\0' : text};
    }

    ui::RegResult openKey(ui::RegKey root, const std::string& path, std::uint32_t options,
                          std::uint32_t access, ui::RegKey& key) override {
        opened.push_back(path);
        accesses.push_back(access);
        if (broken) throw std::runtime_error("registry failure");
        const auto found = keys.find(path);
        if (options != 0 || found == keys.end() || root != found->second.root)
            return ui::kRegFileNotFound;
        if ((access & ~found->second.grantedAccess) != 0) return ui::kRegAccessDenied;
        key = next_++;
        handles_[key] = &found->second;
        openHandles.insert(key);
        return ui::kRegSuccess;
    }

    ui::RegResult queryValue(ui::RegKey key, const std::string& name, std::uint32_t& type,
                             unsigned char* data, std::uint32_t& size) override {
        if (!openHandles.contains(key)) return kInvalidHandle;
        const auto& values = handles_.at(key)->values;
        const auto value = values.find(name);
        if (value == values.end()) return ui::kRegFileNotFound;
        const std::string& bytes = value->second.second;
        type = value->second.first;
        const bool fits = bytes.size() <= size;
        if (fits) std::copy(bytes.begin(), bytes.end(), data);
        size = static_cast<std::uint32_t>(bytes.size());
        return fits ? ui::kRegSuccess : ui::kRegMoreData;
    }

    ui::RegResult closeKey(ui::RegKey key) override {
        return openHandles.erase(key) == 1 ? ui::kRegSuccess : kInvalidHandle;
    }

private:
    static constexpr ui::RegResult kInvalidHandle = 6; // ERROR_INVALID_HANDLE
    ui::RegKey next_ = 0x100;
    std::map<ui::RegKey, Key*> handles_;
};

class FakeSystemTools : public ui::SystemTools {
public:
    FakeRegistry fakeRegistry;
    std::set<std::string> files;     // every file that exists
    std::set<std::string> broken;    // files that exist but do not start
    std::vector<std::string> starts; // every start asked for

    ui::Registry& registry() override { return fakeRegistry; }
    bool fileExists(const std::string& path) override { return files.contains(path); }
    bool startProgram(const std::string& path) override {
        starts.push_back(path);
        return files.contains(path) && !broken.contains(path);
    }
};

} // namespace tolvana::testing
