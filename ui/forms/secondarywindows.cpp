#include "ui/forms/secondarywindows.h"

#include "ui/forms/aboutwindow.h"
#include "ui/forms/helpwindow.h"

#include <utility>

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

} // namespace

SecondaryWindows::SecondaryWindows(Dialogs& dialogs, SystemTools& tools,
                                   std::function<PasswordPlaces()> passwordPlaces)
    : dialogs_(dialogs), tools_(tools), passwordPlaces_(std::move(passwordPlaces)) {}

void SecondaryWindows::showHelp() {
    if (!OpenWindow(help_)) {
        help_ = new HelpWindow(passwordPlaces_());
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

} // namespace tolvana::ui
