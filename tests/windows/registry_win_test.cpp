// The Windows registry as GetKeyValue reads it, on a key of the test's own
// under HKEY_CURRENT_USER.

#include "ui/platform/registry_win.h"
#include "ui/platform/sysinfo.h"

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <random>
#include <string>

namespace tolvana::ui {
namespace {

constexpr std::uint32_t kHkeyCurrentUser = 0x80000001;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device entropy;
        name = "Software\\Tolvana test " + std::to_string(entropy());
        wideName.assign(name.begin(), name.end());
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, wideName.c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        ::RegCloseKey(key);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, wideName.c_str());
    }

    void SetString(const wchar_t* value, const std::wstring& text, DWORD type = REG_SZ) {
        ASSERT_EQ(::RegSetValueExW(key, value, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                   DWORD((text.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }

    std::string name;
    std::wstring wideName;
    HKEY key = nullptr;
    WindowsRegistry registry;
};

TEST_F(RegistryTest, StringsComeBackAsUtf8WithoutTheirClosingNul) {
    SetString(L"PATH", L"C:\\Program Files\\Verktyg \u00e5\u00e4\u00f6\\msinfo32.exe");
    std::string value = "old";
    ASSERT_TRUE(GetKeyValue(registry, kHkeyCurrentUser, name, "PATH", value));
    EXPECT_EQ(value, "C:\\Program Files\\Verktyg \xC3\xA5\xC3\xA4\xC3\xB6\\msinfo32.exe");

    // A value name with Swedish letters, given as UTF-8, is found too.
    SetString(L"S\u00f6kv\u00e4g", L"x");
    ASSERT_TRUE(GetKeyValue(registry, kHkeyCurrentUser, name, "S\xC3\xB6kv\xC3\xA4g", value));
    EXPECT_EQ(value, "x");
}

TEST_F(RegistryTest, NumbersOtherTypesAndMissingValues) {
    const DWORD number = 0x01020304;
    ASSERT_EQ(::RegSetValueExW(key, L"N", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                               sizeof number),
              ERROR_SUCCESS);
    std::string value;
    ASSERT_TRUE(GetKeyValue(registry, kHkeyCurrentUser, name, "N", value));
    EXPECT_EQ(value, "16909060");

    // An expandable string is neither REG_SZ nor REG_DWORD: found, left as it was.
    SetString(L"E", L"%SystemRoot%", REG_EXPAND_SZ);
    value = "kept";
    EXPECT_TRUE(GetKeyValue(registry, kHkeyCurrentUser, name, "E", value));
    EXPECT_EQ(value, "kept");

    EXPECT_FALSE(GetKeyValue(registry, kHkeyCurrentUser, name, "missing", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(GetKeyValue(registry, kHkeyCurrentUser, name + "\\missing", "PATH", value));
}

TEST_F(RegistryTest, ValuesLongerThanTheBufferAreNotRead) {
    SetString(L"Long", std::wstring(1023, L'a')); // 1023 bytes and a NUL: fits
    std::string value;
    ASSERT_TRUE(GetKeyValue(registry, kHkeyCurrentUser, name, "Long", value));
    EXPECT_EQ(value, std::string(1023, 'a'));
    SetString(L"Long", std::wstring(1024, L'a'));
    EXPECT_FALSE(GetKeyValue(registry, kHkeyCurrentUser, name, "Long", value));

    // The limit is on the bytes the program receives: two for an "å".
    SetString(L"Long", std::wstring(600, L'\u00e5'));
    EXPECT_FALSE(GetKeyValue(registry, kHkeyCurrentUser, name, "Long", value));
}

TEST_F(RegistryTest, EveryOpenedKeyIsClosedAndMachineKeysOpenForReading) {
    RegKey opened = 0;
    ASSERT_EQ(registry.openKey(kHkeyLocalMachine, "SOFTWARE\\Microsoft", 0, kKeyRead, opened),
              kRegSuccess);
    EXPECT_EQ(registry.closeKey(opened), kRegSuccess);
    EXPECT_EQ(registry.openKey(kHkeyLocalMachine, "SOFTWARE\\No such key of Tolvana", 0, kKeyRead,
                               opened),
              kRegFileNotFound);
}

} // namespace
} // namespace tolvana::ui
