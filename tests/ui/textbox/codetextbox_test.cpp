// The text box on its own: editing with keys, mouse and input methods keeps
// the exact text and the line index right, and a huge text stays usable.

#include "tests/support/textbox_fixture.h"
#include "ui/textbox/codetextbox.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

namespace tolvana::ui {
namespace {

using LineBreak = CodeTextBox::LineBreak;

using testing::Type;

// The line starts of a text as a box of that line break reads them.
std::vector<qsizetype> ExpectedStarts(const QString& text, LineBreak lineBreak) {
    const QString breakText = lineBreak == LineBreak::CrLf ? QStringLiteral("\r\n") : "\n";
    std::vector<qsizetype> starts{0};
    for (qsizetype i = text.indexOf(breakText); i >= 0; i = text.indexOf(breakText, i + 1))
        starts.push_back(i + breakText.size());
    return starts;
}

std::vector<qsizetype> Starts(const CodeTextBox& box) {
    std::vector<qsizetype> starts;
    for (qsizetype line = 0; line < box.lineCount(); ++line) starts.push_back(box.lineStart(line));
    return starts;
}

using TextBoxTest = testing::TextBoxFixture;

TEST_P(TextBoxTest, TypingEnterAndDeletingKeepTheBoxsLineBreaksWhole) {
    Type(box.get(), QStringLiteral("ab"));
    key(Qt::Key_Return);
    key(Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    Type(box.get(), QStringLiteral("åäö"));
    EXPECT_EQ(box->text(), "ab" + br() + br() + "åäö");
    EXPECT_EQ(box->lineCount(), 3);

    // The caret steps over a line break as one character, in both directions.
    key(Qt::Key_Home);
    key(Qt::Key_Left);
    EXPECT_EQ(box->cursorPosition(), 2 + br().size());
    key(Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "ab" + br() + "åäö");
    EXPECT_EQ(box->cursorPosition(), 2);
    key(Qt::Key_Delete);
    EXPECT_EQ(box->text(), "abåäö");
    EXPECT_EQ(box->lineCount(), 1);
    key(Qt::Key_End);
    key(Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "abåä");

    // Whole words go with Ctrl.
    box->setText(QStringLiteral("ett två tre"));
    box->setFocus();
    key(Qt::Key_End);
    key(Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "ett två ");
    // As in Qt's text edits, the white space after a word goes with it.
    key(Qt::Key_Home);
    key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(box->text(), "två ");
}

TEST_P(TextBoxTest, ArrowsPagesAndSelectionMoveByLinesAndCharacters) {
    box->setText("first" + br() + "2" + br() + "third line" + br() + "x");
    box->setFocus();
    key(Qt::Key_End);
    key(Qt::Key_Down); // the short line ends the column
    EXPECT_EQ(box->cursorPosition(), 5 + br().size() + 1);
    key(Qt::Key_Down); // and the column comes back on a long line
    EXPECT_EQ(box->lineOf(box->cursorPosition()), 2);
    EXPECT_GE(box->cursorPosition() - box->lineStart(2), 4);
    key(Qt::Key_Home);
    key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(box->selectedText(), "third line");
    key(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(box->selectedText(), "first" + br() + "2" + br());
    key(Qt::Key_PageDown);
    EXPECT_EQ(box->lineOf(box->cursorPosition()), 3);
    key(Qt::Key_PageUp);
    EXPECT_EQ(box->lineOf(box->cursorPosition()), 0);
}

TEST_P(TextBoxTest, CopyCutPasteUndoAndRedoGiveTheExactText) {
    const QString held = QStringLiteral("a") + QChar(0) + QChar(0xA0) + QChar(0x7F) + "\t\r" +
                         QChar(0x2400) + QChar(0x81);
    box->setText(held);
    box->setFocus();
    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), held);
    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(box->text().isEmpty());
    key(Qt::Key_V, Qt::ControlModifier);
    key(Qt::Key_V, Qt::ControlModifier);
    // A pasted lone CR is a line break; nothing else changes on the way.
    QString once = held;
    once.replace(u'\r', br());
    EXPECT_EQ(box->text(), once + once);

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->text(), once);
    key(Qt::Key_Z, Qt::ControlModifier);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box->text(), held);
    key(Qt::Key_Z, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_TRUE(box->text().isEmpty());

    // Typing undoes as one piece.
    Type(box.get(), QStringLiteral("hej"));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(box->text().isEmpty());
}

TEST_P(TextBoxTest, TheMouseSetsTheCaretAndSelects) {
    box->setText("abc" + br() + "defgh");
    const QPoint farRight(box->viewport()->width() - 5, 5);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, farRight);
    EXPECT_EQ(box->cursorPosition(), 3);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(1, 5));
    EXPECT_EQ(box->cursorPosition(), 0);
    QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(farRight.x(), 5 + box->fontMetrics().height()));
    EXPECT_EQ(box->selectedText(), "abc" + br() + "defgh");
    QTest::mouseDClick(box->viewport(), Qt::LeftButton, {}, QPoint(3, 5));
    EXPECT_EQ(box->selectedText(), "abc");
}

TEST_P(TextBoxTest, AnInputMethodCommitsTextLikeTyping) {
    box->setText(QStringLiteral("ab"));
    box->setCursorPosition(1);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("å"));
    QApplication::sendEvent(box.get(), &commit);
    EXPECT_EQ(box->text(), "aåb");
    QInputMethodQueryEvent query(Qt::ImEnabled | Qt::ImSurroundingText | Qt::ImCursorPosition);
    QApplication::sendEvent(box.get(), &query);
    EXPECT_TRUE(query.value(Qt::ImEnabled).toBool());
    EXPECT_EQ(query.value(Qt::ImSurroundingText).toString(), "aåb");
    EXPECT_EQ(query.value(Qt::ImCursorPosition).toInt(), 2);
}

TEST_P(TextBoxTest, TheLineIndexFollowsEveryEdit) {
    // Random edits at random places, with line breaks, lone CRs and LFs
    // coming and going; after each, the index must be what a fresh reading of
    // the text gives.
    std::mt19937 random(7);
    const QString pieces[] = {QStringLiteral("x"), QStringLiteral("\r"), QStringLiteral("\n"),
                              QStringLiteral("\r\n"), QStringLiteral("ab\r\ncd\n\r")};
    box->setText(QStringLiteral("start\r\n\n\r\r\nend"));
    for (int step = 0; step < 400; ++step) {
        const qsizetype size = box->text().size();
        box->setCursorPosition(static_cast<qsizetype>(random() % (size + 1)));
        switch (random() % 4) {
        case 0:
            QApplication::clipboard()->setText(pieces[random() % std::size(pieces)]);
            key(Qt::Key_V, Qt::ControlModifier);
            break;
        case 1: key(Qt::Key_Backspace); break;
        case 2: key(Qt::Key_Delete); break;
        default: key(Qt::Key_Return); break;
        }
        ASSERT_EQ(Starts(*box), ExpectedStarts(box->text(), GetParam())) << "step " << step;
    }
    while (!box->text().isEmpty() || box->lineCount() > 1) {
        const QString before = box->text();
        key(Qt::Key_Z, Qt::ControlModifier);
        ASSERT_EQ(Starts(*box), ExpectedStarts(box->text(), GetParam()));
        if (box->text() == before) break;
    }
    EXPECT_EQ(box->text(), QStringLiteral("start\r\n\n\r\r\nend"));
}

TEST_P(TextBoxTest, AHugeOneLineTextIsShownAndEditedWithoutLayingItAllOut) {
    // 20 million characters on one line: far beyond what a text layout takes.
    const QString huge(20'000'000, u'7');
    box->setText(huge);
    box->setFocus();
    box->show();
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(box->cursorPosition(), huge.size());
    EXPECT_GT(box->horizontalScrollBar()->value(), 0);
    Type(box.get(), QStringLiteral("!"));
    box->repaint();
    EXPECT_EQ(box->text().size(), huge.size() + 1);
    EXPECT_EQ(box->text().back(), u'!');
    EXPECT_EQ(box->lineCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(BothBreaks, TextBoxTest, ::testing::Values(LineBreak::CrLf, LineBreak::Lf),
                         [](const auto& info) {
                             return info.param == LineBreak::CrLf ? "CrLf" : "Lf";
                         });

TEST(TextBoxPreparer, CodesAndTextGiveTheSameContent) {
    // A table of the caller's: codes 128-159 become letters far above Latin.
    CodeTextBox::CodeTable table{};
    for (int code = 0; code < 256; ++code)
        table[code] = code >= 128 && code < 160 ? char16_t(0x0410 + code - 128) : char16_t(code);
    std::string codes;
    for (int i = 0; i < 30000; ++i) codes += static_cast<char>(i * 7 % 256);
    for (LineBreak lineBreak : {LineBreak::CrLf, LineBreak::Lf}) {
        CodeTextBox box(lineBreak);
        const CodeTextBox::Preparer prepare = box.preparer();
        const CodeTextBox::Content fromCodes = prepare.fromCodes(codes, table);
        for (std::size_t i = 0; i < codes.size(); ++i)
            ASSERT_EQ(fromCodes.text[static_cast<qsizetype>(i)],
                      QChar(table[static_cast<unsigned char>(codes[i])]));
        const CodeTextBox::Content fromText = prepare(fromCodes.text);
        EXPECT_EQ(fromCodes.lineStarts, fromText.lineStarts);
        EXPECT_EQ(fromCodes.lineWidths, fromText.lineWidths);
        EXPECT_EQ(fromCodes.lineStarts, ExpectedStarts(fromText.text, lineBreak));
        box.setContent(fromCodes);
        EXPECT_EQ(Starts(box), fromCodes.lineStarts);
    }
}

} // namespace
} // namespace tolvana::ui
