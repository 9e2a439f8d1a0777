#pragma once

// The About window "frmAbout": title, version, a picture, what the program
// is, the commit it was built from and its licence, an OK button, a button
// that starts the system information tool and "Licenser…", which shows the
// licence notices of everything the program carries. It is a small dialog
// that can be made larger; OK, Enter and Esc close it.

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QString>

class QPlainTextEdit;

namespace tolvana::ui {

class Dialogs;
class SystemTools;

// "Version " and the program's version, such as "Version 1.0.0".
QString VersionText();

// The window's picture: 57 by 32 pixels, in colour.
QImage AboutPicture();

// The text of "lblDescription": what the program is, the commit it was built
// from (its first 12 digits) and its licence.
QString DescriptionText();

// The window "frmLicenses" that "Licenser…" opens: every licence notice of
// the program (LicenseNotices) in one read-only box that scrolls, and
// "Stäng". It belongs to the About window and closes with it.
class LicenseWindow : public QDialog {
public:
    explicit LicenseWindow(QWidget* parent);
    QPlainTextEdit* textBox() const { return text_; }

private:
    QPlainTextEdit* text_;
};

class AboutWindow : public QDialog {
public:
    // `dialogs` shows the "unavailable" message and `tools` finds and starts
    // the system information tool; both must outlive the window.
    AboutWindow(Dialogs& dialogs, SystemTools& tools);

private:
    void load();
    void startSysInfo();
    void showLicenses();

    Dialogs& dialogs_;
    SystemTools& tools_;
    QPointer<LicenseWindow> licenses_;
};

} // namespace tolvana::ui
