// The program's windows carry its icon and its desktop name, so that task
// bars, docks and Alt+Tab show Tolvana's icon and group the window with its
// menu entry.

#include "ui/platform/programidentity.h"

#include <QFile>
#include <QGuiApplication>
#include <QWidget>

#include <gtest/gtest.h>

namespace tolvana::ui {
namespace {

TEST(ProgramIdentity, EveryWindowShowsTheProgramsIconAndNamesItsMenuEntry) {
    UseProgramIdentity();
    EXPECT_EQ(QGuiApplication::desktopFileName(), QStringLiteral("se.tolvana.Tolvana"));
    QWidget window;
    const QIcon icon = window.windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(32).size(), QSize(32, 32));
    // Where the icon theme has none, the program's own, in every size.
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        EXPECT_TRUE(QFile::exists(QStringLiteral(":/icons/%1.png").arg(size))) << size;
}

} // namespace
} // namespace tolvana::ui
