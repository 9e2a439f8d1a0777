#pragma once

// The About window "frmAbout": title, version, a picture and two lines of
// text, an OK button and a button that starts the system information tool.
// It is a small dialog that can be made larger; OK, Enter and Esc close it.

#include <QDialog>
#include <QImage>
#include <QString>

namespace tolvana::ui {

class Dialogs;
class SystemTools;

// "Version " and the program's version, such as "Version 1.0.0".
QString VersionText();

// The window's picture: 57 by 32 pixels, in colour.
QImage AboutPicture();

class AboutWindow : public QDialog {
public:
    // `dialogs` shows the "unavailable" message and `tools` finds and starts
    // the system information tool; both must outlive the window.
    AboutWindow(Dialogs& dialogs, SystemTools& tools);

private:
    void load();
    void startSysInfo();

    Dialogs& dialogs_;
    SystemTools& tools_;
};

} // namespace tolvana::ui
