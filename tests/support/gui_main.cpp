// Entry point of the GUI test programs: a QApplication on the offscreen
// platform unless the caller chose another one, with the program's font, then
// GoogleTest.

#include "ui/designfont.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tolvana::ui::UseDesignFont();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
