#pragma once

// Every modal interaction of the program goes through this interface: message
// boxes, input boxes and file dialogs. Windows are given one; the program uses
// the Qt implementation and the tests a scripted one.

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QFileDialog;
class QInputDialog;
class QMessageBox;
class QPushButton;
class QWidget;

namespace tolvana::ui {

// The settings of one file dialog, as the commands make them.
struct FileRequest {
    enum class Kind { Open, Save };

    Kind kind = Kind::Open;
    QString title;
    QString pattern;     // preset pattern, such as "*.crp"
    QString filter;      // "Description|pattern|Description|pattern..." or a bare pattern list
    int filterIndex = 1; // 1-based entry of the filter shown first

    bool operator==(const FileRequest&) const = default;
};

// A progress dialog for work that the window waits for.
class Progress {
public:
    virtual ~Progress() = default;

    // Called on the window's thread when the work begins, about ten times a
    // second while it runs and once when it has ended: `elapsedMs` since it
    // began, `done` from 0 to 1. Returns true once the user has asked to stop
    // it ("Avbryt").
    virtual bool update(qint64 elapsedMs, double done) = 0;
};

class Dialogs {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Dialogs() = default;

    // A message box with only an OK button.
    virtual void message(QWidget* parent, const QString& title, const QString& text, Icon icon) = 0;

    // An input box with a one-line entry pre-filled with `defaultText`. Returns
    // the entry on OK; Cancel gives an empty text.
    virtual QString inputBox(QWidget* parent, const QString& prompt, const QString& title,
                             const QString& defaultText) = 0;

    // The same with an entry that hides what is typed, for a password.
    virtual QString passwordBox(QWidget* parent, const QString& prompt, const QString& title,
                                const QString& defaultText) = 0;

    // A question with two answers: true for `accept`. `back` is the default
    // answer, and Esc and closing the box give it too.
    virtual bool ask(QWidget* parent, const QString& title, const QString& text,
                     const QString& back, const QString& accept) = 0;

    // A file-open or file-save dialog. Returns the chosen file's full path, or
    // nothing when the user cancels.
    virtual std::optional<QString> chooseFile(QWidget* parent, const FileRequest& request) = 0;

    // A progress dialog with `label` and an "Avbryt" button, shown only when
    // the work takes more than about half a second; it closes when destroyed.
    virtual std::unique_ptr<Progress> progress(QWidget* parent, const QString& label) = 0;
};

// The real dialogs, shown with Qt's widgets (or the desktop's native file
// dialogs where the platform offers them).
class QtDialogs : public Dialogs {
public:
    void message(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    QString inputBox(QWidget* parent, const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    QString passwordBox(QWidget* parent, const QString& prompt, const QString& title,
                        const QString& defaultText) override;
    bool ask(QWidget* parent, const QString& title, const QString& text, const QString& back,
             const QString& accept) override;
    std::optional<QString> chooseFile(QWidget* parent, const FileRequest& request) override;
    std::unique_ptr<Progress> progress(QWidget* parent, const QString& label) override;
};

// The boxes QtDialogs shows, not yet shown: an input box whose entry hides
// what is typed, and the box of ask() with the button that means `accept`.
std::unique_ptr<QInputDialog> MakePasswordBox(QWidget* parent, const QString& prompt,
                                              const QString& title, const QString& defaultText);
std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& title,
                                             const QString& text, const QString& back,
                                             const QString& accept, QPushButton** acceptButton);

// Turns a filter string such as "Krypterat|*.crp" or "*.txt;" into Qt name
// filters ("Krypterat (*.crp)", "*.txt").
QStringList NameFilters(const QString& filter);

// The file dialog QtDialogs shows for `request`, not yet shown, and the file
// chosen in it once it has closed (nothing on Cancel). An open dialog also
// lists, and gives back exactly, the files whose names Qt itself cannot list.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileRequest& request);
std::optional<QString> ChosenFile(QFileDialog& dialog);

} // namespace tolvana::ui
