// Tests that change the Wine prefix's machine-wide state: the registry value
// that names the system information tool, and the password files in c:\ and
// in the user's folders. Their test program runs alone.

#include "tests/support/scripted_dialogs.h"
#include "ui/forms/secondarywindows.h"
#include "ui/forms/startup.h"
#include "ui/platform/nativepath.h"
#include "ui/platform/passwordplaces.h"
#include "ui/platform/systemtools.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tolvana::ui {
namespace {

using testing::ScriptedDialogs;

const wchar_t kMsInfoKey[] = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

// Sets the registry value that names the tool for the length of a test.
class ToolPathValue {
public:
    explicit ToolPathValue(const QString& path) {
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kMsInfoKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key_, nullptr);
        const std::wstring text = QDir::toNativeSeparators(path).toStdWString();
        ok_ =
            ::RegSetValueExW(key_, L"PATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~ToolPathValue() {
        ::RegDeleteValueW(key_, L"PATH");
        ::RegCloseKey(key_);
    }
    bool ok() const { return ok_; }

private:
    HKEY key_ = nullptr;
    bool ok_ = false;
};

bool WaitForFile(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(path) && timer.elapsed() < 15000) QTest::qWait(50);
    return QFile::exists(path);
}

TEST(SystemInfo, StartsTheProgramTheRegistryNames) {
    // The stand-in lies in a folder with Swedish letters, under the tool's name.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Verktyg \u00e5\u00e4\u00f6"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString tool = folder + QStringLiteral("/msinfo32.exe");
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(TOLVANA_STANDIN), tool));
    ToolPathValue value(tool);
    ASSERT_TRUE(value.ok());

    ScriptedDialogs dialogs;
    SecondaryWindows windows(dialogs, DefaultSystemTools());
    windows.showAbout();
    QTest::mouseClick(windows.aboutWindow()->findChild<QPushButton*>(QStringLiteral("cmdSysInfo")),
                      Qt::LeftButton);
    EXPECT_TRUE(WaitForFile(tool + QStringLiteral(".started")));
    EXPECT_TRUE(dialogs.messages.empty());
    delete windows.aboutWindow();
}

TEST(SystemInfo, WithoutTheValueTheMessageIsShown) {
    ScriptedDialogs dialogs;
    StartSysInfo(DefaultSystemTools(), [&](const std::string& title, const std::string& text) {
        dialogs.message(nullptr, QString::fromStdString(title), QString::fromStdString(text),
                        Dialogs::Icon::None);
    });
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("System Information Is Unavailable At This Time"));
}

// The password places of a Windows user, with whatever they held put back.
class WindowsPasswordPlaces : public ::testing::Test {
protected:
    void SetUp() override {
        for (const PasswordPlace& place : places.places())
            for (const std::string* path : {&place.files.flagPath, &place.files.passwordPath}) {
                const QString name = QtPath(*path);
                QFile file(name);
                saved.push_back({name,
                                 file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(),
                                 QFile::exists(name)});
                file.close();
                QFile::remove(name);
            }
    }
    void TearDown() override {
        for (const Saved& file : saved) {
            QFile::remove(file.name);
            if (!file.existed) continue;
            QFile restore(file.name);
            if (restore.open(QIODevice::WriteOnly)) restore.write(file.bytes);
        }
    }

    void Put(const std::string& path, const QByteArray& bytes) {
        const QString name = QtPath(path);
        QDir().mkpath(QFileInfo(name).path());
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    struct Saved {
        QString name;
        QByteArray bytes;
        bool existed;
    };
    PasswordPlaces places = DefaultPasswordPlaces();
    std::vector<Saved> saved;
};

TEST_F(WindowsPasswordPlaces, OwnFolderThenVirtualStoreThenTheRootOfC) {
    const QString local = QDir::toNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
    ASSERT_FALSE(local.isEmpty());
    ASSERT_EQ(places.places().size(), 3u);
    EXPECT_EQ(PathForDisplay(places.places()[0].files.flagPath).toLower(),
              (local + QStringLiteral("\\Tolvana\\numberone")).toLower());
    EXPECT_EQ(PathForDisplay(places.places()[1].files.passwordPath).toLower(),
              (local + QStringLiteral("\\VirtualStore\\id")).toLower());
    EXPECT_EQ(places.places()[2].files.flagPath, "c:\\numberone");
    EXPECT_EQ(places.places()[2].files.passwordPath, "c:\\id");
    EXPECT_EQ(places.writeOrder(), (std::vector<std::size_t>{2, 0}));
}

TEST_F(WindowsPasswordPlaces, AnOlderCopysRedirectedPasswordIsAskedAtStart) {
    Put(places.places()[1].files.flagPath, QByteArray("\x01\x00", 2));
    Put(places.places()[1].files.passwordPath, QByteArray("\"gammalt\"\r\n"));
    ScriptedDialogs dialogs;
    dialogs.inputAnswers = {QStringLiteral("fel"), QStringLiteral("gammalt")};
    EXPECT_TRUE(RunStartupLock(dialogs, places));
    EXPECT_EQ(dialogs.inputs.size(), 2u);
}

TEST_F(WindowsPasswordPlaces, APasswordSetInTheRootOfCIsAskedAtTheNextStart) {
    StorePassword(places, "ny");
    EXPECT_TRUE(QFile::exists(QStringLiteral("c:/id")));
    ScriptedDialogs dialogs;
    dialogs.inputAnswers = {QStringLiteral("ny")};
    EXPECT_TRUE(RunStartupLock(dialogs, places));
    dialogs.inputAnswers = {QString()};
    EXPECT_FALSE(RunStartupLock(dialogs, places));
}

} // namespace
} // namespace tolvana::ui
