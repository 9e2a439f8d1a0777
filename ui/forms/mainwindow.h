#pragma once

// The main window "Olmira": the clear-text box above, the cipher-text box
// below, three buttons and the menus "Arkiv " and "Hjälp". Every command of the
// program starts here and runs to its end before the next event.

#include "storage/passwordstore.h"
#include "ui/dialogs/dialogs.h"
#include "ui/forms/secondarywindows.h"
#include "ui/platform/passwordplaces.h"
#include "ui/platform/systemtools.h"

#include <QMainWindow>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;

namespace tolvana::ui {

class CodeTextBox;
class FileDialog;
class WorkControl;

// The decimal separator of the user's locale as a code page character; a
// point where the locale's separator is not a single code page character.
char SystemDecimalSeparator();

// Everything the window is given rather than finding for itself, so tests can
// stand in for the user's boxes, locale and password files. There is no
// window without its password places: "Skapa lösenord" always has one to
// write.
struct Services {
    Services(Dialogs& dialogs, PasswordPlaces passwordFiles,
             std::function<char()> decimalSeparator = SystemDecimalSeparator,
             SystemTools& tools = DefaultSystemTools())
        : dialogs(dialogs), passwordFiles(std::move(passwordFiles)),
          decimalSeparator(std::move(decimalSeparator)), tools(tools) {}

    Dialogs& dialogs;
    PasswordPlaces passwordFiles;
    std::function<char()> decimalSeparator;
    // Must outlive every window: an About window may stay open after the
    // main window has closed.
    SystemTools& tools;
};

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(Services services);
    ~MainWindow() override;

    CodeTextBox* clearTextBox() const { return TextRenText; }
    CodeTextBox* cipherTextBox() const { return TextKrypterad; }
    const SecondaryWindows& secondaryWindows() const { return secondary_; }

public slots:
    void encrypt();
    void decrypt();
    void createPassword();
    void openCipherFile();
    void importTextFile();
    // The second halves of the two commands above, for a file already chosen.
    void openCipherPath(const QString& path);
    void importTextPath(const QString& path);
    // A file given from outside the window (the command line, a drop), as a
    // path or a file URL (FileNamedBy): a ".crp" file opens as a cipher file,
    // a ".txt" file is imported; any other file, one that does not exist, and
    // an address of another kind are refused with a message.
    void openPath(const QString& given);
    // Files given together (a command line, one drop): the first ".crp" file
    // that exists opens in the cipher box, the first ".txt" file is imported
    // into the clear-text box, and one message at most names the files left
    // and why, with whatever the two commands had to say.
    void openPaths(const QStringList& given);
    void saveCipherFile();
    // Ends the program, all its windows, after asking where a text would be
    // lost (unsavedText()).
    void quit();

public:
    // Whether a box holds a text that exists nowhere else: one typed or
    // changed, or a cipher text made by "Kryptera" and not saved since.
    bool unsavedText() const;
    // The desktop's session ends: where a text would be lost and the session
    // lets the program ask (`mayAsk`, which the session manager answers), the
    // user is asked, and going back calls `cancel` to stop the session's end.
    void sessionEnding(const std::function<bool()>& mayAsk, const std::function<void()>& cancel);

public:
    // True while a command runs; no other command starts then.
    bool commandRunning() const { return running_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    // True when the program may end: nothing would be lost, or the user
    // chose to end without saving.
    bool mayEnd();
    void showMessage(const QString& text);
    // Tells the user that a file was too large to open, or was a link to a
    // file that is gone (which would otherwise look like an empty file); other
    // failures to open a file pass in silence.
    void showTooLarge(const QString& path, const storage::StorageError& error);
    // Runs a command unless one runs already; the window takes no input
    // meanwhile, and running out of memory ends the command with a message.
    void runCommand(const std::function<void()>& command);
    // Runs the pure work of a command on another thread with a progress
    // dialog; false when the user stopped it.
    bool inBackground(const QString& label, const std::function<void(WorkControl&)>& work);
    void createPasswordCommand();
    void openCipherCommand(const QString& path);
    void importTextCommand(const QString& path);
    void saveCipherCommand();
    void setDialogSettings(const QString& pattern, const QString& title, const QString& filter);

    Services services_;
    SecondaryWindows secondary_;

    // The entry separator; both cipher commands set it before anything else.
    char Separator = '\n';
    bool running_ = false;
    // Whether each box holds a text that exists nowhere else (while not
    // empty), and whether the user has chosen to end without saving it.
    bool clearUnsaved_ = false;
    bool cipherUnsaved_ = false;
    bool endChosen_ = false;
    // While files given together open, their messages are gathered here to
    // be shown as one.
    QStringList* gathered_ = nullptr;

    CodeTextBox* TextRenText = nullptr;
    CodeTextBox* TextKrypterad = nullptr;
    QLabel* EtikSkrivin1 = nullptr;
    QLabel* EtikKrypterad = nullptr;
    QPushButton* KKnapKryptera = nullptr;
    QPushButton* KKnappDekryptera = nullptr;
    QPushButton* SkapaLosen = nullptr;
    QToolBar* Toolbar1 = nullptr;
    FileDialog* Dialogoppna = nullptr;
};

} // namespace tolvana::ui
