#include "ui/forms/secondarywindows.h"

#include "ui/forms/aboutwindow.h"
#include "ui/forms/helpwindow.h"

#include <QPlainTextEdit>
#include <QShortcut>

#include <utility>

namespace tolvana::ui {

namespace {

// A window counts as open from its creation until it is closed; a closed one
// may linger hidden until Qt deletes it, but it is never shown again.
QWidget* OpenWindow(const QPointer<QWidget>& window) {
    return window && window->isVisible() ? window.data() : nullptr;
}

// Escape closes a secondary window, as it closes a dialog.
void CloseOnEscape(QWidget* window) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
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
        CloseOnEscape(help_);
        // The help text can be read, selected and copied, but not changed.
        for (auto* text : help_->findChildren<QPlainTextEdit*>()) {
            text->setReadOnly(true);
            text->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                          Qt::TextSelectableByKeyboard);
        }
    }
    ShowInFront(help_);
}

void SecondaryWindows::showAbout() {
    if (!OpenWindow(about_)) {
        about_ = new AboutWindow(dialogs_, tools_);
        about_->setAttribute(Qt::WA_DeleteOnClose);
        CloseOnEscape(about_);
    }
    ShowInFront(about_);
}

QWidget* SecondaryWindows::helpWindow() const { return OpenWindow(help_); }

QWidget* SecondaryWindows::aboutWindow() const { return OpenWindow(about_); }

} // namespace tolvana::ui
