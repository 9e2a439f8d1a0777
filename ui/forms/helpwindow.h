#pragma once

// The help window "FRMHELP": the fixed Swedish help text in one editable
// box, followed by a short guide to the program. Edits stay in the box while
// the window is open and are never stored.

#include "ui/platform/passwordplaces.h"

#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace tolvana::ui {

// The help text as stored: eight lines, each ending in CR LF.
QString HelpText();

// The guide below it: the commands, the password and where its files are
// (`places`, in the order they are read), sending a cipher file to someone
// without the program, and that the cipher has no key. Lines end in CR LF.
QString HelpGuide(const PasswordPlaces& places);

// What the box holds when the window opens: the help text, then the guide.
QString HelpWindowText(const PasswordPlaces& places);

class HelpWindow : public QWidget {
public:
    // `places` are the password places that the guide names.
    explicit HelpWindow(const PasswordPlaces& places, QWidget* parent = nullptr);

    // The box "TxtHelp". It shows the text with ordinary line breaks in place
    // of CR LF, which a Qt text box would show as an extra character. It has
    // no scroll bars; the text scrolls with the caret, the keys and the wheel.
    QPlainTextEdit* textBox() const { return text_; }

private:
    QPlainTextEdit* text_;
};

} // namespace tolvana::ui
