#pragma once

// The main window's file dialog. Like a dialog control placed on the window,
// it keeps its settings from one use to the next: a command changes only what
// it sets, and whatever it leaves alone stays as an earlier command left it.

#include "ui/dialogs/dialogs.h"

#include <QObject>

namespace tolvana::ui {

class FileDialog : public QObject {
    Q_OBJECT

public:
    FileDialog(Dialogs& dialogs, QWidget* owner);

    FileRequest settings;

    // Shows the dialog with the current settings; nothing on Cancel.
    std::optional<QString> showOpen();
    std::optional<QString> showSave();

private:
    std::optional<QString> show(FileRequest::Kind kind);

    Dialogs& dialogs_;
    QWidget* owner_;
};

} // namespace tolvana::ui
