#pragma once

// What the GUI tests need to drive a main window: one shown and active with
// scripted dialogs, its controls by name, its buttons pressed with the mouse,
// and text typed as key presses.

#include "tests/support/scripted_dialogs.h"
#include "ui/mainwindow.h"
#include "ui/textbox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tolvana::testing {

// Types text as key presses carrying the characters, so letters outside ASCII
// can be typed too.
inline void Type(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QApplication::sendEvent(widget, &release);
    }
}

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override { start(','); }

    // A fresh window whose locale writes numbers with `decimal`.
    void start(char decimal) {
        window =
            std::make_unique<ui::MainWindow>(ui::Services{dialogs, [decimal] { return decimal; }});
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
    std::unique_ptr<ui::MainWindow> window;
};

// A text box of its own, shown and with the focus, for each kind of line
// break the test is run with.
class TextBoxFixture : public ::testing::TestWithParam<ui::CodeTextBox::LineBreak> {
protected:
    void SetUp() override {
        box = std::make_unique<ui::CodeTextBox>(GetParam());
        box->resize(350, 105);
        box->show();
        box->activateWindow();
        box->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(box.get()));
    }

    // The box's own line break.
    QString br() const {
        return GetParam() == ui::CodeTextBox::LineBreak::CrLf ? QStringLiteral("\r\n") : "\n";
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(box.get(), k, modifiers);
    }

    std::unique_ptr<ui::CodeTextBox> box;
};

} // namespace tolvana::testing
