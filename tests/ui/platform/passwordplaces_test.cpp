// Several places for the password files: the order they are read in, the
// fallback when a place cannot be written, and that a new password always is
// the one asked for next.

#include "storage/files.h"
#include "ui/platform/nativepath.h"
#include "ui/platform/passwordplaces.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace tolvana::ui {
namespace {

class PasswordPlacesTest : public ::testing::Test {
protected:
    // As on Windows: the program's own folder, an older copy's folder, and
    // the fixed place, which alone gets a flag file made at start.
    static std::vector<PasswordPlace> PlacesIn(const QTemporaryDir& dir) {
        std::vector<PasswordPlace> places;
        for (const char* name : {"own", "older", "fixed"}) {
            const std::string path = StoragePath(dir.filePath(QString::fromLatin1(name)));
            places.push_back(
                {{path + "/numberone", path + "/id"}, path, std::string(name) == "fixed"});
        }
        places[1].folder.clear(); // never made: only read
        places[2].folder.clear(); // a drive root: never made
        return places;
    }

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkdir(QStringLiteral("older"));
        QDir(dir.path()).mkdir(QStringLiteral("fixed"));
    }

    const storage::PasswordFiles& files(std::size_t place) const {
        return places.places()[place].files;
    }
    bool exists(const std::string& path) const { return storage::FileExists(path); }

    // The password asked for at start, or "" when none is.
    std::string asked() const {
        const FoundPassword found = ReadPassword(places);
        const auto* password = std::get_if<storage::Password>(&found.state);
        return password ? password->text : std::string();
    }

    QTemporaryDir dir;
    PasswordPlaces places{PlacesIn(dir), {2, 0}};
};

TEST_F(PasswordPlacesTest, NoPasswordAnywhereMakesOnlyTheFixedFlagFile) {
    EXPECT_TRUE(std::holds_alternative<storage::NoPassword>(ReadPassword(places).state));
    EXPECT_FALSE(exists(files(0).flagPath));
    EXPECT_FALSE(exists(files(1).flagPath));
    EXPECT_TRUE(exists(files(2).flagPath));
}

TEST_F(PasswordPlacesTest, AnOlderCopysPasswordIsAskedWhereverItLies) {
    storage::StorePassword(files(2), "root");
    EXPECT_EQ(asked(), "root");
    storage::StorePassword(files(1), "redirected");
    EXPECT_EQ(asked(), "redirected"); // what the older copy itself read
}

TEST_F(PasswordPlacesTest, AFlagWithoutItsPasswordNamesThatPlace) {
    storage::StorePassword(files(1), "pw");
    QFile::remove(PathForDisplay(files(1).passwordPath));
    const FoundPassword found = ReadPassword(places);
    ASSERT_TRUE(std::holds_alternative<storage::PasswordMissing>(found.state));
    EXPECT_EQ(found.files.flagPath, files(1).flagPath);
}

TEST_F(PasswordPlacesTest, ANewPasswordInTheFixedPlaceClearsTheEarlierPlaces) {
    QDir(dir.path()).mkdir(QStringLiteral("own"));
    storage::StorePassword(files(0), "own");
    storage::StorePassword(files(1), "redirected");
    StorePassword(places, "new");
    EXPECT_EQ(asked(), "new");
    EXPECT_FALSE(exists(files(0).flagPath));
    EXPECT_FALSE(exists(files(0).passwordPath));
    EXPECT_FALSE(exists(files(1).flagPath));
    EXPECT_FALSE(exists(files(1).passwordPath));
}

TEST_F(PasswordPlacesTest, WhereTheFixedPlaceCannotBeWrittenTheOwnFolderIsMadeAndRead) {
    // The fixed place cannot take a file, as c:\ for an ordinary user.
    QDir(dir.path()).rmdir(QStringLiteral("fixed"));
    StorePassword(places, "mine");
    EXPECT_TRUE(exists(files(0).flagPath));
    EXPECT_EQ(asked(), "mine");
    EXPECT_EQ(asked(), "mine"); // and at every later start
}

TEST_F(PasswordPlacesTest, WhenNoPlaceTakesItTheFirstPlacesErrorIsGivenAndNothingChanges) {
    QDir(dir.path()).rmdir(QStringLiteral("fixed"));
    // The own folder's name is taken by a file, so it cannot be made.
    QFile blocker(PathForDisplay(places.places()[0].folder));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        StorePassword(places, "new");
        ADD_FAILURE() << "no error";
    } catch (const storage::StorageError& error) {
        EXPECT_EQ(error.path(), files(2).passwordPath);
    }
    EXPECT_EQ(asked(), "");
}

// The fixed place is a folder that every user may write (the root of drive
// C:). A folder of the flag's name that another user made there does not lock
// this user out: this user starts without a password, and a new one goes to
// the own folder, leaving the other user's folder as it was. (Another user's
// files there are the storage tests' concern.)
TEST_F(PasswordPlacesTest, AnotherUsersFolderInTheFixedPlaceLocksNobodyOut) {
    QDir(dir.path()).mkpath(QStringLiteral("fixed/numberone"));
    EXPECT_TRUE(std::holds_alternative<storage::NoPassword>(ReadPassword(places).state));
    EXPECT_FALSE(AnyPasswordSet(places));
    StorePassword(places, "mine");
    EXPECT_TRUE(QFileInfo(PathForDisplay(files(2).flagPath)).isDir());
    EXPECT_FALSE(exists(files(2).passwordPath));
    EXPECT_EQ(asked(), "mine");
}

TEST_F(PasswordPlacesTest, OnePlaceIsReadAndWrittenAsBefore) {
    const PasswordPlaces one(files(2));
    StorePassword(one, "pw");
    const FoundPassword found = ReadPassword(one);
    ASSERT_TRUE(std::holds_alternative<storage::Password>(found.state));
    EXPECT_EQ(found.files.passwordPath, files(2).passwordPath);
    EXPECT_THROW(StorePassword(one, ""), std::invalid_argument);
}

// Every operation has a place to read and one to write: places that could
// leave either without one are refused when they are made.
TEST_F(PasswordPlacesTest, ThereIsAlwaysAPlaceToReadAndOneToWrite) {
    static_assert(!std::is_default_constructible_v<PasswordPlaces>);
    EXPECT_THROW(PasswordPlaces(std::vector<PasswordPlace>{}, {0}), std::invalid_argument);
    EXPECT_THROW(PasswordPlaces(PlacesIn(dir), {}), std::invalid_argument);
    EXPECT_THROW(PasswordPlaces(PlacesIn(dir), {2, 3}), std::invalid_argument);
}

} // namespace
} // namespace tolvana::ui
