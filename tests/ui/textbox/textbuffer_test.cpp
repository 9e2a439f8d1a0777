// The text buffer on its own: after any edit its line index, line widths and
// the places it keeps in long lines are what a fresh reading of the text
// gives, and an edit that runs out of memory leaves everything as it was.

#include "ui/textbox/textbuffer.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>

// Allocations through operator new fail on request: the index, the widths
// and the history are kept in vectors.
namespace {
std::atomic<long> allocationsBeforeFailure{-1};

void* Allocate(std::size_t size) {
    if (allocationsBeforeFailure.load() >= 0 && allocationsBeforeFailure.fetch_sub(1) == 0)
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace tolvana::ui {
namespace {

using LineBreak = TextBuffer::LineBreak;
using Fixed = TextBuffer::Fixed;

std::shared_ptr<const CharacterWidths> Widths() {
    static const auto widths = std::make_shared<const CharacterWidths>(QApplication::font());
    return widths;
}

// Where a position lies across its line, walked from the line's start.
Fixed WalkedX(const TextBuffer& buffer, qsizetype position) {
    const qsizetype start = buffer.lineStart(buffer.lineOf(position));
    const auto* data = reinterpret_cast<const char16_t*>(buffer.text().constData());
    Fixed x = 0;
    for (qsizetype i = start; i < position; ++i) x = Widths()->Step(x, data, i, buffer.size());
    return x;
}

// Everything the buffer knows of its text against a fresh reading of it.
::testing::AssertionResult Consistent(const TextBuffer& buffer) {
    const TextBuffer::Content fresh = buffer.preparer()(buffer.text());
    if (static_cast<std::size_t>(buffer.lineCount()) != fresh.lineStarts.size())
        return ::testing::AssertionFailure() << buffer.lineCount() << " lines, not "
                                             << fresh.lineStarts.size();
    std::int32_t widest = 0;
    for (qsizetype line = 0; line < buffer.lineCount(); ++line) {
        const auto i = static_cast<std::size_t>(line);
        if (buffer.lineStart(line) != fresh.lineStarts[i])
            return ::testing::AssertionFailure() << "line " << line << " starts at "
                                                 << buffer.lineStart(line);
        if (buffer.lineWidth(line) != fresh.lineWidths[i])
            return ::testing::AssertionFailure() << "line " << line << " is "
                                                 << buffer.lineWidth(line) << " wide, not "
                                                 << fresh.lineWidths[i];
        widest = std::max(widest, fresh.lineWidths[i]);
    }
    if (buffer.widest() != widest)
        return ::testing::AssertionFailure() << "widest " << buffer.widest() << ", not " << widest;
    qsizetype previous = -1;
    for (const TextBuffer::Mark& mark : buffer.marks()) {
        if (mark.position <= previous) return ::testing::AssertionFailure() << "marks out of order";
        previous = mark.position;
        if (mark.position > buffer.size() || mark.x != WalkedX(buffer, mark.position))
            return ::testing::AssertionFailure() << "a wrong mark at " << mark.position;
    }
    return ::testing::AssertionSuccess();
}

class TextBufferTest : public ::testing::TestWithParam<LineBreak> {
protected:
    QString br() const { return GetParam() == LineBreak::CrLf ? QStringLiteral("\r\n") : "\n"; }
};

// Random edits of long lines that hold tabs, lone and paired surrogates,
// lone CRs and LFs and line breaks, anywhere, also where a CR and an LF meet.
TEST_P(TextBufferTest, IndexWidthsAndMarksFollowEveryEdit) {
    TextBuffer buffer(GetParam(), Widths());
    QString start;
    for (int i = 0; i < 9000; ++i) start += QChar(u'a' + i % 26);
    start += br() + QString(7000, u'x') + QStringLiteral("\t") + QString(5000, u'y');
    buffer.setContent(buffer.preparer()(start));
    ASSERT_FALSE(buffer.marks().empty());
    ASSERT_TRUE(Consistent(buffer));

    std::mt19937 random(11);
    const QString pieces[] = {QStringLiteral("w"), QStringLiteral("\t"), QStringLiteral("\r"),
                              QStringLiteral("\n"), br(), QString(QChar(0xD83D)),
                              QString(QChar(0xDE00)), QStringLiteral("\U0001F600"),
                              QString(3000, u'z'), QStringLiteral("ab\tcd") + br() + "ef"};
    for (int step = 0; step < 300; ++step) {
        const qsizetype size = buffer.size();
        const qsizetype from = static_cast<qsizetype>(random() % (size + 1));
        const qsizetype length = random() % 3 == 0 ? static_cast<qsizetype>(random() % 4000) : 0;
        const qsizetype to = std::min(size, from + (random() % 2 ? length : length % 3));
        const QString& inserted = pieces[random() % std::size(pieces)];
        buffer.replace(from, to, random() % 4 == 0 ? QString() : inserted);
        // Places are asked for, which makes marks in long lines.
        buffer.xOf(static_cast<qsizetype>(random() % (buffer.size() + 1)));
        ASSERT_TRUE(Consistent(buffer)) << "step " << step;
    }
    while (buffer.canUndo()) {
        buffer.undo();
        ASSERT_TRUE(Consistent(buffer));
    }
    EXPECT_EQ(buffer.text(), start);
    while (buffer.canRedo()) buffer.redo();
    EXPECT_TRUE(Consistent(buffer));
}

// An edit that finds no memory, at any of the allocations it makes, leaves
// the text, its index and its history as they were; one that finds it is
// made whole and can be undone.
TEST_P(TextBufferTest, AnEditIsRecordedWholeOrNotAtAll) {
    const QString start = QStringLiteral("första") + br() + "andra" + br() + "tredje";
    struct Edit {
        const char* name;
        std::function<void(TextBuffer&)> make;
        bool undoFirst = false;
    };
    const QString lines = QStringLiteral("a") + br() + "b" + br() + "c" + br();
    const Edit edits[] = {
        {"insert lines", [&](TextBuffer& b) { b.replace(3, 3, lines); }},
        {"remove lines", [&](TextBuffer& b) { b.replace(2, b.size() - 2, QString()); }},
        {"typing on", [&](TextBuffer& b) { b.replace(b.size(), b.size(), "y", true); }},
        {"undo", [&](TextBuffer& b) { b.undo(); }},
        {"redo", [&](TextBuffer& b) { b.redo(); }, true},
        {"replace whole", [&](TextBuffer& b) { b.replaceContent(b.preparer()(lines)); }},
    };
    for (const Edit& edit : edits) {
        for (long failure = 0;; ++failure) {
            TextBuffer buffer(GetParam(), Widths());
            buffer.setContent(buffer.preparer()(start));
            buffer.replace(buffer.size(), buffer.size(), QStringLiteral("x"), true);
            if (edit.undoFirst) buffer.undo();
            const QString before = buffer.text();
            bool threw = false;
            allocationsBeforeFailure = failure;
            try {
                edit.make(buffer);
            } catch (const std::bad_alloc&) {
                threw = true;
            }
            allocationsBeforeFailure = -1;
            ASSERT_TRUE(Consistent(buffer)) << edit.name << ", failure " << failure;
            if (!threw) {
                ASSERT_GT(failure, 0) << edit.name << " allocates nothing";
                ASSERT_NE(buffer.text(), before) << edit.name;
                break;
            }
            ASSERT_EQ(buffer.text(), before) << edit.name << ", failure " << failure;
            // The history is whole: undoing takes back the edits before.
            if (edit.undoFirst) buffer.redo();
            while (buffer.canUndo()) buffer.undo();
            ASSERT_EQ(buffer.text(), start) << edit.name << ", failure " << failure;
            ASSERT_TRUE(Consistent(buffer));
        }
    }
}

// A text that replaces the whole is one step of the history: undo brings back
// the text before it, the very string and not a copy, and the edits before
// that. Only the last such step is kept.
TEST_P(TextBufferTest, AReplacedTextIsOneStepAndOnlyTheLastIsKept) {
    TextBuffer buffer(GetParam(), Widths());
    const QString a = QStringLiteral("första") + br() + "andra";
    buffer.setContent(buffer.preparer()(a));
    buffer.replace(buffer.size(), buffer.size(), QStringLiteral("x"), true);
    const QString b = QStringLiteral("b") + br() + "bb" + br();
    buffer.replaceContent(buffer.preparer()(b));
    EXPECT_EQ(buffer.text(), b);
    // Typing right after does not join the step.
    buffer.replace(buffer.size(), buffer.size(), QStringLiteral("y"), true);
    ASSERT_NE(buffer.undo(), nullptr);
    EXPECT_EQ(buffer.text(), b);
    const QChar* bData = buffer.text().constData();
    ASSERT_NE(buffer.undo(), nullptr);
    EXPECT_EQ(buffer.text(), a + "x");
    ASSERT_TRUE(Consistent(buffer));
    ASSERT_NE(buffer.undo(), nullptr);
    EXPECT_EQ(buffer.text(), a);
    EXPECT_FALSE(buffer.canUndo());
    buffer.redo();
    buffer.redo();
    EXPECT_EQ(buffer.text(), b);
    EXPECT_EQ(buffer.text().constData(), bData);
    ASSERT_TRUE(Consistent(buffer));

    // A second replacement drops the first with the edits made before it.
    const QString c = QStringLiteral("c");
    buffer.replaceContent(buffer.preparer()(c));
    EXPECT_FALSE(buffer.canRedo());
    ASSERT_NE(buffer.undo(), nullptr);
    EXPECT_EQ(buffer.text(), b);
    EXPECT_EQ(buffer.text().constData(), bData);
    EXPECT_FALSE(buffer.canUndo());
    ASSERT_TRUE(Consistent(buffer));
}

TEST_P(TextBufferTest, APlaceInsideALineBreakIsNoPlace) {
    TextBuffer buffer(GetParam(), Widths());
    buffer.setContent(buffer.preparer()(QStringLiteral("a") + br() + "b"));
    const bool crLf = GetParam() == LineBreak::CrLf;
    EXPECT_EQ(buffer.insideBreak(2), crLf);
    EXPECT_EQ(buffer.outsideBreak(2), crLf ? 3 : 2);
    EXPECT_FALSE(buffer.insideBreak(1));
    EXPECT_EQ(buffer.shownOffset(2), 2);
}

INSTANTIATE_TEST_SUITE_P(BothBreaks, TextBufferTest,
                         ::testing::Values(LineBreak::CrLf, LineBreak::Lf), [](const auto& info) {
                             return info.param == LineBreak::CrLf ? "CrLf" : "Lf";
                         });

} // namespace
} // namespace tolvana::ui
