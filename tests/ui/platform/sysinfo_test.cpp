// The system information lookup against the registry double: how one value
// is read, and which program each registry leads to.

#include "tests/support/fake_system.h"
#include "ui/platform/sysinfo.h"

#include <gtest/gtest.h>

#include <functional>

namespace tolvana::testing {
namespace {

class GetKeyValueTest : public ::testing::Test {
protected:
    FakeRegistry registry;
    std::string keyVal = "before";

    bool read(const std::string& name) {
        const bool found = ui::GetKeyValue(registry, ui::kHkeyLocalMachine, "K", name, keyVal);
        EXPECT_TRUE(registry.openHandles.empty()) << "key left open reading " << name;
        return found;
    }
};

TEST_F(GetKeyValueTest, ReadsStringsOfUpTo1024BytesForReadingOnly) {
    registry.setString("K", "nul", "C:\\tool.exe", true);
    registry.setString("K", "bare", "C:\\tool.exe", false);
    registry.setString("K", "full", std::string(1024, 'a'), false);
    registry.setString("K", "fullNul", std::string(1023, 'b'), true);
    registry.keys["K"].values["twoNuls"] = {ui::kRegSz, std::string("ab\0\0", 4)};

    ASSERT_TRUE(read("nul"));
    EXPECT_EQ(keyVal, "C:\\tool.exe");
    ASSERT_TRUE(read("bare"));
    EXPECT_EQ(keyVal, "C:\\tool.exe");
    ASSERT_TRUE(read("full"));
    EXPECT_EQ(keyVal, std::string(1024, 'a'));
    ASSERT_TRUE(read("fullNul"));
    EXPECT_EQ(keyVal, std::string(1023, 'b'));
    ASSERT_TRUE(read("twoNuls")); // only the last byte is dropped
    EXPECT_EQ(keyVal, std::string("ab\0", 3));
    EXPECT_EQ(registry.accesses, std::vector<std::uint32_t>(5, 0x20019));
}

TEST_F(GetKeyValueTest, FailureEmptiesTheText) {
    EXPECT_FALSE(read("V")); // no such key
    EXPECT_EQ(keyVal, "");

    registry.setString("K", "long", std::string(1025, 'c'), false);
    registry.setString("K", "longNul", std::string(1024, 'd'), true);
    for (const char* name : {"long", "longNul", "missing"}) {
        keyVal = "before";
        EXPECT_FALSE(read(name)) << name;
        EXPECT_EQ(keyVal, "") << name;
    }

    registry.keys["K"].grantedAccess = 0; // refuses even reading
    keyVal = "before";
    EXPECT_FALSE(read("long"));
    EXPECT_EQ(keyVal, "");
}

TEST_F(GetKeyValueTest, TypesOtherThanStringAndSizeZero) {
    auto& values = registry.keys["K"].values;
    values["dword"] = {ui::kRegDword, std::string("\x03\x02\x01\x00", 4)};
    values["max"] = {ui::kRegDword, "\xff\xff\xff\xff"};
    values["binary"] = {3, "\x01\x02"};
    values["empty"] = {ui::kRegSz, ""};

    ASSERT_TRUE(read("dword"));
    EXPECT_EQ(keyVal, "66051");
    ASSERT_TRUE(read("max"));
    EXPECT_EQ(keyVal, "4294967295");
    keyVal = "before";
    EXPECT_TRUE(read("binary")); // counts as read, leaves the text
    EXPECT_EQ(keyVal, "before");
    EXPECT_THROW(read("empty"), ui::EmptyRegistryValue);
}

const std::string kInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const std::string kTool = "C:\\Program Files\\MSInfo\\msinfo32.exe";
const std::string kFolder = "C:\\Shared\\MSInfo";
const std::string kFolderTool = kFolder + "\\MSINFO32.EXE";

TEST(StartSysInfoTest, StartsWhatTheRegistryNamesOrSaysItIsUnavailable) {
    const struct {
        const char* name;
        std::function<void(FakeSystemTools&)> arrange;
        std::vector<std::string> opened;
        std::vector<std::string> starts;
        bool unavailable;
    } cases[] = {
        {"full path",
         [](auto& t) { t.fakeRegistry.setString(kInfoKey, "PATH", kTool); },
         {kInfoKey},
         {kTool},
         false},
        {"folder holding the tool",
         [](auto& t) {
             t.fakeRegistry.keys[kInfoKey];
             t.fakeRegistry.setString(kLocationKey, "MSINFO", kFolder, false);
         },
         {kInfoKey, kLocationKey},
         {kFolderTool},
         false},
        {"full path too long",
         [](auto& t) { t.fakeRegistry.setString(kInfoKey, "PATH", std::string(1100, 'x')); },
         {kInfoKey, kLocationKey},
         {kFolderTool},
         false},
        {"folder without the tool",
         [](auto& t) { t.files.erase(kFolderTool); },
         {kInfoKey, kLocationKey},
         {},
         true},
        {"neither value",
         [](auto& t) { t.fakeRegistry.keys.at(kLocationKey).values.clear(); },
         {kInfoKey, kLocationKey},
         {},
         true},
        {"keys refuse access",
         [](auto& t) {
             t.fakeRegistry.setString(kInfoKey, "PATH", kTool);
             t.fakeRegistry.keys[kInfoKey].grantedAccess = 0;
             t.fakeRegistry.keys[kLocationKey].grantedAccess = 0;
         },
         {kInfoKey, kLocationKey},
         {},
         true},
        {"full path of another type",
         [](auto& t) {
             t.fakeRegistry.keys[kInfoKey].values["PATH"] = {3, kTool};
         },
         {kInfoKey},
         {""},
         true},
        {"full path of size 0",
         [](auto& t) {
             t.fakeRegistry.keys[kInfoKey].values["PATH"] = {ui::kRegSz, ""};
         },
         {kInfoKey},
         {},
         true},
        {"tool does not start",
         [](auto& t) { t.broken = {kFolderTool}; },
         {kInfoKey, kLocationKey},
         {kFolderTool},
         true},
        {"registry fails", [](auto& t) { t.fakeRegistry.broken = true; }, {kInfoKey}, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Unless a case says otherwise: only the folder value, and the tool in it.
        FakeSystemTools tools;
        tools.fakeRegistry.setString(kLocationKey, "MSINFO", kFolder);
        tools.files = {kTool, kFolderTool};
        c.arrange(tools);

        std::vector<std::pair<std::string, std::string>> messages;
        ui::StartSysInfo(tools, [&](const std::string& title, const std::string& text) {
            messages.emplace_back(title, text);
        });
        EXPECT_EQ(tools.fakeRegistry.opened, c.opened);
        EXPECT_EQ(tools.starts, c.starts);
        EXPECT_TRUE(tools.fakeRegistry.openHandles.empty());
        const std::pair<std::string, std::string> unavailable = {
            "Tolvana", "System Information Is Unavailable At This Time"};
        EXPECT_EQ(messages, c.unavailable ? decltype(messages){unavailable} : decltype(messages){});
    }
}

} // namespace
} // namespace tolvana::testing
