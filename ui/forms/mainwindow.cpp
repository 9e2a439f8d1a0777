#include "ui/forms/mainwindow.h"

#include "cipher/cipher.h"
#include "messages/messages.h"
#include "storage/files.h"
#include "storage/limits.h"
#include "storage/textfile.h"
#include "ui/dialogs/background.h"
#include "ui/dialogs/filedialog.h"
#include "ui/forms/twips.h"
#include "ui/platform/nativepath.h"
#include "ui/textbox/codetextbox.h"
#include "ui/texts/codepage.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QToolBar>

#include <algorithm>
#include <initializer_list>
#include <new>
#include <system_error>
#include <vector>

namespace tolvana::ui {
namespace {

const QString kTitle = QStringLiteral("Tolvana");

// Shows the busy cursor for as long as a command runs.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A message of the catalogue as the message boxes take it.
QString Say(const std::string& message) { return QString::fromStdString(message); }

// The character at `position` of `text` (a whole surrogate pair) and the line
// it stands on, counting lines by `lineBreak`.
struct CharacterPlace {
    char32_t character;
    std::uint64_t line;
};
CharacterPlace CharacterAt(const QString& text, qsizetype position, const QString& lineBreak) {
    std::uint64_t line = 1;
    for (qsizetype i = text.indexOf(lineBreak); i >= 0 && i < position;
         i = text.indexOf(lineBreak, i + lineBreak.size()))
        ++line;
    char32_t code = text[position].unicode();
    if (text[position].isHighSurrogate() && position + 1 < text.size() &&
        text[position + 1].isLowSurrogate())
        code = QChar::surrogateToUcs4(text[position], text[position + 1]);
    return {code, line};
}

// The message `say` gives for the character at `position` of `text`, which
// has no code.
using CharacterMessage = std::string (*)(char32_t, std::uint64_t);
QString MissingCharacter(const QString& text, qsizetype position, const QString& lineBreak,
                         CharacterMessage say) {
    const CharacterPlace place = CharacterAt(text, position, lineBreak);
    return Say(say(place.character, place.line));
}

// The character of each code of the code page, as the boxes read a text of
// codes.
const CodeTextBox::CodeTable& CodePageCharacters() {
    static const CodeTextBox::CodeTable table = [] {
        CodeTextBox::CodeTable characters{};
        for (int code = 0; code < 256; ++code)
            characters[code] = CharOfCode(static_cast<unsigned char>(code)).unicode();
        return characters;
    }();
    return table;
}

// Both boxes take no edit from the user while a command runs, by any way:
// also not from accessibility tools, which no event filter holds back.
class BoxesReadOnly {
public:
    explicit BoxesReadOnly(std::initializer_list<CodeTextBox*> boxes) : boxes_(boxes) {
        for (CodeTextBox* box : boxes_) box->setReadOnly(true);
    }
    ~BoxesReadOnly() {
        for (CodeTextBox* box : boxes_) box->setReadOnly(false);
    }
    BoxesReadOnly(const BoxesReadOnly&) = delete;
    BoxesReadOnly& operator=(const BoxesReadOnly&) = delete;

private:
    std::vector<CodeTextBox*> boxes_;
};

// A control of the window: made with `args`, named and placed on `parent`.
template <class Widget, class... Args>
Widget* Place(QWidget* parent, const char* name, const QRect& geometry, Args&&... args) {
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

// The local files that a drag carries, in order, each held exactly: the URL's
// percent escapes are decoded into the system's bytes, which
// QUrl::toLocalFile() would not keep for a name that is not UTF-8.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        const NamedFile named = FileNamedBy(QString::fromLatin1(url.toEncoded()));
        if (!named.path.isEmpty()) files << named.path;
    }
    return files;
}

// The extension of a path's file name, in lower case, or an empty text.
QString ExtensionOf(const QString& path) {
    const qsizetype name = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1;
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot >= name ? path.mid(dot + 1).toLower() : QString();
}

} // namespace

char SystemDecimalSeparator() {
    const QString decimal = QLocale::system().decimalPoint();
    if (decimal.size() == 1) {
        int code = CodeOfChar(decimal[0]);
        if (code > 0) return static_cast<char>(code);
    }
    return '.';
}

MainWindow::MainWindow(Services services)
    : services_(std::move(services)), secondary_(services_.dialogs, services_.tools) {
    setObjectName(QStringLiteral("ravlo"));
    setWindowTitle(QStringLiteral("Olmira"));
    buildControls();
    buildMenus();

    // The client area is 6555 by 6255 twips, below the menu bar.
    const QRect client = TwipsRect(0, 0, 6555, 6255);
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
    TextRenText->setFocus();

    // Files dropped anywhere on the window, the boxes included, open as their
    // commands open them; the boxes take dropped text as before.
    setAcceptDrops(true);
    for (CodeTextBox* box : {TextRenText, TextKrypterad}) box->viewport()->installEventFilter(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList files = DroppedFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    for (const QString& file : files) openPath(file);
}

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);
    // The toolbar follows the client area's width; nothing else moves.
    client->installEventFilter(this);

    Toolbar1 = Place<QToolBar>(client, "Toolbar1", TwipsRect(0, 0, 6555, 630));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setFocusPolicy(Qt::NoFocus);

    using LineBreak = CodeTextBox::LineBreak;
    TextRenText =
        Place<CodeTextBox>(client, "TextRenText", TwipsRect(480, 600, 5295, 1575), LineBreak::CrLf);
    EtikSkrivin1 = Place<QLabel>(client, "EtikSkrivin1", TwipsRect(1560, 240, 3015, 255),
                                 QStringLiteral("Skriv in den text som ska krypteras"));
    TextKrypterad = Place<CodeTextBox>(client, "TextKrypterad", TwipsRect(480, 2760, 5295, 1575),
                                       LineBreak::Lf);
    EtikKrypterad = Place<QLabel>(client, "EtikKrypterad", TwipsRect(1560, 2400, 3015, 255),
                                  QStringLiteral("                  Texten krypterad"));
    KKnapKryptera = Place<QPushButton>(client, "KKnapKryptera", TwipsRect(960, 4440, 1215, 375),
                                       QStringLiteral("Kryptera"));
    KKnappDekryptera = Place<QPushButton>(
        client, "KKnappDekryptera", TwipsRect(4320, 4440, 1215, 375), QStringLiteral("Dekryptera"));
    SkapaLosen = Place<QPushButton>(client, "SkapaLosen", TwipsRect(2520, 4440, 1335, 375),
                                    QStringLiteral("Skapa lösenord"));

    // Screen readers name each box after the label above it.
    EtikSkrivin1->setBuddy(TextRenText);
    EtikKrypterad->setBuddy(TextKrypterad);
    TextRenText->setAccessibleName(EtikSkrivin1->text().trimmed());
    TextKrypterad->setAccessibleName(EtikKrypterad->text().trimmed());

    for (QPushButton* button : {KKnapKryptera, KKnappDekryptera, SkapaLosen}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    // The toolbar band lies over the label and the top of the clear-text box;
    // keep it underneath so both stay readable and usable.
    Toolbar1->lower();

    setTabOrder(TextRenText, TextKrypterad);
    setTabOrder(TextKrypterad, KKnapKryptera);
    setTabOrder(KKnapKryptera, KKnappDekryptera);
    setTabOrder(KKnappDekryptera, SkapaLosen);

    Dialogoppna = new FileDialog(services_.dialogs, this);

    connect(KKnapKryptera, &QPushButton::clicked, this, &MainWindow::encrypt);
    connect(KKnappDekryptera, &QPushButton::clicked, this, &MainWindow::decrypt);
    connect(SkapaLosen, &QPushButton::clicked, this, &MainWindow::createPassword);
}

void MainWindow::buildMenus() {
    QMenu* arkiv = menuBar()->addMenu(QStringLiteral("Arkiv "));
    arkiv->setObjectName(QStringLiteral("arkiv"));
    auto addItem = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QAction* open = addItem(arkiv, "open", QStringLiteral("Öppna en krypterad fil"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, &MainWindow::openCipherFile);
    QAction* chopen = addItem(arkiv, "chopen", QStringLiteral("Öppna fil för tolvana"));
    connect(chopen, &QAction::triggered, this, &MainWindow::importTextFile);
    QAction* save = addItem(arkiv, "save", QStringLiteral("Spara tolvana"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, &MainWindow::saveCipherFile);
    QAction* closeProg = addItem(arkiv, "closeProg", QStringLiteral("Avsluta"));
    connect(closeProg, &QAction::triggered, this, &MainWindow::quit);

    QMenu* help = menuBar()->addMenu(QStringLiteral("Hjälp"));
    help->setObjectName(QStringLiteral("Help"));
    QAction* help2 = addItem(help, "Help2", QStringLiteral("Hjälp"));
    connect(help2, &QAction::triggered, this, [this] { secondary_.showHelp(); });
    QAction* about = addItem(help, "about", QStringLiteral("Om programmet"));
    connect(about, &QAction::triggered, this, [this] { secondary_.showAbout(); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == centralWidget() && event->type() == QEvent::Resize)
        Toolbar1->resize(centralWidget()->width(), Toolbar1->height());
    // A box would insert a dropped file's name as text; the window opens it.
    if (watched != centralWidget()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (DroppedFiles(drag->mimeData()).isEmpty()) break;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (DroppedFiles(drop->mimeData()).isEmpty()) break;
            dropEvent(drop);
            return true;
        }
        default: break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showMessage(const QString& text) {
    services_.dialogs.message(this, kTitle, text, Dialogs::Icon::Warning);
}

bool MainWindow::inBackground(const QString& label, const std::function<void(WorkControl&)>& work) {
    const std::unique_ptr<Progress> progress = services_.dialogs.progress(this, label);
    return RunInBackground(*progress, work);
}

void MainWindow::runCommand(const std::function<void()>& command) {
    if (running_) return;
    CommandGuard guard(this, running_);
    const BoxesReadOnly readOnly({TextRenText, TextKrypterad});
    BusyCursor busy;
    try {
        command();
    } catch (const std::bad_alloc&) {
        showMessage(Say(messages::OutOfMemory()));
    } catch (const std::system_error& error) {
        // Such as a thread that could not be started for want of resources.
        showMessage(Say(messages::CommandNotRun(error.code().value())));
    }
}

void MainWindow::encrypt() {
    runCommand([this] {
        Separator = kLineFeed;
        const QString clear = TextRenText->text();
        const char separator = Separator;
        const char decimal = services_.decimalSeparator();
        const CodeTextBox::Preparer prepare = TextKrypterad->preparer();
        qsizetype bad = -1;
        CodeTextBox::Content cipher;
        const bool finished = inBackground(QStringLiteral("Krypterar …"), [&](WorkControl& work) {
            std::optional<std::string> codes = ToCodes(clear, &bad);
            if (!codes) return;
            work.done(1, 3);
            std::string cipherCodes = Kryptera(*codes, separator, decimal);
            codes.reset();
            work.done(2, 3);
            cipher = prepare.fromCodes(cipherCodes, CodePageCharacters(),
                                       [&](double f) { work.done(2 + f, 3); });
        });
        if (!finished) return;
        if (bad >= 0) {
            showMessage(
                MissingCharacter(clear, bad, QStringLiteral("\r\n"), messages::CannotEncrypt));
            return;
        }
        // Both boxes change together or not at all: the empty content is made
        // before either is set.
        CodeTextBox::Content empty = TextRenText->preparer()(QString());
        TextKrypterad->setContent(std::move(cipher));
        TextRenText->setContent(std::move(empty));
    });
}

void MainWindow::decrypt() {
    runCommand([this] {
        Separator = kLineFeed;
        const QString cipher = TextKrypterad->text();
        const char separator = Separator;
        const CodeTextBox::Preparer prepare = TextRenText->preparer();
        qsizetype bad = -1;
        std::optional<DecodeFailure> failed;
        CodeTextBox::Content clear;
        const bool finished = inBackground(QStringLiteral("Dekrypterar …"), [&](WorkControl& work) {
            std::optional<std::string> codes = ToCodes(cipher, &bad);
            if (!codes) return;
            work.done(1, 3);
            DecodeFailure failure;
            std::optional<std::string> clearCodes = Dekryptera(*codes, separator, failure);
            codes.reset();
            if (!clearCodes) {
                failed = std::move(failure);
                return;
            }
            work.done(2, 3);
            clear = prepare.fromCodes(*clearCodes, CodePageCharacters(),
                                      [&](double f) { work.done(2 + f, 3); });
        });
        if (!finished) return;
        if (bad >= 0) {
            showMessage(MissingCharacter(cipher, bad, QStringLiteral("\n"),
                                         [](char32_t c, std::uint64_t line) {
                                             return messages::CannotDecrypt(c, line);
                                         }));
            return;
        }
        if (failed) {
            showMessage(Say(messages::CannotDecrypt(*failed)));
            return;
        }
        TextRenText->setContent(std::move(clear));
    });
}

void MainWindow::createPassword() {
    runCommand([this] { createPasswordCommand(); });
}

void MainWindow::createPasswordCommand() {
    const QString entry = services_.dialogs.inputBox(this, QStringLiteral("Ange ditt lösen"),
                                                     QStringLiteral("Ange ditt lösen"), QString());
    // Cancel and an empty entry change nothing: an empty password could never
    // be given at the next start.
    if (entry.isEmpty()) return;

    qsizetype bad = 0;
    const std::optional<std::string> codes = ToCodes(entry, &bad);
    if (!codes) {
        showMessage(
            MissingCharacter(entry, bad, QStringLiteral("\r\n"), messages::PasswordWithoutCode));
        return;
    }
    if (const storage::PasswordProblem problem = storage::CheckNewPassword(*codes);
        problem != storage::PasswordProblem::None) {
        showMessage(Say(messages::PasswordRefused(problem, *codes)));
        return;
    }
    // Either both files hold the new password, or both are as they were.
    const PasswordPlace& place = FirstWritten(services_.passwordFiles);
    const storage::PasswordFiles& files = place.files;
    const bool hadPassword = AnyPasswordSet(services_.passwordFiles);
    const auto shown = [](const std::string& path) { return PathForDisplay(path).toStdString(); };
    try {
        StorePassword(services_.passwordFiles, *codes);
    } catch (const storage::PasswordNotRestored& error) {
        showMessage(Say(messages::PasswordNotRestored(shown(error.cause().path()), error.cause(),
                                                      shown(error.path()), error,
                                                      shown(files.passwordPath))));
    } catch (const storage::StorageError& error) {
        // A file in the way of the folder is named by the error's reason.
        const bool folder =
            !place.folder.empty() && (error.path() == place.folder ||
                                      error.reason() == storage::StorageError::Reason::NotAFolder);
        showMessage(Say(messages::PasswordNotSaved(shown(folder ? place.folder : error.path()),
                                                   error, folder, shown(files.passwordPath),
                                                   shown(files.flagPath), hadPassword)));
    }
}

void MainWindow::showTooLarge(const QString& path, const storage::StorageError& error) {
    if (error.reason() == storage::StorageError::Reason::TooLarge)
        showMessage(Say(messages::FileNotOpened(PathForDisplay(path).toStdString(), error)));
}

void MainWindow::setDialogSettings(const QString& pattern, const QString& title,
                                   const QString& filter) {
    Dialogoppna->settings.pattern = pattern;
    Dialogoppna->settings.title = title;
    Dialogoppna->settings.filter = filter;
}

void MainWindow::openCipherFile() {
    runCommand([this] {
        setDialogSettings(QStringLiteral("*.crp"), QStringLiteral("ladda en krypterad fil"),
                          QStringLiteral("Krypterat|*.crp"));
        Dialogoppna->settings.filterIndex = 1;
        const std::optional<QString> path = Dialogoppna->showOpen();
        if (path) openCipherCommand(*path);
    });
}

void MainWindow::openCipherPath(const QString& path) {
    runCommand([this, path] { openCipherCommand(path); });
}

void MainWindow::openCipherCommand(const QString& path) {
    // A file that cannot be opened, or holds no field at all, changes nothing;
    // only a file too large to take in is worth a word.
    const CodeTextBox::Preparer prepare = TextKrypterad->preparer();
    CodeTextBox::Content cipher;
    bool noTextAtStart = false;
    try {
        if (!inBackground(QStringLiteral("Läser filen …"), [&](WorkControl& work) {
                storage::InputFile file =
                    storage::OpenForInput(StoragePath(path), storage::kMaxCipherFileBytes);
                std::string field = file.ReadField();
                // An empty first field with more after it is no saved text.
                noTextAtStart = field.empty() && storage::AnyTextLeft(file);
                file.Close();
                if (noTextAtStart) return;
                work.done(1, 2);
                cipher = prepare.fromCodes(field, CodePageCharacters(),
                                           [&](double f) { work.done(1 + f, 2); });
            }))
            return;
    } catch (const storage::StorageError& error) {
        showTooLarge(path, error);
        return;
    }
    if (noTextAtStart) {
        showMessage(Say(messages::NoTextAtStart(PathForDisplay(path).toStdString())));
        return;
    }
    TextKrypterad->setContent(std::move(cipher));
}

void MainWindow::importTextFile() {
    runCommand([this] {
        setDialogSettings(QStringLiteral("*.txt"), QStringLiteral("ladda en Okrypterad fil"),
                          QStringLiteral("*.txt;"));
        Dialogoppna->settings.filterIndex = 1;
        const std::optional<QString> path = Dialogoppna->showOpen();
        if (path) importTextCommand(*path);
    });
}

void MainWindow::importTextPath(const QString& path) {
    runCommand([this, path] { importTextCommand(path); });
}

void MainWindow::importTextCommand(const QString& path) {
    // The fields run together. The box shows what has been read when the
    // import ends, also when it ends early: the same as updating it after
    // every field, without rebuilding its whole text once per field.
    const CodeTextBox::Preparer prepare = TextRenText->preparer();
    CodeTextBox::Content clear;
    bool anyField = false;
    std::optional<storage::UnmappableCharacter> unmappable;
    try {
        if (!inBackground(QStringLiteral("Läser filen …"), [&](WorkControl& work) {
                // The text the file holds (UTF-8, UTF-16 or code page bytes) as codes.
                const std::string target = StoragePath(path);
                storage::DecodedText text = storage::DecodeTextFile(
                    storage::ReadFileBytes(target, storage::kMaxTextFileBytes));
                if (text.unmappable) {
                    unmappable = text.unmappable;
                    return;
                }
                work.check();
                std::string accumulated;
                storage::InputFile file = storage::FieldsOf(std::move(text.codes), target);
                while (!file.AtEnd()) {
                    accumulated += file.ReadField();
                    anyField = true;
                    work.check();
                }
                file.Close();
                if (!anyField) return;
                work.done(1, 2);
                clear = prepare.fromCodes(accumulated, CodePageCharacters(),
                                          [&](double f) { work.done(1 + f, 2); });
            }))
            return;
    } catch (const storage::StorageError& error) {
        showTooLarge(path, error);
        return;
    }
    if (unmappable) {
        showMessage(Say(messages::TextFileNotImported(PathForDisplay(path).toStdString(),
                                                      unmappable->character, unmappable->line)));
        return;
    }
    if (anyField) TextRenText->setContent(std::move(clear));
}

void MainWindow::openPath(const QString& given) {
    const NamedFile named = FileNamedBy(given);
    if (!named.host.isEmpty()) {
        showMessage(Say(messages::FileOnOtherComputer(PathForDisplay(given).toStdString(),
                                                      named.host.toStdString())));
        return;
    }
    if (named.path.isEmpty()) {
        showMessage(Say(messages::NotALocalFile(PathForDisplay(given).toStdString(),
                                                named.scheme.toStdString())));
        return;
    }
    const QString& path = named.path;
    const std::string shown = PathForDisplay(path).toStdString();
    if (!storage::FileExists(StoragePath(path))) {
        showMessage(Say(messages::FileMissing(shown)));
        return;
    }
    // By the name's extension, whatever its case, as the file dialogs choose.
    const QString extension = ExtensionOf(path);
    if (extension == u"crp")
        openCipherPath(path);
    else if (extension == u"txt")
        importTextPath(path);
    else
        showMessage(Say(messages::FileOfOtherKind(shown)));
}

void MainWindow::saveCipherFile() {
    runCommand([this] { saveCipherCommand(); });
}

void MainWindow::saveCipherCommand() {
    const QString cipher = TextKrypterad->text();

    // Refused before anything is asked: such a file could not be read back whole.
    qsizetype bad = -1;
    bool quote = false;
    std::optional<std::string> codes;
    if (!inBackground(QStringLiteral("Förbereder …"), [&](WorkControl&) {
            codes = ToCodes(cipher, &bad);
            quote = codes && codes->find('"') != std::string::npos;
        }))
        return;
    if (!codes) {
        showMessage(MissingCharacter(cipher, bad, QStringLiteral("\n"), messages::CipherNotSaved));
        return;
    }
    if (quote) {
        showMessage(Say(messages::CipherWithQuoteNotSaved()));
        return;
    }

    setDialogSettings(QStringLiteral("*.crp"), QStringLiteral("Spara som"),
                      QStringLiteral("Krypterat|*.crp"));
    const std::optional<QString> path = Dialogoppna->showSave();
    if (!path) return;

    const std::string target = StoragePath(*path);
    const bool existed = storage::FileExists(target);
    try {
        // The file replaces any earlier one only on Close(), after the work,
        // so that "Avbryt" at any time leaves the earlier file as it was.
        std::optional<storage::OutputFile> file;
        if (inBackground(QStringLiteral("Sparar filen …"), [&](WorkControl&) {
                file.emplace(storage::OpenForOutput(target));
                file->WriteField(*codes);
            }))
            file->Close();
    } catch (const storage::StorageError& error) {
        // The earlier file is only spoken of where there was one (not a folder
        // or a device).
        using Reason = storage::StorageError::Reason;
        const bool earlierFile = existed && error.reason() != Reason::IsFolder &&
                                 error.reason() != Reason::NotRegularFile;
        showMessage(
            Say(messages::FileNotSaved(PathForDisplay(*path).toStdString(), error, earlierFile)));
    }
}

void MainWindow::quit() {
    if (!running_) QApplication::closeAllWindows();
}

} // namespace tolvana::ui
