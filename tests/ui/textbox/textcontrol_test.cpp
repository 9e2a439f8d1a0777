// The control on its own, over a buffer with no box to show it: keys,
// selection, undo and paste change the buffer as they should, and every
// change of the buffer is told exactly, so that whoever shows the text or
// reads it to a user can follow it from the signal alone.

#include "ui/textbox/textcontrol.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tolvana::ui {
namespace {

using LineBreak = TextBuffer::LineBreak;

class TextControlTest : public ::testing::TestWithParam<LineBreak> {
protected:
    TextControlTest()
        : buffer(GetParam(), std::make_shared<const CharacterWidths>(QApplication::font())),
          control(buffer) {
        QObject::connect(&control, &TextControl::textChanged, [this](const TextControl::Change& c) {
            changes.push_back(c);
            // What was told, applied to what was told before, gives the text.
            if (c.edit) {
                ASSERT_EQ(told.mid(c.position, c.removed.size()), c.removed);
                told.replace(c.position, c.removed.size(), c.inserted);
            } else {
                ASSERT_EQ(c.position, 0);
                ASSERT_EQ(c.removed, told);
                told = c.inserted;
            }
            ASSERT_EQ(told, buffer.text());
        });
    }

    QString br() const { return buffer.breakText(); }
    void set(const QString& text) { control.setContent(buffer.preparer()(text)); }
    bool key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             const QString& text = QString()) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        return control.keyPress(&event);
    }

    TextBuffer buffer;
    TextControl control;
    std::vector<TextControl::Change> changes;
    QString told;
};

TEST_P(TextControlTest, KeysSelectionAndUndoEditTheBufferAlone) {
    set("ab" + br() + "cd");
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_FALSE(changes.back().edit);
    EXPECT_FALSE(buffer.canUndo());

    // End, then right: over the whole line break, never into it.
    EXPECT_TRUE(key(Qt::Key_End));
    EXPECT_EQ(control.position(), 2);
    EXPECT_TRUE(key(Qt::Key_Right));
    EXPECT_EQ(control.position(), 2 + br().size());
    EXPECT_TRUE(key(Qt::Key_Left, Qt::ShiftModifier));
    EXPECT_EQ(control.selectedText(), br());

    // Typing replaces the selection, and undo brings it back.
    EXPECT_TRUE(key(Qt::Key_X, Qt::NoModifier, "x"));
    EXPECT_EQ(buffer.text(), "abxcd");
    EXPECT_TRUE(changes.back().edit);
    EXPECT_TRUE(key(Qt::Key_Z, Qt::ControlModifier));
    EXPECT_EQ(buffer.text(), "ab" + br() + "cd");
    control.redo();
    EXPECT_EQ(buffer.text(), "abxcd");
    // Keys typed one after another undo as one piece.
    control.setPosition(0);
    EXPECT_TRUE(key(Qt::Key_Y, Qt::NoModifier, "y"));
    EXPECT_TRUE(key(Qt::Key_Z, Qt::NoModifier, "z"));
    EXPECT_EQ(buffer.text(), "yzabxcd");
    control.undo();
    EXPECT_EQ(buffer.text(), "abxcd");

    // Backspace at a line's start takes the whole line break.
    set("ab" + br() + "cd");
    control.setPosition(2 + br().size());
    EXPECT_TRUE(key(Qt::Key_Backspace));
    EXPECT_EQ(buffer.text(), "abcd");
    EXPECT_EQ(control.position(), 2);

    // The page keys belong to the view; a read-only control types nothing.
    EXPECT_FALSE(key(Qt::Key_PageDown));
    control.setReadOnly(true);
    const std::size_t told = changes.size();
    key(Qt::Key_Q, Qt::NoModifier, "q");
    EXPECT_FALSE(control.replace(0, 1, "z"));
    control.undo();
    EXPECT_EQ(buffer.text(), "abcd");
    EXPECT_EQ(changes.size(), told);
}

TEST_P(TextControlTest, TheProgramsTextsGoThroughTheControlAlsoWhenReadOnly) {
    set("first" + br() + "second");
    control.select(2, 9);
    control.setReadOnly(true);

    // A replaced text is one step back; the caret goes to its start.
    EXPECT_TRUE(control.replaceContent(buffer.preparer()("new")));
    EXPECT_EQ(buffer.text(), "new");
    EXPECT_FALSE(changes.back().edit);
    EXPECT_EQ(control.position(), 0);
    EXPECT_EQ(control.anchor(), 0);
    // The same text again changes nothing and tells nothing.
    const std::size_t told = changes.size();
    EXPECT_FALSE(control.replaceContent(buffer.preparer()("new")));
    EXPECT_EQ(changes.size(), told);

    control.setReadOnly(false);
    control.undo();
    EXPECT_EQ(buffer.text(), "first" + br() + "second");
    EXPECT_TRUE(changes.back().edit);

    // A new text clears the history.
    set("x");
    EXPECT_FALSE(buffer.canUndo());
    EXPECT_EQ(control.position(), 0);
}

TEST_P(TextControlTest, PasteMakesEveryLineBreakTheBuffersOwnAndUndoesAsOne) {
    set("abc");
    control.select(1, 2);
    QApplication::clipboard()->setText(QStringLiteral("1\r\n2\r3\n4") +
                                       QChar(QChar::LineSeparator) + "5");
    control.paste();
    const QString breaks = br() + "2" + br() + "3" + br() + "4" + br();
    EXPECT_EQ(buffer.text(), "a1" + breaks + "5c");
    EXPECT_EQ(control.position(), 2 + breaks.size() + 1);
    control.undo();
    EXPECT_EQ(buffer.text(), "abc");

    // Copy and cut give the buffer's own text back.
    control.selectAll();
    control.cut();
    EXPECT_EQ(QApplication::clipboard()->text(), "abc");
    EXPECT_TRUE(buffer.text().isEmpty());
    control.setReadOnly(true);
    control.paste();
    EXPECT_TRUE(buffer.text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(BothBreaks, TextControlTest,
                         ::testing::Values(LineBreak::CrLf, LineBreak::Lf), [](const auto& info) {
                             return info.param == LineBreak::CrLf ? "CrLf" : "Lf";
                         });

} // namespace
} // namespace tolvana::ui
