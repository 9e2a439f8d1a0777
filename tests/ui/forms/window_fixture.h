#pragma once

// The window tests' fixture: scripted dialogs, fake system tools, password
// files of their own, the secondary windows of one main window, and no window
// left afterwards.

#include "tests/support/fake_system.h"
#include "tests/support/password_folder.h"
// GCC 12 at -O2 wrongly takes the scripted dialogs' copied optional<QString>
// for uninitialized.
#include "tests/support/scripted_dialogs.h"
#include "ui/forms/secondarywindows.h"

#include <QApplication>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace tolvana::testing {

class WindowTest : public ::testing::Test {
protected:
    ScriptedDialogs dialogs;
    FakeSystemTools tools;
    PasswordFolder passwords;
    ui::SecondaryWindows windows{dialogs, tools, [this] { return passwords.places(); }};

    void TearDown() override {
        // A window may own another (the About window its notices), which
        // goes with it: each is deleted only while it is still there.
        QList<QPointer<QWidget>> windows;
        for (QWidget* window : QApplication::topLevelWidgets()) windows.append(window);
        for (const QPointer<QWidget>& window : windows) delete window.data();
    }

    // Runs the deletions that closing windows asked for.
    static void flushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    static int windowsNamed(const QString& name) {
        const QWidgetList all = QApplication::topLevelWidgets();
        return int(std::count_if(all.begin(), all.end(),
                                 [&](QWidget* w) { return w->objectName() == name; }));
    }

    template <typename T = QWidget> static T* child(QWidget* window, const char* name) {
        T* found = window->findChild<T*>(QLatin1String(name));
        if (!found) ADD_FAILURE() << "no child " << name;
        return found;
    }

    static bool activate(QWidget* window) {
        window->activateWindow();
        return QTest::qWaitForWindowActive(window);
    }
};

} // namespace tolvana::testing
