#pragma once

// The help window "FRMHELP": a fixed Swedish help text in one editable box.
// Edits stay in the box while the window is open and are never stored.

#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace tolvana::ui {

// The help text as stored: eight lines, each ending in CR LF.
QString HelpText();

class HelpWindow : public QWidget {
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // The box "TxtHelp". It shows the help text with ordinary line breaks in
    // place of CR LF, which a Qt text box would show as an extra character.
    QPlainTextEdit* textBox() const { return text_; }

private:
    QPlainTextEdit* text_;
};

} // namespace tolvana::ui
