// What a screen reader sees of the text box: the text as shown, the caret,
// the selection, edits made through the accessibility interface, and the
// events that tell of changes.

#include "tests/support/textbox_fixture.h"
#include "ui/textbox/codetextbox.h"
#include "ui/textbox/codetextboxaccessible.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace tolvana::ui {
namespace {

using LineBreak = CodeTextBox::LineBreak;
using testing::Type;

// One event as an update handler heard it.
struct Heard {
    QAccessible::Event type = QAccessible::InvalidEvent;
    QObject* object = nullptr;
    int position = -1;
    QString removed;
    QString inserted;
    int selectionStart = -1;
    int selectionEnd = -1;
};

std::vector<Heard>& HeardEvents() {
    static std::vector<Heard> heard;
    return heard;
}

void Record(QAccessibleEvent* event) {
    Heard heard;
    heard.type = event->type();
    heard.object = event->object();
    switch (event->type()) {
    case QAccessible::TextInserted: {
        auto* insert = static_cast<QAccessibleTextInsertEvent*>(event);
        heard.position = insert->changePosition();
        heard.inserted = insert->textInserted();
        break;
    }
    case QAccessible::TextRemoved: {
        auto* remove = static_cast<QAccessibleTextRemoveEvent*>(event);
        heard.position = remove->changePosition();
        heard.removed = remove->textRemoved();
        break;
    }
    case QAccessible::TextUpdated: {
        auto* update = static_cast<QAccessibleTextUpdateEvent*>(event);
        heard.position = update->changePosition();
        heard.removed = update->textRemoved();
        heard.inserted = update->textInserted();
        break;
    }
    case QAccessible::TextSelectionChanged: {
        auto* selection = static_cast<QAccessibleTextSelectionEvent*>(event);
        heard.position = selection->cursorPosition();
        heard.selectionStart = selection->selectionStart();
        heard.selectionEnd = selection->selectionEnd();
        break;
    }
    case QAccessible::TextCaretMoved:
        heard.position = static_cast<QAccessibleTextCursorEvent*>(event)->cursorPosition();
        break;
    default: break;
    }
    HeardEvents().push_back(heard);
}

class AccessibleTextBoxTest : public testing::TextBoxFixture {
protected:
    void SetUp() override {
        TextBoxFixture::SetUp();
        if (HasFatalFailure()) return;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box.get());
        ASSERT_NE(accessible, nullptr);
        iface = accessible;
        text = accessible->textInterface();
        editable = accessible->editableTextInterface();
        ASSERT_NE(text, nullptr);
        ASSERT_NE(editable, nullptr);
    }
    void TearDown() override { stopListening(); }

    QString all() const { return text->text(0, text->characterCount()); }

    void listen() {
        HeardEvents().clear();
        previous = SetTextBoxEventHandler(Record);
        listening = true;
    }
    void stopListening() {
        if (!listening) return;
        SetTextBoxEventHandler(previous);
        listening = false;
    }
    std::vector<Heard> textChanges() const {
        std::vector<Heard> changes;
        for (const Heard& heard : HeardEvents())
            if (heard.type == QAccessible::TextInserted || heard.type == QAccessible::TextRemoved ||
                heard.type == QAccessible::TextUpdated)
                changes.push_back(heard);
        return changes;
    }
    const Heard* last(QAccessible::Event type) const {
        const auto& heard = HeardEvents();
        for (auto it = heard.rbegin(); it != heard.rend(); ++it)
            if (it->type == type) return &*it;
        return nullptr;
    }

    QAccessibleInterface* iface = nullptr;
    QAccessibleTextInterface* text = nullptr;
    QAccessibleEditableTextInterface* editable = nullptr;
    TextBoxEventHandler previous = nullptr;
    bool listening = false;
};

TEST_P(AccessibleTextBoxTest, IsAFocusedEditableMultiLineText) {
    EXPECT_EQ(iface->role(), QAccessible::EditableText);
    const QAccessible::State state = iface->state();
    EXPECT_TRUE(state.multiLine);
    EXPECT_TRUE(state.editable);
    EXPECT_TRUE(state.focusable);
    EXPECT_TRUE(state.focused);
    EXPECT_FALSE(state.readOnly);
    EXPECT_EQ(iface->object(), box.get());
}

TEST_P(AccessibleTextBoxTest, ReportsTheTextAsShownAndEveryPieceOfIt) {
    // Line breaks, a lone CR and a lone LF (a control character in a CR LF
    // box), other control characters, a non-breaking space and a pair of
    // surrogates.
    const QString content = QStringLiteral("a") + br() + QStringLiteral("b\x01") +
                            QStringLiteral("c\u00A0d") + br() + QStringLiteral("\r\x7F") +
                            QString::fromUtf8("\xF0\x9F\x98\x80") + QStringLiteral("\n") + br() +
                            QStringLiteral("end") + br();
    box->setText(content);
    const QString shown = box->toPlainText();
    ASSERT_EQ(text->characterCount(), shown.size());
    EXPECT_EQ(all(), shown);
    EXPECT_EQ(iface->text(QAccessible::Value), shown);
    for (int from = 0; from <= shown.size(); ++from)
        for (int to = from; to <= shown.size(); ++to)
            ASSERT_EQ(text->text(from, to), shown.mid(from, to - from)) << from << " " << to;
    EXPECT_TRUE(shown.contains(QChar(0x2401)));
    EXPECT_TRUE(shown.contains(QChar(0x00A0)));
}

TEST_P(AccessibleTextBoxTest, FollowsTypingTheCaretAndAShiftArrowSelection) {
    Type(box.get(), QStringLiteral("ab"));
    key(Qt::Key_Return);
    Type(box.get(), QStringLiteral("c\u00E5"));
    EXPECT_EQ(all(), QStringLiteral("ab\nc\u00E5"));
    EXPECT_EQ(text->cursorPosition(), 5);
    EXPECT_EQ(text->selectionCount(), 0);

    key(Qt::Key_Left);
    key(Qt::Key_Left);
    EXPECT_EQ(text->cursorPosition(), 3);
    key(Qt::Key_Left, Qt::ShiftModifier);
    key(Qt::Key_Left, Qt::ShiftModifier);
    ASSERT_EQ(text->selectionCount(), 1);
    int start = -1;
    int end = -1;
    text->selection(0, &start, &end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 3);
    EXPECT_EQ(text->cursorPosition(), 1);
    EXPECT_EQ(text->text(start, end), QStringLiteral("b\n"));
    EXPECT_EQ(box->control().selectedText(), QStringLiteral("b") + br());

    key(Qt::Key_Right);
    EXPECT_EQ(text->selectionCount(), 0);
}

TEST_P(AccessibleTextBoxTest, MovesTheCaretAndSelectsInShownOffsets) {
    box->setText(QStringLiteral("ab") + br() + QStringLiteral("cd"));
    text->setCursorPosition(3);
    EXPECT_EQ(box->control().position(), 2 + br().size());
    text->setSelection(0, 1, 4);
    EXPECT_EQ(box->control().selectedText(), QStringLiteral("b") + br() + QStringLiteral("c"));
    EXPECT_EQ(text->cursorPosition(), 4);
    text->removeSelection(0);
    EXPECT_EQ(text->selectionCount(), 0);
    text->addSelection(3, 0);
    EXPECT_EQ(box->control().selectedText(), QStringLiteral("ab") + br());
    EXPECT_EQ(text->cursorPosition(), 0);
}

TEST_P(AccessibleTextBoxTest, EditsThroughTheInterfaceKeepTheExactTextAndCanBeUndone) {
    box->setText(QStringLiteral("ab"));
    editable->insertText(1, QStringLiteral("\n"));
    EXPECT_EQ(box->text(), QStringLiteral("a") + br() + QStringLiteral("b"));
    EXPECT_EQ(box->control().buffer().lineCount(), 2);
    EXPECT_EQ(all(), QStringLiteral("a\nb"));
    EXPECT_EQ(text->cursorPosition(), 2);

    // Whatever line break a tool sends becomes the box's own.
    editable->insertText(3, QStringLiteral("x\r\ny"));
    EXPECT_EQ(box->text(), QStringLiteral("a") + br() + QStringLiteral("bx") + br() + "y");

    // Deleting the shown "\n" takes the whole line break.
    editable->deleteText(1, 2);
    EXPECT_EQ(box->text(), QStringLiteral("abx") + br() + "y");
    editable->replaceText(0, 2, QStringLiteral("\u00E5\u00E4"));
    EXPECT_EQ(box->text(), QStringLiteral("\u00E5\u00E4x") + br() + "y");

    box->control().undo();
    EXPECT_EQ(box->text(), QStringLiteral("abx") + br() + "y");
    box->control().undo();
    box->control().undo();
    box->control().undo();
    EXPECT_EQ(box->text(), QStringLiteral("ab"));
}

TEST_P(AccessibleTextBoxTest, FindsCharactersWordsAndLinesAroundAnOffset) {
    box->setText(QStringLiteral("one two") + br() + QStringLiteral("three") + br() +
                 QStringLiteral("four"));
    int start = -1;
    int end = -1;
    EXPECT_EQ(text->textAtOffset(9, QAccessible::LineBoundary, &start, &end),
              QStringLiteral("three\n"));
    EXPECT_EQ(start, 8);
    EXPECT_EQ(end, 14);
    EXPECT_EQ(text->textBeforeOffset(9, QAccessible::LineBoundary, &start, &end),
              QStringLiteral("one two\n"));
    EXPECT_EQ(start, 0);
    EXPECT_EQ(text->textAfterOffset(9, QAccessible::LineBoundary, &start, &end),
              QStringLiteral("four"));
    EXPECT_EQ(start, 14);
    EXPECT_EQ(text->textAtOffset(5, QAccessible::WordBoundary, &start, &end),
              QStringLiteral("two"));
    EXPECT_EQ(start, 4);
    EXPECT_EQ(text->textAtOffset(7, QAccessible::CharBoundary, &start, &end), QStringLiteral("\n"));
    EXPECT_EQ(text->textAtOffset(-1, QAccessible::NoBoundary, &start, &end), all());
}

TEST_P(AccessibleTextBoxTest, CharacterRectanglesAndPointsAgree) {
    box->setText(QStringLiteral("abc") + br() + QStringLiteral("d\tef"));
    for (int offset : {0, 2, 4, 5, 6}) {
        const QRect rect = text->characterRect(offset);
        ASSERT_FALSE(rect.isEmpty()) << offset;
        EXPECT_EQ(text->offsetAtPoint(rect.center()), offset) << offset;
    }
    EXPECT_LT(text->characterRect(0).top(), text->characterRect(4).top());
    EXPECT_EQ(text->offsetAtPoint(box->viewport()->mapToGlobal(QPoint(-50, -50))), -1);
}

TEST_P(AccessibleTextBoxTest, AMillionLinesAnswerForAPieceAndScrollToIt) {
    QString content;
    constexpr int kLines = 1'000'000;
    content.reserve(kLines * (7 + br().size()));
    for (int line = 0; line < kLines; ++line)
        content += QStringLiteral("%1").arg(line, 7, 10, QChar(u'0')) + br();
    box->setText(content);
    ASSERT_EQ(text->characterCount(), kLines * 8);
    const int at = 987'654 * 8;
    EXPECT_EQ(text->text(at + 4, at + 11), QStringLiteral("654\n098"));
    int start = -1;
    int end = -1;
    EXPECT_EQ(text->textAtOffset(at + 2, QAccessible::LineBoundary, &start, &end),
              QStringLiteral("0987654\n"));
    EXPECT_EQ(start, at);

    text->scrollToSubstring(at, at + 7);
    const QRect shown(box->viewport()->mapToGlobal(QPoint(0, 0)), box->viewport()->size());
    EXPECT_TRUE(shown.contains(text->characterRect(at + 3).center()));
    EXPECT_EQ(text->offsetAtPoint(text->characterRect(at + 3).center()), at + 3);

    editable->insertText(at + 7, QStringLiteral("\n"));
    EXPECT_EQ(box->text().mid(987'654 * (7 + br().size()), 7 + 2 * br().size()),
              QStringLiteral("0987654") + br() + br());
    EXPECT_EQ(text->characterCount(), kLines * 8 + 1);
}

TEST_P(AccessibleTextBoxTest, NewTextIsOneUpdateAndEditsAreReportedAsShown) {
    box->setText(QStringLiteral("old"));
    listen();
    box->setText(QStringLiteral("x") + br() + QStringLiteral("\x01") + QStringLiteral("y"));
    std::vector<Heard> changes = textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].type, QAccessible::TextUpdated);
    EXPECT_EQ(changes[0].object, box.get());
    EXPECT_EQ(changes[0].position, 0);
    EXPECT_EQ(changes[0].removed, QStringLiteral("old"));
    EXPECT_EQ(changes[0].inserted, QStringLiteral("x\n\u2401y"));

    HeardEvents().clear();
    key(Qt::Key_End, Qt::ControlModifier);
    const Heard* moved = last(QAccessible::TextCaretMoved);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->position, 4);

    HeardEvents().clear();
    Type(box.get(), QStringLiteral("z"));
    changes = textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].type, QAccessible::TextInserted);
    EXPECT_EQ(changes[0].position, 4);
    EXPECT_EQ(changes[0].inserted, QStringLiteral("z"));

    // Backspace at the start of a line takes the whole break: one "\n".
    HeardEvents().clear();
    text->setCursorPosition(2);
    key(Qt::Key_Backspace);
    changes = textChanges();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].type, QAccessible::TextRemoved);
    EXPECT_EQ(changes[0].position, 1);
    EXPECT_EQ(changes[0].removed, QStringLiteral("\n"));

    HeardEvents().clear();
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_Right, Qt::ShiftModifier);
    const Heard* selected = last(QAccessible::TextSelectionChanged);
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->selectionStart, 1);
    EXPECT_EQ(selected->selectionEnd, 3);
    EXPECT_EQ(selected->position, 3);
    EXPECT_EQ(box->control().selectedText(), QStringLiteral("\x01") + QStringLiteral("y"));
}


// Every move of the caret is told of, also one that selects: a screen reader
// follows the caret by these.
TEST_P(AccessibleTextBoxTest, EveryCaretMoveIsToldOf) {
    box->setText(QStringLiteral("ett två") + br() + QStringLiteral("tre fyra"));
    listen();
    const std::vector<std::pair<const char*, std::function<void()>>> moves = {
        {"Right", [this] { key(Qt::Key_Right); }},
        {"Shift+Right", [this] { key(Qt::Key_Right, Qt::ShiftModifier); }},
        {"Ctrl+Right", [this] { key(Qt::Key_Right, Qt::ControlModifier); }},
        {"Ctrl+Shift+Right", [this] { key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier); }},
        {"Down", [this] { key(Qt::Key_Down); }},
        {"Shift+Up", [this] { key(Qt::Key_Up, Qt::ShiftModifier); }},
        {"Home", [this] { key(Qt::Key_Home); }},
        {"Shift+End", [this] { key(Qt::Key_End, Qt::ShiftModifier); }},
        {"PgDn", [this] { key(Qt::Key_PageDown); }},
        {"Ctrl+A", [this] { key(Qt::Key_A, Qt::ControlModifier); }},
        {"click", [this] {
             QTest::mouseClick(box->viewport(), Qt::LeftButton, {},
                               box->characterRect(2).center().toPoint());
         }},
        {"double click", [this] {
             QTest::mouseDClick(box->viewport(), Qt::LeftButton, {},
                                box->characterRect(5).center().toPoint());
         }},
        {"typing", [this] { Type(box.get(), QStringLiteral("x")); }},
        {"a tool", [this] { text->setCursorPosition(1); }},
    };
    for (const auto& [name, move] : moves) {
        HeardEvents().clear();
        const qsizetype before = box->control().position();
        move();
        ASSERT_NE(box->control().position(), before) << name;
        const Heard* moved = last(QAccessible::TextCaretMoved);
        ASSERT_NE(moved, nullptr) << name;
        EXPECT_EQ(moved->position, text->cursorPosition()) << name;
    }
}

// A tool that inserts Unicode control pictures gets the control characters
// they stand for, as the box shows control characters so.
TEST_P(AccessibleTextBoxTest, AnInsertedControlPictureBecomesItsControlCharacter) {
    box->setText(QStringLiteral("ab"));
    editable->insertText(1, QStringLiteral("\u2400\u2401\u241B\u2421"));
    EXPECT_EQ(box->text(), QStringLiteral("a") + QChar(0) + QChar(1) + QChar(0x1B) + QChar(0x7F) +
                               QStringLiteral("b"));
    EXPECT_EQ(all(), QStringLiteral("a\u2400\u2401\u241B\u2421b"));
    editable->replaceText(0, 1, QStringLiteral("\u2409"));
    EXPECT_EQ(box->text().left(1), QStringLiteral("\t"));
}

// A read-only box takes no edit from a tool; its state says so.
TEST_P(AccessibleTextBoxTest, AReadOnlyBoxRefusesEveryEdit) {
    box->setText(QStringLiteral("fast"));
    listen();
    box->setReadOnly(true);
    const Heard* changed = last(QAccessible::StateChanged);
    EXPECT_NE(changed, nullptr);
    editable->insertText(0, QStringLiteral("x"));
    editable->deleteText(0, 2);
    editable->replaceText(0, 4, QStringLiteral("ny"));
    EXPECT_EQ(box->text(), QStringLiteral("fast"));
    EXPECT_TRUE(textChanges().empty());
    EXPECT_TRUE(iface->state().readOnly);
    EXPECT_FALSE(iface->state().editable);
    box->setReadOnly(false);
    editable->insertText(4, QStringLiteral("!"));
    EXPECT_EQ(box->text(), QStringLiteral("fast!"));
}

// In a CR LF box a CR and an LF that come together make a line break; what is
// reported is what the screen shows.
TEST(AccessibleCrLfTextBoxTest, AJoinedCrAndLfAreReportedAsTheLineBreakTheyBecome) {
    CodeTextBox box(LineBreak::CrLf);
    box.setText(QStringLiteral("a\rX\nb"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&box);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->textInterface()->text(0, 5), QStringLiteral("a\u240DX\u240Ab"));
    HeardEvents().clear();
    const TextBoxEventHandler previous = SetTextBoxEventHandler(Record);
    accessible->editableTextInterface()->deleteText(2, 3);
    SetTextBoxEventHandler(previous);
    EXPECT_EQ(box.text(), QStringLiteral("a\r\nb"));
    EXPECT_EQ(box.control().buffer().lineCount(), 2);
    EXPECT_EQ(accessible->textInterface()->text(0, 3), QStringLiteral("a\nb"));
    const auto& heard = HeardEvents();
    const auto update = std::find_if(heard.begin(), heard.end(), [](const Heard& h) {
        return h.type == QAccessible::TextUpdated;
    });
    ASSERT_NE(update, heard.end());
    EXPECT_EQ(update->position, 1);
    EXPECT_EQ(update->removed, QStringLiteral("\u240DX\u240A"));
    EXPECT_EQ(update->inserted, QStringLiteral("\n"));
}

INSTANTIATE_TEST_SUITE_P(BothBreaks, AccessibleTextBoxTest,
                         ::testing::Values(LineBreak::CrLf, LineBreak::Lf), [](const auto& info) {
                             return info.param == LineBreak::CrLf ? "CrLf" : "Lf";
                         });

} // namespace
} // namespace tolvana::ui
