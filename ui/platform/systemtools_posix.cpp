// The system as the About window uses it where there is no Windows registry:
// a registry that finds nothing, so the lookup ends in its "unavailable"
// message, a file test on the file system and a program start that does not
// wait for the program.

#include "ui/platform/systemtools.h"

#include <QFileInfo>
#include <QProcess>

namespace tolvana::ui {

namespace {

class QtSystemTools : public SystemTools {
public:
    Registry& registry() override { return registry_; }

    bool fileExists(const std::string& path) override {
        return QFileInfo(QString::fromLocal8Bit(path)).isFile();
    }

    bool startProgram(const std::string& path) override {
        // The path is the program itself, blanks and all, not a command line.
        return QProcess::startDetached(QString::fromLocal8Bit(path), {});
    }

private:
    EmptyRegistry registry_;
};

} // namespace

SystemTools& DefaultSystemTools() {
    static QtSystemTools tools;
    return tools;
}

} // namespace tolvana::ui
