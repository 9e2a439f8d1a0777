#include "ui/forms/mainwindow.h"

#include "cipher/cipher.h"
#include "commands/commands.h"
#include "messages/captions.h"
#include "messages/messages.h"
#include "storage/files.h"
#include "storage/limits.h"
#include "storage/textfile.h"
#include "ui/dialogs/background.h"
#include "ui/dialogs/filedialog.h"
#include "ui/forms/mainlayout.h"
#include "ui/forms/twips.h"
#include "ui/platform/nativepath.h"
#include "ui/textbox/codetextbox.h"
#include "ui/texts/codepage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSessionManager>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <initializer_list>
#include <new>
#include <system_error>
#include <utility>
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

namespace captions = messages::captions;

// A caption of the catalogue as the controls take it.
QString Caption(std::string_view caption) {
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
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

    // The client area is 6555 by 6255 twips below the menu bar, or larger
    // where the texts need more room in the window's font.
    const QSize client = centralWidget()->layout()->sizeHint();
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
    TextRenText->setFocus();

    // Files dropped anywhere on the window, the boxes included, open as their
    // commands open them; the boxes take dropped text as before.
    setAcceptDrops(true);
    for (CodeTextBox* box : {TextRenText, TextKrypterad}) box->viewport()->installEventFilter(this);

    // A text the user changes exists nowhere else until it is saved.
    connect(TextRenText, &CodeTextBox::edited, this, [this] {
        clearUnsaved_ = true;
        endChosen_ = false;
    });
    connect(TextKrypterad, &CodeTextBox::edited, this, [this] {
        cipherUnsaved_ = true;
        endChosen_ = false;
    });
    // The desktop's session ends (logging out, shutting down); on Windows Qt
    // brings the end of the session through the same signal.
#if QT_CONFIG(sessionmanager)
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        sessionEnding([&manager] { return manager.allowsInteraction(); },
                      [&manager] { manager.cancel(); });
        manager.release();
    });
#endif
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
    openPaths(files);
}

void MainWindow::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    Toolbar1 = Place<QToolBar>(client, "Toolbar1", TwipsRect(0, 0, 6555, 630));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setFocusPolicy(Qt::NoFocus);

    using LineBreak = CodeTextBox::LineBreak;
    TextRenText =
        Place<CodeTextBox>(client, "TextRenText", TwipsRect(480, 600, 5295, 1575), LineBreak::CrLf);
    EtikSkrivin1 = Place<QLabel>(client, "EtikSkrivin1", TwipsRect(1560, 240, 3015, 255),
                                 Caption(captions::kClearLabel));
    TextKrypterad = Place<CodeTextBox>(client, "TextKrypterad", TwipsRect(480, 2760, 5295, 1575),
                                       LineBreak::Lf);
    EtikKrypterad = Place<QLabel>(client, "EtikKrypterad", TwipsRect(1560, 2400, 3015, 255),
                                  QString(18, u' ') + Caption(captions::kCipherLabel));
    KKnapKryptera = Place<QPushButton>(client, "KKnapKryptera", TwipsRect(960, 4440, 1215, 375),
                                       Caption(captions::kEncrypt));
    KKnappDekryptera = Place<QPushButton>(
        client, "KKnappDekryptera", TwipsRect(4320, 4440, 1215, 375), Caption(captions::kDecrypt));
    SkapaLosen = Place<QPushButton>(client, "SkapaLosen", TwipsRect(2520, 4440, 1335, 375),
                                    Caption(captions::kCreatePassword));

    // Screen readers name each box after the label above it.
    EtikSkrivin1->setBuddy(TextRenText);
    EtikKrypterad->setBuddy(TextKrypterad);
    TextRenText->setAccessibleName(EtikSkrivin1->text().trimmed());
    TextKrypterad->setAccessibleName(EtikKrypterad->text().trimmed());

    for (QPushButton* button : {KKnapKryptera, KKnappDekryptera, SkapaLosen}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    // Screen readers read the labels without the blanks that place them.
    for (QLabel* label : {EtikSkrivin1, EtikKrypterad})
        label->setAccessibleName(label->text().trimmed());
    // The buttons that the toolbar and the menu bar show for what does not
    // fit them are hidden while all fits; they take no focus and still have
    // a name.
    const std::pair<QWidget*, QString> more[] = {{Toolbar1, QStringLiteral("Fler knappar")},
                                                 {menuBar(), QStringLiteral("Fler menyer")}};
    for (const auto& [bar, name] : more) {
        for (QToolButton* hidden : bar->findChildren<QToolButton*>()) {
            hidden->setFocusPolicy(Qt::NoFocus);
            hidden->setAccessibleName(name);
        }
    }

    // The toolbar band lies over the label and the top of the clear-text box;
    // keep it underneath so both stay readable and usable.
    Toolbar1->lower();

    // The boxes grow with the window, the labels and buttons with the font.
    new MainLayout(client, {Toolbar1, TextRenText, EtikSkrivin1, TextKrypterad, EtikKrypterad,
                            KKnapKryptera, SkapaLosen, KKnappDekryptera, menuBar()});

    setTabOrder(TextRenText, TextKrypterad);
    setTabOrder(TextKrypterad, KKnapKryptera);
    // As they stand on the screen: the buttons from left to right.
    setTabOrder(KKnapKryptera, SkapaLosen);
    setTabOrder(SkapaLosen, KKnappDekryptera);

    Dialogoppna = new FileDialog(services_.dialogs, this);

    connect(KKnapKryptera, &QPushButton::clicked, this, &MainWindow::encrypt);
    connect(KKnappDekryptera, &QPushButton::clicked, this, &MainWindow::decrypt);
    connect(SkapaLosen, &QPushButton::clicked, this, &MainWindow::createPassword);
}

void MainWindow::buildMenus() {
    QMenu* arkiv = menuBar()->addMenu(QStringLiteral("&Arkiv "));
    arkiv->setObjectName(QStringLiteral("arkiv"));
    auto addItem = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QAction* open = addItem(arkiv, "open", QStringLiteral("&Öppna en krypterad fil"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, &MainWindow::openCipherFile);
    QAction* chopen = addItem(arkiv, "chopen", QStringLiteral("Öppna fil för &tolvana"));
    connect(chopen, &QAction::triggered, this, &MainWindow::importTextFile);
    QAction* save = addItem(arkiv, "save", QStringLiteral("&Spara tolvana"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, &MainWindow::saveCipherFile);
    QAction* closeProg = addItem(arkiv, "closeProg", QStringLiteral("&Avsluta"));
    closeProg->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(closeProg, &QAction::triggered, this, &MainWindow::quit);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Hjälp"));
    help->setObjectName(QStringLiteral("Help"));
    QAction* help2 = addItem(help, "Help2", QStringLiteral("&Hjälp"));
    help2->setShortcut(QKeySequence(Qt::Key_F1));
    connect(help2, &QAction::triggered, this, [this] { secondary_.showHelp(); });
    QAction* about = addItem(help, "about", QStringLiteral("&Om programmet"));
    connect(about, &QAction::triggered, this, [this] { secondary_.showAbout(); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
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
    if (gathered_) {
        gathered_->append(text);
        return;
    }
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
        const char decimal = services_.decimalSeparator();
        const CodeTextBox::Preparer prepare = TextKrypterad->preparer();
        QString refused;
        CodeTextBox::Content cipher;
        const bool finished = inBackground(Caption(captions::kEncrypting), [&](WorkControl& work) {
            commands::Outcome outcome = commands::Encrypt(Utf16(clear), decimal);
            if (outcome.kind == commands::Outcome::Kind::Refused) {
                refused = Say(outcome.message);
                return;
            }
            work.done(2, 3);
            cipher = prepare.fromCodes(outcome.codes, CodePageCharacters(),
                                       [&](double f) { work.done(2 + f, 3); });
        });
        if (!finished) return;
        if (!refused.isEmpty()) {
            showMessage(refused);
            return;
        }
        // The empty content is made before either box is set. Each box keeps
        // what it held as one step that undo brings back.
        CodeTextBox::Content empty = TextRenText->preparer()(QString());
        TextKrypterad->replaceContent(std::move(cipher));
        TextRenText->replaceContent(std::move(empty));
        // The cipher text exists only in its box until it is saved.
        cipherUnsaved_ = true;
        clearUnsaved_ = false;
        endChosen_ = false;
    });
}

void MainWindow::decrypt() {
    runCommand([this] {
        Separator = kLineFeed;
        const QString cipher = TextKrypterad->text();
        const CodeTextBox::Preparer prepare = TextRenText->preparer();
        QString refused;
        CodeTextBox::Content clear;
        const bool finished = inBackground(Caption(captions::kDecrypting), [&](WorkControl& work) {
            commands::Outcome outcome = commands::Decrypt(Utf16(cipher));
            if (outcome.kind == commands::Outcome::Kind::Refused) {
                refused = Say(outcome.message);
                return;
            }
            work.done(2, 3);
            clear = prepare.fromCodes(outcome.codes, CodePageCharacters(),
                                      [&](double f) { work.done(2 + f, 3); });
        });
        if (!finished) return;
        if (!refused.isEmpty()) {
            showMessage(refused);
            return;
        }
        TextRenText->replaceContent(std::move(clear));
        // The clear text can be made again from the cipher text as long as
        // that is kept somewhere.
        clearUnsaved_ = cipherUnsaved_;
    });
}

void MainWindow::createPassword() {
    runCommand([this] { createPasswordCommand(); });
}

void MainWindow::createPasswordCommand() {
    const QString title = QStringLiteral("Ange ditt lösen");
    const QString entry = services_.dialogs.passwordBox(this, title, title, QString());
    // Cancel and an empty entry change nothing: an empty password could never
    // be given at the next start.
    if (entry.isEmpty()) return;

    commands::Missing missing;
    const std::optional<std::string> codes =
        commands::ToCodes(Utf16(entry), commands::kClearLineBreak, missing);
    if (!codes) {
        showMessage(Say(messages::PasswordWithoutCode(missing.character, missing.line)));
        return;
    }
    if (const storage::PasswordProblem problem = storage::CheckNewPassword(*codes);
        problem != storage::PasswordProblem::None) {
        showMessage(Say(messages::PasswordRefused(problem, *codes)));
        return;
    }
    // The entry hides what is typed, so a slip is caught by typing it twice.
    const QString again = services_.dialogs.passwordBox(
        this, QStringLiteral("Ange samma lösen en gång till"), title, QString());
    if (again.isEmpty()) return;
    if (again != entry) {
        showMessage(Say(messages::PasswordsDiffer(AnyPasswordSet(services_.passwordFiles))));
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
    using Reason = storage::StorageError::Reason;
    if (error.reason() == Reason::TooLarge || error.reason() == Reason::BrokenLink)
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
        setDialogSettings(QStringLiteral("*.crp"), Caption(captions::kOpenCipherTitle),
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
    try {
        commands::Outcome opened;
        if (!inBackground(Caption(captions::kReading), [&](WorkControl& work) {
                const std::string target = StoragePath(path);
                opened = commands::OpenCipher(
                    storage::ReadFileBytes(target, storage::kMaxCipherFileBytes), target,
                    PathForDisplay(path).toStdString());
                if (opened.kind != commands::Outcome::Kind::Done) return;
                work.done(1, 2);
                cipher = prepare.fromCodes(opened.codes, CodePageCharacters(),
                                           [&](double f) { work.done(1 + f, 2); });
            }))
            return;
        if (opened.kind == commands::Outcome::Kind::Refused) showMessage(Say(opened.message));
        if (opened.kind != commands::Outcome::Kind::Done) return;
    } catch (const storage::StorageError& error) {
        showTooLarge(path, error);
        return;
    }
    TextKrypterad->replaceContent(std::move(cipher));
    cipherUnsaved_ = false;
}

void MainWindow::importTextFile() {
    runCommand([this] {
        setDialogSettings(QStringLiteral("*.txt"), Caption(captions::kImportTitle),
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
    // The fields run together, as the import has always read them.
    const CodeTextBox::Preparer prepare = TextRenText->preparer();
    CodeTextBox::Content clear;
    commands::Outcome imported;
    try {
        if (!inBackground(Caption(captions::kReading), [&](WorkControl& work) {
                const std::string target = StoragePath(path);
                imported = commands::ImportText(
                    storage::ReadFileBytes(target, storage::kMaxTextFileBytes), target,
                    PathForDisplay(path).toStdString());
                if (imported.kind != commands::Outcome::Kind::Done) return;
                work.done(1, 2);
                clear = prepare.fromCodes(imported.codes, CodePageCharacters(),
                                          [&](double f) { work.done(1 + f, 2); });
            }))
            return;
    } catch (const storage::StorageError& error) {
        showTooLarge(path, error);
        return;
    }
    if (imported.kind == commands::Outcome::Kind::Refused) showMessage(Say(imported.message));
    if (imported.kind != commands::Outcome::Kind::Done) return;
    TextRenText->replaceContent(std::move(clear));
    clearUnsaved_ = false;
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

void MainWindow::openPaths(const QStringList& given) {
    if (given.size() == 1) {
        openPath(given.front());
        return;
    }
    // Only the files named in the message are looked at more closely than
    // their names; the rest are counted, so that thousands cost no time.
    constexpr std::size_t kNamed = 10;
    using messages::LeftReason;
    std::vector<messages::LeftFile> left;
    std::uint64_t more = 0;
    // A single file left is told of in the words it has on its own.
    QString alone;
    const auto leave = [&](const QString& name, LeftReason reason, const QString& scheme = {}) {
        if (left.size() >= kNamed) {
            ++more;
            return;
        }
        const std::string shown = PathForDisplay(name).toStdString();
        if (left.empty()) {
            alone = reason == LeftReason::Missing     ? Say(messages::FileMissing(shown))
                    : reason == LeftReason::OtherKind ? Say(messages::FileOfOtherKind(shown))
                    : reason == LeftReason::NotLocal
                        ? Say(messages::NotALocalFile(shown, scheme.toStdString()))
                        : QString();
        }
        left.push_back({shown, reason});
    };
    std::optional<QString> cipherFile;
    std::optional<QString> textFile;
    for (const QString& name : given) {
        const NamedFile named = FileNamedBy(name);
        if (named.path.isEmpty()) {
            leave(name, LeftReason::NotLocal, named.scheme);
            continue;
        }
        const QString& path = named.path;
        const QString extension = ExtensionOf(path);
        std::optional<QString>* slot = extension == u"crp"   ? &cipherFile
                                       : extension == u"txt" ? &textFile
                                                             : nullptr;
        if (slot && slot->has_value()) {
            leave(path, slot == &cipherFile ? LeftReason::SecondCipher : LeftReason::SecondText);
            continue;
        }
        if (!slot && left.size() >= kNamed) {
            ++more;
            continue;
        }
        if (!storage::FileExists(StoragePath(path)))
            leave(path, LeftReason::Missing);
        else if (slot)
            *slot = path;
        else
            leave(path, LeftReason::OtherKind);
    }

    QStringList gathered;
    gathered_ = &gathered;
    if (cipherFile) openCipherPath(*cipherFile);
    if (textFile) importTextPath(*textFile);
    gathered_ = nullptr;
    if (left.size() == 1 && more == 0 && !alone.isEmpty())
        gathered.prepend(alone);
    else if (!left.empty())
        gathered.prepend(Say(messages::FilesLeft(left, more)));
    if (!gathered.isEmpty()) showMessage(gathered.join(QStringLiteral("\n\n")));
}

void MainWindow::saveCipherFile() {
    runCommand([this] { saveCipherCommand(); });
}

void MainWindow::saveCipherCommand() {
    const QString cipher = TextKrypterad->text();

    // Refused before anything is asked: such a file could not be read back whole.
    commands::Outcome checked;
    if (!inBackground(Caption(captions::kPreparing),
                      [&](WorkControl&) { checked = commands::CheckSave(Utf16(cipher)); }))
        return;
    if (checked.kind != commands::Outcome::Kind::Done) {
        showMessage(Say(checked.message));
        return;
    }
    const std::string& codes = checked.codes;

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
        if (inBackground(Caption(captions::kSaving), [&](WorkControl&) {
                file.emplace(storage::OpenForOutput(target));
                file->WriteField(codes);
            })) {
            file->Close();
            cipherUnsaved_ = false;
        }
    } catch (const storage::StorageError& error) {
        // The earlier file is only spoken of where there was one.
        showMessage(Say(messages::FileNotSaved(PathForDisplay(*path).toStdString(), error,
                                               messages::EarlierFileUnchanged(existed, error))));
    }
}

bool MainWindow::unsavedText() const {
    return (clearUnsaved_ && !TextRenText->text().isEmpty()) ||
           (cipherUnsaved_ && !TextKrypterad->text().isEmpty());
}

bool MainWindow::mayEnd() {
    if (endChosen_ || !unsavedText()) return true;
    const bool clearText = clearUnsaved_ && !TextRenText->text().isEmpty();
    const bool cipherText = cipherUnsaved_ && !TextKrypterad->text().isEmpty();
    endChosen_ = services_.dialogs.ask(
        this, kTitle, Say(messages::UnsavedOnEnd(clearText, cipherText)),
        Say(std::string(messages::kGoBack)), Say(std::string(messages::kEndWithoutSaving)));
    return endChosen_;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (running_ || !mayEnd())
        event->ignore();
    else
        QMainWindow::closeEvent(event);
}

void MainWindow::sessionEnding(const std::function<bool()>& mayAsk,
                               const std::function<void()>& cancel) {
    if (running_ || endChosen_ || !unsavedText() || !mayAsk()) return;
    if (!mayEnd()) cancel();
}

void MainWindow::quit() {
    if (running_ || !mayEnd()) return;
    QApplication::closeAllWindows();
}

} // namespace tolvana::ui
