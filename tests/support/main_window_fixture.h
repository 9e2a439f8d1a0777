#pragma once

// What the GUI tests need to drive a main window: one shown and active with
// scripted dialogs, its controls by name and its buttons pressed with the
// mouse.

#include "tests/support/design_font.h"
#include "tests/support/password_folder.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/textbox_fixture.h"
#include "ui/forms/mainwindow.h"
#include "ui/textbox/codetextbox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tolvana::testing {

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override { start(','); }

    // A fresh window whose locale writes numbers with `decimal`.
    void start(char decimal) {
        window = std::make_unique<ui::MainWindow>(
            ui::Services{dialogs, passwords.places(), [decimal] { return decimal; }});
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    template <class T> T* child(const char* name) const {
        T* found = window->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    ui::CodeTextBox* clear() const { return child<ui::CodeTextBox>("TextRenText"); }
    ui::CodeTextBox* cipher() const { return child<ui::CodeTextBox>("TextKrypterad"); }
    void press(const char* button) {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }

    ScriptedDialogs dialogs;
    PasswordFolder passwords;
    std::unique_ptr<ui::MainWindow> window;
};

} // namespace tolvana::testing
