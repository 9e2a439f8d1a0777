// The main window's place between runs, and its way back onto a screen that
// exists.

#include "tests/support/password_folder.h"
#include "tests/support/scripted_dialogs.h"
#include "ui/forms/mainwindow.h"
#include "ui/forms/windowplace.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tolvana::ui {
namespace {

TEST(PlaceOnScreens, KeepsAPlaceOnAScreenAndMovesOneOffAllOfThemOntoTheFirst) {
    const QRect primary(0, 0, 1920, 1040), second(1920, 0, 1280, 1024);
    const QSize least(437, 400);
    // On a screen that is there: as it was.
    EXPECT_EQ(PlaceOnScreens({2000, 50, 700, 500}, least, {primary, second}),
              QRect(2000, 50, 700, 500));
    // The second screen is gone: onto the primary, at its right edge.
    EXPECT_EQ(PlaceOnScreens({2000, 50, 700, 500}, least, {primary}), QRect(1220, 50, 700, 500));
    // Half off the left and top edges: moved on whole.
    EXPECT_EQ(PlaceOnScreens({-300, -80, 700, 500}, least, {primary}), QRect(0, 0, 700, 500));
    // Larger than the screen it is on now: as large as the screen, never
    // smaller than the window can be.
    EXPECT_EQ(PlaceOnScreens({100, 100, 2500, 1500}, least, {primary}), QRect(0, 0, 1920, 1040));
    EXPECT_EQ(PlaceOnScreens({10, 10, 300, 200}, least, {primary}).size(), least);
    // With a frame 2 pixels wider and 25 higher, the frame fits as well.
    EXPECT_EQ(PlaceOnScreens({2000, 900, 700, 500}, least, {primary}, {2, 25}),
              QRect(1218, 515, 700, 500));
    EXPECT_EQ(PlaceOnScreens({0, 0, 1920, 1040}, least, {primary}, {2, 25}),
              QRect(0, 0, 1918, 1015));
    // Mostly on the second screen: there.
    EXPECT_EQ(PlaceOnScreens({1800, 10, 700, 500}, least, {primary, second}),
              QRect(1920, 10, 700, 500));
}

class WindowPlaceTest : public ::testing::Test {
protected:
    void SetUp() override { settings().clear(); }
    void TearDown() override { settings().clear(); }

    static QSettings settings() {
        return QSettings(QSettings::UserScope, QStringLiteral("Tolvana"),
                         QStringLiteral("Tolvana"));
    }

    std::unique_ptr<MainWindow> start() {
        auto window =
            std::make_unique<MainWindow>(Services{dialogs, passwords.places(), [] { return ','; }});
        RememberPlace(*window);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return window;
    }

    testing::ScriptedDialogs dialogs;
    testing::PasswordFolder passwords;
};

TEST_F(WindowPlaceTest, SizePlaceAndMaximisedStateComeBackAtTheNextStart) {
    const QRect place(40, 30, 700, 520);
    {
        auto window = start();
        window->setGeometry(place);
        QApplication::processEvents();
        window->close();
    }
    {
        auto window = start();
        EXPECT_EQ(window->geometry(), place);
        EXPECT_FALSE(window->isMaximized());
        window->showMaximized();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->isMaximized(); }, 1000));
        window->close();
    }
    auto window = start();
    EXPECT_TRUE(window->isMaximized());
    // Back to this size and place when it is no longer maximised.
    EXPECT_EQ(window->normalGeometry(), place);
}

TEST_F(WindowPlaceTest, APlaceOffEveryScreenComesBackOntoTheScreen) {
    settings().setValue(QStringLiteral("MainWindow/geometry"), QRect(5000, 4000, 600, 480));
    auto window = start();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->geometry())) << window->x() << "," << window->y();
    EXPECT_EQ(window->size(), QSize(600, 480));
}

} // namespace
} // namespace tolvana::ui
