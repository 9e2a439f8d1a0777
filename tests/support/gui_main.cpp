// Entry point of the GUI test programs: a QApplication on the offscreen
// platform unless the caller chose another one, with the program's font, then
// GoogleTest. The user's settings go to a temporary folder, so that no test
// reads or changes the settings of the person who runs it.

#include "ui/texts/designfont.h"

#include <QApplication>
#include <QSettings>
#include <QCoreApplication>
#include <QDir>

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
    // A folder named by the process, not a QTemporaryDir: its random name
    // crashes the static Qt of the Windows build under Wine at this point.
    QDir settings(QDir::temp().filePath(
        QStringLiteral("tolvana-test-settings-%1").arg(QCoreApplication::applicationPid())));
    settings.removeRecursively();
    settings.mkpath(QStringLiteral("."));
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    settings.removeRecursively();
    return result;
}
