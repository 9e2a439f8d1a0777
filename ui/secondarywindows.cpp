#include "ui/secondarywindows.h"

#include "ui/aboutwindow.h"
#include "ui/helpwindow.h"

#include <QFileInfo>
#include <QProcess>

namespace tolvana::ui {

namespace {

// A window counts as open from its creation until it is closed; a closed one
// may linger hidden until Qt deletes it, but it is never shown again.
QWidget* OpenWindow(const QPointer<QWidget>& window) {
    return window && window->isVisible() ? window.data() : nullptr;
}

void ShowInFront(QWidget* window) {
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

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

SecondaryWindows::SecondaryWindows(Dialogs& dialogs, SystemTools& tools)
    : dialogs_(dialogs), tools_(tools) {}

void SecondaryWindows::showHelp() {
    if (!OpenWindow(help_)) {
        help_ = new HelpWindow;
        help_->setAttribute(Qt::WA_DeleteOnClose);
    }
    ShowInFront(help_);
}

void SecondaryWindows::showAbout() {
    if (!OpenWindow(about_)) {
        about_ = new AboutWindow(dialogs_, tools_);
        about_->setAttribute(Qt::WA_DeleteOnClose);
    }
    ShowInFront(about_);
}

QWidget* SecondaryWindows::helpWindow() const { return OpenWindow(help_); }

QWidget* SecondaryWindows::aboutWindow() const { return OpenWindow(about_); }

SystemTools& DefaultSystemTools() {
    static QtSystemTools tools;
    return tools;
}

} // namespace tolvana::ui
