#pragma once

// A multi-line text box whose text is exactly the string it was given, and
// that stays quick with texts of millions of lines.
//
// The box keeps its text as one string with an index of where each line
// starts, and lays out and paints only the lines in view. It has its own idea
// of a line break (CR LF or LF); every other control character is drawn as a
// small framed abbreviation ("CR", "LF", "NUL"...), without depending on any
// font, and reads back as itself. So any string set into the box reads back
// unchanged, and what is typed or pasted is kept as typed.

#include <QAbstractScrollArea>
#include <QFont>
#include <QString>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace tolvana::ui {

class CodeTextBox : public QAbstractScrollArea {
    Q_OBJECT

public:
    enum class LineBreak { CrLf, Lf };

    // How wide each character is drawn in a box's font; shared by the box and
    // by the threads that prepare a text for it, and never changed once made.
    struct Widths;

    // A text with its line index, ready to be shown. Made by a Preparer on
    // any thread; setting it into the box takes no time.
    struct Content {
        QString text;
        std::vector<qsizetype> lineStarts{0};
        double widest = 0; // the width of the longest line, in pixels
        std::shared_ptr<const Widths> widths;
    };

    // Makes a Content for one box. A copy may be used on another thread.
    class Preparer {
    public:
        Content operator()(QString text) const;
        // The same for the text of code page codes, converted on the way;
        // `progress` hears the fraction done now and then, and may throw to
        // stop.
        Content fromCodes(std::string_view codes,
                          const std::function<void(double)>& progress = {}) const;

    private:
        friend class CodeTextBox;
        LineBreak lineBreak_ = LineBreak::Lf;
        std::shared_ptr<const Widths> widths_;
    };

    explicit CodeTextBox(LineBreak lineBreak, QWidget* parent = nullptr);
    ~CodeTextBox() override;

    QString text() const { return content_.text; }
    void setText(const QString& text);
    Preparer preparer() const;
    void setContent(Content content);

    // The text as the box shows it: line breaks as "\n", every other control
    // character as its Unicode picture (U+2400 onward).
    QString toPlainText() const { return ToDisplay(content_.text, lineBreak_); }
    bool isReadOnly() const { return false; }
    qsizetype lineCount() const { return static_cast<qsizetype>(content_.lineStarts.size()); }
    // The line that holds a position, and where a line begins.
    qsizetype lineOf(qsizetype position) const;
    qsizetype lineStart(qsizetype line) const;

    qsizetype cursorPosition() const { return caret_; }
    void setCursorPosition(qsizetype position);
    QString selectedText() const;
    void selectAll();

    // How a text is shown in plain characters, and how such a showing reads
    // back; kept for messages and for the tests of what is shown.
    static QString ToDisplay(const QString& text, LineBreak lineBreak);
    static QString FromDisplay(const QString& shown, LineBreak lineBreak);

    // Pasted or dropped text: any line-break convention (CR LF, CR, LF, U+2028,
    // U+2029) becomes a line break of the box; all else is kept as it is.
    QString pasted(const QString& text) const;

    // Positions as the box shows them: in a CR LF box each line break is one
    // shown "\n", everywhere else a shown character is a character of the
    // text. Accessibility tools count in these; each takes only a look-up in
    // the line index.
    qsizetype shownLength() const;
    qsizetype shownOffset(qsizetype position) const;
    qsizetype positionOfShown(qsizetype offset) const;
    // The shown text from one text position to another.
    QString shownText(qsizetype from, qsizetype to) const;

public slots:
    void copy();
    void cut();
    void paste();
    void undo();
    void redo();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    friend class CodeTextBoxAccessible;

    struct Edit {
        qsizetype position = 0;
        QString removed;
        QString inserted;
    };

    qsizetype breakLength() const { return lineBreak_ == LineBreak::CrLf ? 2 : 1; }
    QString breakText() const;
    qsizetype lineEnd(qsizetype line) const;
    double xOf(qsizetype position) const;
    qsizetype positionAt(const QPoint& viewportPoint) const;
    qsizetype positionInLine(qsizetype line, double x) const;
    qsizetype nextPosition(qsizetype position) const;
    qsizetype previousPosition(qsizetype position) const;
    qsizetype nextWord(qsizetype position) const;
    qsizetype previousWord(qsizetype position) const;
    int lineHeight() const;
    int visibleLines() const;

    void moveCaret(qsizetype position, bool select, bool keepColumn = false);
    // Replaces the text between `from` and `to` and records it for undo.
    void replace(qsizetype from, qsizetype to, const QString& text, bool mergeTyping = false);
    void apply(qsizetype from, qsizetype to, const QString& text);
    void insertTyped(const QString& text, bool mergeTyping);
    void removeSelection();
    void reindex(qsizetype from, qsizetype oldEnd, qsizetype newEnd);
    void refreshWidths();
    void updateScrollBars();
    void ensureCaretVisible() { ensureVisible(caret_); }
    void ensureVisible(qsizetype position);
    // Where a character is drawn, in viewport coordinates.
    QRectF characterCell(qsizetype position) const;
    // Tells accessibility tools of a moved caret or a changed selection.
    void reportCaret();
    qsizetype selectionStart() const { return std::min(anchor_, caret_); }
    qsizetype selectionEnd() const { return std::max(anchor_, caret_); }

    LineBreak lineBreak_;
    Content content_;
    std::shared_ptr<const Widths> widths_;
    qsizetype caret_ = 0;
    qsizetype anchor_ = 0;
    double wantedX_ = -1; // the column kept while moving up and down
    std::vector<Edit> undo_;
    std::vector<Edit> redo_;
    bool lastWasTyping_ = false;
    // The caret and anchor accessibility tools last heard of.
    qsizetype reportedCaret_ = 0;
    qsizetype reportedAnchor_ = 0;
};

} // namespace tolvana::ui
