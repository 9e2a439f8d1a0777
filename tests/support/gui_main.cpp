// Entry point of the GUI test programs: a QApplication on the offscreen
// platform unless the caller chose another one, with the program's font, then
// GoogleTest.

#include "ui/texts/designfont.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <vector>

int main(int argc, char** argv) {
    // The platform is also given on the command line: a program run under
    // Wine does not see QT_QPA_PLATFORM from the Linux environment.
    std::vector<char*> args(argv, argv + argc);
    static char platformOption[] = "-platform";
    static char offscreen[] = "offscreen";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        args.push_back(platformOption);
        args.push_back(offscreen);
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    QApplication app(count, args.data());
    tolvana::ui::UseDesignFont();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
