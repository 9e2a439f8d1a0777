#pragma once

// Helpers for the storage tests: a private temporary folder, whole-file byte
// access and running part of a test in a child process.

#include "storage/files.h"
#include "storage/platform_posix.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvana::storage::testing {

class TempDir {
public:
    TempDir() {
        char name[] = "/tmp/tolvana-test-XXXXXX";
        if (::mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = name;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // The names in the folder, hidden ones included.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.insert(entry.path().filename().string());
        return names;
    }

private:
    std::string path_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!(out << bytes).flush()) throw std::runtime_error("cannot write " + path);
}

inline unsigned ModeOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + path);
    return st.st_mode & 07777;
}

// No limit worth speaking of, for tests that are not about the size limit.
inline constexpr std::uint64_t kAnySize = std::uint64_t{1} << 40;

// Expects `action` to throw StorageError of `kind` naming `path` and giving a
// reason: `reason` when given, else any reason but None.
template <typename Action>
void ExpectStorageError(Action&& action, StorageError::Kind kind, const std::string& path,
                        std::optional<StorageError::Reason> reason = std::nullopt) {
    try {
        action();
        ADD_FAILURE() << "no error for " << path;
    } catch (const StorageError& e) {
        EXPECT_EQ(e.kind(), kind) << e.what();
        EXPECT_EQ(e.path(), path);
        if (reason)
            EXPECT_EQ(e.reason(), *reason) << e.what();
        else
            EXPECT_NE(e.reason(), StorageError::Reason::None) << e.what();
    }
}

using tolvana::testing::DropPrivileges;
using tolvana::testing::kNobody;
using tolvana::testing::kNoGroup;
using tolvana::testing::RunInChild;

} // namespace tolvana::storage::testing
