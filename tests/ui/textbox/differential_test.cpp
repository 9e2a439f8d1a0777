// The box against Qt's own plain text edit: the same keys and mouse events,
// sent to a CodeTextBox and to a QPlainTextEdit of the same size holding the
// same text, leave the same caret, selection, text and top line in both.
//
// What the form keeps on purpose is left out: Tab and Shift+Tab move between
// controls and Ctrl+Tab types a tab, lines do not wrap, control characters
// are drawn framed. Positions are compared as the box shows them, where a
// CR LF break is one "\n", as in the plain text edit.

#include "ui/textbox/codetextbox.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QMimeData>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

namespace tolvana::ui {
namespace {

using LineBreak = CodeTextBox::LineBreak;

// What a user sees of a text box after a step.
struct State {
    qsizetype caret = 0;
    qsizetype anchor = 0;
    int top = 0;
    QString text;
    friend bool operator==(const State&, const State&) = default;
    friend std::ostream& operator<<(std::ostream& out, const State& state) {
        return out << "caret " << state.caret << ", anchor " << state.anchor << ", top line "
                   << state.top << ", text \"" << state.text.toStdString() << '"';
    }
};

// A key with its modifiers.
struct Press {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

class Differential : public ::testing::TestWithParam<LineBreak> {
protected:
    void SetUp() override {
        box = std::make_unique<CodeTextBox>(GetParam());
        plain = std::make_unique<QPlainTextEdit>();
        plain->setLineWrapMode(QPlainTextEdit::NoWrap);
        plain->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        plain->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        for (QAbstractScrollArea* area : std::initializer_list<QAbstractScrollArea*>{
                 box.get(), plain.get()}) {
            area->resize(360, 122);
            area->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(area));
        }
        ASSERT_EQ(box->viewport()->size(), plain->viewport()->size());
    }

    // Both hold `shown`, the box with its own line breaks.
    void setText(const QString& shown) {
        box->setText(TextBuffer::FromDisplay(shown, GetParam()));
        plain->setPlainText(shown);
    }
    // The selection from `anchor` to `caret`, in shown offsets.
    void place(qsizetype anchor, qsizetype caret) {
        box->control().select(box->control().buffer().positionOfShown(anchor),
                              box->control().buffer().positionOfShown(caret));
        QTextCursor cursor(plain->document());
        cursor.setPosition(static_cast<int>(anchor));
        cursor.setPosition(static_cast<int>(caret), QTextCursor::KeepAnchor);
        plain->setTextCursor(cursor);
    }
    void scrollTo(int top) {
        box->verticalScrollBar()->setValue(top);
        plain->verticalScrollBar()->setValue(top);
    }

    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(box.get(), k, modifiers);
        QTest::keyClick(plain.get(), k, modifiers);
    }
    void key(const Press& press) { key(press.key, press.modifiers); }
    // Keys that carry characters, as a keyboard layout gives them.
    void type(const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        for (QWidget* widget : {static_cast<QWidget*>(box.get()), static_cast<QWidget*>(plain.get())})
            for (QChar c : text) {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, modifiers, QString(c));
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, modifiers, QString(c));
                QApplication::sendEvent(widget, &press);
                QApplication::sendEvent(widget, &release);
            }
    }

    void mouse(QEvent::Type type, QPoint point, Qt::MouseButton button = Qt::LeftButton,
               Qt::MouseButtons buttons = Qt::LeftButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        for (QAbstractScrollArea* area : std::initializer_list<QAbstractScrollArea*>{
                 box.get(), plain.get()}) {
            QWidget* view = area->viewport();
            QMouseEvent event(type, point, view->mapToGlobal(point), button, buttons, modifiers);
            QApplication::sendEvent(view, &event);
        }
    }
    void press(QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        mouse(QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton, modifiers);
    }
    void release(QPoint point) {
        mouse(QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
    }
    void drag(QPoint point) { mouse(QEvent::MouseMove, point, Qt::NoButton, Qt::LeftButton); }
    void click(QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        press(point, modifiers);
        release(point);
    }
    // A double click as a window system gives it: the second press comes as
    // a double click. The button stays down.
    void doubleClickHeld(QPoint point) {
        click(point);
        mouse(QEvent::MouseButtonDblClick, point);
    }

    // A point in the left part of the character at a shown offset, in the
    // viewport, clearly nearer to its left edge than to its right one; both
    // widgets draw it within a pixel of each other there, or the offset is
    // no good for a click.
    QPoint at(qsizetype shown) const {
        const QRectF cell = box->characterRect(box->control().buffer().positionOfShown(shown));
        return QPoint(static_cast<int>(std::lround(cell.left() + cell.width() * 0.3)),
                      static_cast<int>(cell.center().y()));
    }
    // Whether both draw the place before a shown offset within a quarter
    // pixel: kerning moves some characters in the plain text edit.
    bool drawnAlike(qsizetype shown) const {
        const QTextBlock block = plain->document()->findBlock(static_cast<int>(shown));
        const QTextLine line = block.layout()->lineForTextPosition(
            static_cast<int>(shown - block.position()));
        if (!line.isValid()) return false;
        const double plainX = line.cursorToX(static_cast<int>(shown - block.position())) -
                              plain->horizontalScrollBar()->value();
        const QRectF boxCell = box->characterRect(box->control().buffer().positionOfShown(shown));
        return std::abs(plainX - boxCell.x()) <= 0.25;
    }

    State boxState() const {
        return {box->control().buffer().shownOffset(box->control().position()),
                box->control().buffer().shownOffset(box->control().anchor()),
                box->verticalScrollBar()->value(), box->toPlainText()};
    }
    State plainState() const {
        const QTextCursor cursor = plain->textCursor();
        QString text = plain->document()->toRawText();
        text.replace(QChar::ParagraphSeparator, u'\n');
        return {cursor.position(), cursor.anchor(), plain->verticalScrollBar()->value(), text};
    }
    ::testing::AssertionResult same() const {
        const State ours = boxState();
        const State theirs = plainState();
        if (ours == theirs) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "\n  box:   " << ours << "\n  plain: " << theirs;
    }

    std::unique_ptr<CodeTextBox> box;
    std::unique_ptr<QPlainTextEdit> plain;
};

// Swedish words, separators of every kind, runs of spaces, a tab, graphemes
// of two characters (a letter and its accent, a surrogate pair, a flag) and
// empty lines.
const QString kWords = QStringLiteral(
    "hål över, ån-väg (x) 12.5 kr\n"
    "  ,,, slut\tä.ö!? \"citat\" a+b=c\n"
    "\n"
    "e\u0301n caf\u00e9 \U0001F600x \U0001F1F8\U0001F1EA; sista");

TEST_P(Differential, WordAndCharacterMovesAndDeletes) {
    const Press kKeys[] = {{Qt::Key_Right, Qt::ControlModifier},
                 {Qt::Key_Left, Qt::ControlModifier},
                 {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier},
                 {Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier},
                 {Qt::Key_Backspace, Qt::ControlModifier},
                 {Qt::Key_Delete, Qt::ControlModifier},
                 {Qt::Key_Right, Qt::NoModifier},
                 {Qt::Key_Left, Qt::NoModifier},
                 {Qt::Key_Right, Qt::ShiftModifier},
                 {Qt::Key_Left, Qt::ShiftModifier},
                 {Qt::Key_Backspace, Qt::NoModifier},
                 {Qt::Key_Delete, Qt::NoModifier},
                 {Qt::Key_Home, Qt::NoModifier},
                 {Qt::Key_End, Qt::ShiftModifier},
                 {Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier},
                 {Qt::Key_End, Qt::ControlModifier}};
    for (const auto& k : kKeys) {
        for (qsizetype from = 0; from <= kWords.size(); ++from) {
            setText(kWords);
            // Only places a caret can stand on: not inside a grapheme.
            const QTextBlock block = plain->document()->findBlock(static_cast<int>(from));
            if (!block.layout()->isValidCursorPosition(static_cast<int>(from - block.position())))
                continue;
            place(from, from);
            key(k.key, k.modifiers);
            ASSERT_TRUE(same()) << "key " << k.key << " with " << k.modifiers << " at " << from;
            // Again, with the caret where it now is, and with a selection.
            key(k.key, k.modifiers);
            ASSERT_TRUE(same()) << "twice: key " << k.key << " at " << from;
        }
    }
}

TEST_P(Differential, UpAndDownKeepTheColumnAndSelect) {
    const QString lines = QStringLiteral(
        "den första raden\nkort\n\nen rad som är lite längre\nx\nsista raden här");
    setText(lines);
    const Press kSequence[] = {{Qt::Key_Down, {}},   {Qt::Key_Down, {}},
                     {Qt::Key_Down, {}},   {Qt::Key_Down, Qt::ShiftModifier},
                     {Qt::Key_Up, {}},     {Qt::Key_Up, Qt::ShiftModifier},
                     {Qt::Key_Down, {}},   {Qt::Key_Down, {}},
                     {Qt::Key_Down, {}},   {Qt::Key_Down, Qt::ShiftModifier},
                     {Qt::Key_Up, Qt::ShiftModifier}, {Qt::Key_Right, {}},
                     {Qt::Key_Up, {}},     {Qt::Key_Up, {}}};
    for (qsizetype from = 0; from <= 16; ++from) {
        if (!drawnAlike(from)) continue;
        place(from, from);
        ASSERT_TRUE(same()) << "placed at " << from;
        int step = 0;
        for (const Press& k : kSequence) {
            key(k);
            ASSERT_TRUE(same()) << "from " << from << ", step " << step;
            ++step;
        }
    }
}

TEST_P(Differential, PagesMoveTheViewAndKeepTheCaretsRow) {
    QString lines;
    for (int line = 1; line <= 60; ++line)
        lines += QStringLiteral("rad %1").arg(line) + QString(line % 7, u'x') +
                 (line < 60 ? QStringLiteral("\n") : QString());
    setText(lines);
    const Press kSequence[] = {{Qt::Key_PageDown, {}}, {Qt::Key_PageDown, {}},
                     {Qt::Key_PageUp, {}},   {Qt::Key_PageDown, Qt::ShiftModifier},
                     {Qt::Key_PageDown, {}}, {Qt::Key_Down, {}},
                     {Qt::Key_PageUp, Qt::ShiftModifier}, {Qt::Key_PageUp, {}},
                     {Qt::Key_PageUp, {}}};
    for (int startLine : {0, 2, 5, 7, 20, 54, 59}) {
        for (int top : {0, 1, 3}) {
            QTextCursor cursor(plain->document()->findBlockByNumber(startLine));
            cursor.movePosition(QTextCursor::NextCharacter);
            place(cursor.position(), cursor.position());
            scrollTo(std::min(startLine, std::max(0, startLine - top)));
            ASSERT_TRUE(same()) << "line " << startLine;
            for (const Press& k : kSequence) {
                key(k);
                ASSERT_TRUE(same()) << "line " << startLine << ", top " << top << ", key " << k.key;
            }
            // The first PgDn from the top moves a page.
            place(0, 0);
            key(Qt::Key_PageDown);
            ASSERT_TRUE(same());
            EXPECT_GT(box->verticalScrollBar()->value(), 1);
        }
    }
}

// The first PgDn from the top of a long text, in views of every height from
// a line and a half to a dozen lines: the top margin goes, and where the
// caret comes to a line that is only partly in view, the view follows it.
// (Where the view holds less than two lines a plain text edit sometimes
// runs to the end of the text; the box does not copy that.)
TEST_P(Differential, TheFirstPageDownFromTheTopMovesAsAPlainTextEdit) {
    QString lines;
    for (int line = 1; line <= 300; ++line) lines += QStringLiteral("rad %1\n").arg(line);
    const int lineHeight = QFontMetricsF(box->font()).lineSpacing();
    for (int height = 20; height < 20 + 12 * lineHeight; ++height) {
        box->resize(360, height);
        plain->resize(360, height);
        if (box->viewport()->height() < lineHeight * 3 / 2) continue;
        setText(lines);
        key(Qt::Key_PageDown);
        if (plain->verticalScrollBar()->value() == plain->verticalScrollBar()->maximum()) continue;
        ASSERT_TRUE(same()) << "viewport " << box->viewport()->height();
    }
}

// The mouse: clicks, Shift clicks, double clicks that select a word and
// drags after them that extend by words, triple clicks that select a line
// and drags after them that extend by lines.
TEST_P(Differential, ClicksDoubleClicksAndTripleClicksSelectAndExtend) {
    // A short time for a triple click, for the test's sake.
    QStyleHints* hints = QGuiApplication::styleHints();
    const int interval = hints->mouseDoubleClickInterval();
    hints->setMouseDoubleClickInterval(150);
    const auto restore = qScopeGuard([&] { hints->setMouseDoubleClickInterval(interval); });
    const QString text = QStringLiteral("hål över, ån-väg\nandra raden här\n\ntredje, sista rad");
    setText(text);
    std::vector<qsizetype> places;
    for (qsizetype offset = 0; offset < text.size(); ++offset)
        if (text[offset] != u'\n' && drawnAlike(offset) && drawnAlike(offset + 1))
            places.push_back(offset);
    ASSERT_GT(places.size(), text.size() / 2);

    for (qsizetype from : places) {
        const QPoint start = at(from);
        click(start);
        ASSERT_TRUE(same()) << "click at " << from;
        for (qsizetype to : {places.front(), places[places.size() / 2], places.back()}) {
            click(at(to), Qt::ShiftModifier);
            ASSERT_TRUE(same()) << "Shift click at " << to << " after " << from;
        }

        place(0, 0);
        doubleClickHeld(start);
        ASSERT_TRUE(same()) << "double click at " << from;
        for (qsizetype to : places) {
            if (std::abs(to - from) % 3 != 0) continue;
            drag(at(to));
            ASSERT_TRUE(same()) << "drag from " << from << " to " << to << " after a double click";
        }
        release(at(places.back()));
        ASSERT_TRUE(same());
        click(at(places.front()), Qt::ShiftModifier);
        ASSERT_TRUE(same()) << "Shift click after a double click at " << from;
    }

    for (qsizetype from : {places.front(), places[places.size() / 3], places.back()}) {
        place(0, 0);
        doubleClickHeld(at(from));
        release(at(from));
        press(at(from));
        ASSERT_TRUE(same()) << "triple click at " << from;
        for (qsizetype to : places) {
            drag(at(to));
            ASSERT_TRUE(same()) << "drag from " << from << " to " << to << " after a triple click";
        }
        release(at(places.front()));
        QTest::qWait(QApplication::doubleClickInterval() + 50);
    }
}

// A drag that leaves the view at the bottom selects on below it, as far as
// the pointer is.
TEST_P(Differential, DraggingBelowTheViewSelectsOn) {
    QString lines;
    for (int line = 1; line <= 30; ++line) lines += QStringLiteral("rad %1\n").arg(line);
    setText(lines);
    press(at(2));
    for (int y : {130, 140, 160}) {
        drag(QPoint(20, y));
        ASSERT_TRUE(same()) << y;
    }
    release(QPoint(20, 160));
    ASSERT_TRUE(same());
}

TEST_P(Differential, TypedCharactersAltGrAndEnter) {
    setText(QStringLiteral("ab\ncd"));
    place(1, 1);
    type(QStringLiteral("åäöÅÄÖé"));
    ASSERT_TRUE(same());
    // AltGr on Windows comes as Ctrl+Alt; Ctrl alone types nothing.
    type(QStringLiteral("@€{}[]\\|£$"), Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(same());
    type(QStringLiteral("~^"), Qt::GroupSwitchModifier);
    ASSERT_TRUE(same());
    type(QStringLiteral("x"), Qt::ControlModifier);
    ASSERT_TRUE(same());
    type(QString::fromUtf8("\xF0\x9F\x98\x80"));
    ASSERT_TRUE(same());
    key(Qt::Key_Return);
    key(Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(same());
    EXPECT_TRUE(box->toPlainText().contains(QStringLiteral("@€{}[]\\|£$")));
}

TEST_P(Differential, TheContextMenuHasTheSameItemsShortcutsAndLetters) {
    setText(QStringLiteral("ett två"));
    QApplication::clipboard()->setText(QStringLiteral("x"));
    for (int step = 0; step < 3; ++step) {
        if (step == 1) place(0, 3);
        if (step == 2) type(QStringLiteral("y"));
        std::unique_ptr<QMenu> ours(box->createStandardContextMenu());
        std::unique_ptr<QMenu> theirs(plain->createStandardContextMenu());
        const QList<QAction*> ourActions = ours->actions();
        const QList<QAction*> theirActions = theirs->actions();
        ASSERT_EQ(ourActions.size(), theirActions.size());
        for (qsizetype i = 0; i < ourActions.size(); ++i) {
            EXPECT_EQ(ourActions[i]->text(), theirActions[i]->text()) << i;
            EXPECT_EQ(ourActions[i]->isSeparator(), theirActions[i]->isSeparator()) << i;
            EXPECT_EQ(ourActions[i]->isEnabled(), theirActions[i]->isEnabled())
                << ourActions[i]->text().toStdString() << " at step " << step;
        }
    }
}

TEST_P(Differential, DroppedTextGoesWhereItIsDropped) {
    const QString text = QStringLiteral("hål över\nandra raden");
    QMimeData data;
    data.setText(QStringLiteral("ny\r\ntext"));
    for (qsizetype at : {0, 3, 9, 15}) {
        setText(text);
        if (!drawnAlike(at) || !drawnAlike(at + 1)) continue;
        place(1, 2);
        const QPointF point = this->at(at);
        for (QAbstractScrollArea* area : std::initializer_list<QAbstractScrollArea*>{
                 box.get(), plain.get()}) {
            QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(area->viewport(), &enter);
            ASSERT_TRUE(enter.isAccepted());
            QDragMoveEvent move(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(area->viewport(), &move);
            QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(area->viewport(), &drop);
            ASSERT_TRUE(drop.isAccepted());
        }
        ASSERT_TRUE(same()) << "dropped at " << at;
    }
}

// Where the platform has a selection of its own (X11), selecting sets it and
// the middle button pastes it where it is pressed.
TEST_P(Differential, TheMiddleButtonPastesTheSelection) {
    QClipboard* clipboard = QApplication::clipboard();
    if (!clipboard->supportsSelection()) GTEST_SKIP() << "no selection on this platform";
    const QString text = QStringLiteral("hål över\nandra raden");
    setText(text);
    place(0, 0);
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(clipboard->text(QClipboard::Selection), QStringLiteral("hå"));
    for (qsizetype to : {5, 12}) {
        if (!drawnAlike(to) || !drawnAlike(to + 1)) continue;
        clipboard->setText(QStringLiteral("mitt"), QClipboard::Selection);
        mouse(QEvent::MouseButtonPress, at(to), Qt::MiddleButton, Qt::MiddleButton);
        mouse(QEvent::MouseButtonRelease, at(to), Qt::MiddleButton, Qt::NoButton);
        ASSERT_TRUE(same()) << "middle click at " << to;
        EXPECT_TRUE(box->toPlainText().contains(QStringLiteral("mitt")));
    }
    // A double click selects a word, and that is the selection.
    doubleClickHeld(at(12));
    release(at(12));
    EXPECT_EQ(clipboard->text(QClipboard::Selection), box->control().selectedText());
}

INSTANTIATE_TEST_SUITE_P(BothBreaks, Differential,
                         ::testing::Values(LineBreak::CrLf, LineBreak::Lf), [](const auto& info) {
                             return info.param == LineBreak::CrLf ? "CrLf" : "Lf";
                         });

} // namespace
} // namespace tolvana::ui
