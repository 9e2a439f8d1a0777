#pragma once

// The help window and the About window as the main window opens them. Each
// exists at most once: asking for an open one brings it to the front as it is,
// and one that was closed is built afresh the next time. Both are modeless
// top-level windows without an owner, so they stay open, and keep the program
// running, after the main window has closed.

#include "ui/forms/twips.h"
#include "ui/platform/passwordplaces.h"
#include "ui/platform/sysinfo.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace tolvana::ui {

class Dialogs;

class SecondaryWindows {
public:
    // `dialogs` and `tools` serve the About window for as long as it is open,
    // which may be longer than the main window lives: they must outlive both.
    // `passwordPlaces` gives the places whose files the help window names,
    // asked each time the window is built.
    SecondaryWindows(Dialogs& dialogs, SystemTools& tools,
                     std::function<PasswordPlaces()> passwordPlaces = DefaultPasswordPlaces);

    // Show the help window ("FRMHELP") or the About window ("frmAbout"), or
    // bring the open one to the front. They return at once.
    void showHelp();
    void showAbout();

    // The open window, or nullptr when it is not open.
    QWidget* helpWindow() const;
    QWidget* aboutWindow() const;

private:
    Dialogs& dialogs_;
    SystemTools& tools_;
    std::function<PasswordPlaces()> passwordPlaces_;
    QPointer<QWidget> help_;
    QPointer<QWidget> about_;
};

} // namespace tolvana::ui
