#pragma once

// A multi-line text box whose text is exactly the string it was given.
//
// A plain QPlainTextEdit changes text on its way in and out: it turns "\r\n"
// and a lone "\r" into "\n", and a non-breaking space into a space. This box
// keeps its own idea of a line break (CR LF or LF) and shows every other
// control character as its visible picture (U+2400 onward), so any string of
// code page characters set into the box reads back unchanged.

#include <QPlainTextEdit>

namespace tolvana::ui {

class CodeTextBox : public QPlainTextEdit {
    Q_OBJECT

public:
    enum class LineBreak { CrLf, Lf };

    explicit CodeTextBox(LineBreak lineBreak, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);

    // How a text is shown in the box, and how the box's content reads back.
    static QString ToDisplay(const QString& text, LineBreak lineBreak);
    static QString FromDisplay(const QString& shown, LineBreak lineBreak);

    // Pasted or dropped text: any line-break convention becomes a line break
    // of the box, other control characters become their pictures.
    static QString PastedToDisplay(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    LineBreak lineBreak_;
};

} // namespace tolvana::ui
