#pragma once

// What the tests of a text box need: a box of its own, shown and with the
// focus, and text typed as key presses.

#include "ui/textbox/codetextbox.h"

#include <QApplication>
#include <QKeyEvent>
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
