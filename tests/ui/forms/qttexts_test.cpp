// Every text that Qt itself shows in the program's windows, dialogs and
// menus is Swedish: each one Qt asks for is in the program's own table.

#include "tests/support/main_window_fixture.h"
#include "ui/dialogs/dialogs.h"
#include "ui/texts/translations.h"

#include <QAbstractItemView>
#include <QAccessibleActionInterface>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMutex>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

namespace tolvana::testing {
namespace {

// Asked only when no translation installed after it had the text: notes
// every Qt text left in English. Key names are left out, since reading a
// key sequence asks for all of them; the keys menus show are checked apart.
class MissedTexts : public QTranslator {
public:
    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* source, const char*, int) const override {
        if (context && source && *source && qstrcmp(context, "QShortcut") != 0) {
            // The file dialog's list asks from its own thread.
            const QMutexLocker lock(&mutex_);
            missed_.insert(QString::fromLatin1(context) + u'|' + QString::fromUtf8(source));
        }
        return {};
    }

    void clear() {
        const QMutexLocker lock(&mutex_);
        missed_.clear();
    }

    QStringList missed() const {
        const QMutexLocker lock(&mutex_);
        QStringList texts(missed_.cbegin(), missed_.cend());
        texts.sort();
        return texts;
    }

private:
    mutable QMutex mutex_;
    mutable QSet<QString> missed_;
};

// While it lives, closes each menu and box that Qt opens and waits on, as
// Esc would, so that the test goes on; all but the dialog under test.
class Closer {
public:
    explicit Closer(QWidget* keep = nullptr) : keep_(keep) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* shown = QApplication::activePopupWidget();
            if (!shown) shown = QApplication::activeModalWidget();
            if (!shown || shown == keep_) return;
            shown->close();
            ++closed_;
        });
        timer_.start(10);
    }

    // How many it closed so far.
    int closed() const { return closed_; }

private:
    int closed_ = 0;
    QWidget* keep_;
    QTimer timer_;
};

class QtTextsTest : public MainWindowFixture {
protected:
    void SetUp() override {
        // The program's table is asked first, the recorder after it.
        QCoreApplication::installTranslator(&missed);
        QCoreApplication::installTranslator(&swedish);
        // What Qt asked while the recorder was alone, it asked again.
        missed.clear();
        MainWindowFixture::SetUp();
    }

    void TearDown() override {
        EXPECT_TRUE(missed.missed().isEmpty()) << missed.missed().join(u'\n').toStdString();
        QCoreApplication::removeTranslator(&swedish);
        QCoreApplication::removeTranslator(&missed);
    }

    // The key names of a menu's entries ("Ctrl+Skift+Z"), in any of them.
    static QString shortcutsOf(const QMenu& menu) {
        QString shown;
        for (const QAction* action : menu.actions())
            shown += action->text().section(u'\t', 1) + u' ' +
                     action->shortcut().toString(QKeySequence::NativeText) + u' ';
        return shown;
    }

    MissedTexts missed;
    ui::QtTextsInSwedish swedish;
};

TEST_F(QtTextsTest, MessagesQuestionsInputAndProgress) {
    ui::QtDialogs qt;
    {
        const Closer closer;
        qt.message(window.get(), "Tolvana", "Klart.", ui::Dialogs::Icon::Information);
        qt.inputBox(window.get(), "Namn:", "Tolvana", "");
        qt.passwordBox(window.get(), "Lösenord:", "Tolvana", "");
        qt.ask(window.get(), "Tolvana", "Texten är inte sparad.", "Gå tillbaka", "Avsluta");
        EXPECT_EQ(closer.closed(), 4);
    }
    const std::unique_ptr<ui::Progress> progress = qt.progress(window.get(), "Krypterar …");
    progress->update(1000, 0.5);

    // Every standard button, and the details that a box can hide.
    QMessageBox box(window.get());
    box.setStandardButtons(QMessageBox::StandardButtons(0xffffffff & ~QMessageBox::NoButton));
    box.setDetailedText("Mer.");
    box.show();
    QInputDialog plain(window.get());
    plain.show();

    const std::unique_ptr<QInputDialog> password =
        ui::MakePasswordBox(window.get(), "Lösenord:", "Tolvana", "");
    std::unique_ptr<QMenu> fieldMenu(password->findChild<QLineEdit*>()->createStandardContextMenu());
    EXPECT_FALSE(shortcutsOf(*fieldMenu).contains("Shift")) << shortcutsOf(*fieldMenu).toStdString();
}

TEST_F(QtTextsTest, MenusOfTheBoxesTheirScrollBarsAndTheWindow) {
    clear()->setText(QString(400, u'x') + QString(60, u'\n'));
    for (ui::CodeTextBox* box : {clear(), cipher()}) {
        std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
        EXPECT_FALSE(shortcutsOf(*menu).contains("Shift")) << shortcutsOf(*menu).toStdString();
        for (QScrollBar* bar : {box->verticalScrollBar(), box->horizontalScrollBar()}) {
            const Closer closer;
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                                    bar->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(bar, &event);
            EXPECT_EQ(closer.closed(), 1);
        }
    }
    for (const QMenu* menu : window->menuBar()->findChildren<QMenu*>())
        EXPECT_FALSE(shortcutsOf(*menu).contains("Shift"));

    // What a screen reader says of a control's actions.
    for (const QString& action :
         {QAccessibleActionInterface::pressAction(), QAccessibleActionInterface::increaseAction(),
          QAccessibleActionInterface::decreaseAction(), QAccessibleActionInterface::showMenuAction(),
          QAccessibleActionInterface::setFocusAction(), QAccessibleActionInterface::toggleAction(),
          QAccessibleActionInterface::scrollLeftAction(),
          QAccessibleActionInterface::scrollRightAction(),
          QAccessibleActionInterface::scrollUpAction(),
          QAccessibleActionInterface::scrollDownAction(),
          QAccessibleActionInterface::previousPageAction(),
          QAccessibleActionInterface::nextPageAction()}) {
        struct Actions : QAccessibleActionInterface {
            QStringList actionNames() const override { return {}; }
            void doAction(const QString&) override {}
            QStringList keyBindingsForAction(const QString&) const override { return {}; }
        } actions;
        actions.localizedActionName(action);
        actions.localizedActionDescription(action);
    }
}

// The file dialogs of the widgets with all they say: the list in detail, a
// new folder, and the questions before a file is replaced or deleted and
// when a file to open is missing.
TEST_F(QtTextsTest, FileDialogsAndTheirQuestions) {
    QTemporaryDir folder;
    QFile(folder.filePath("brev.crp")).open(QIODevice::WriteOnly);
    for (const auto kind : {ui::FileRequest::Kind::Save, ui::FileRequest::Kind::Open}) {
        const ui::FileRequest request{kind, "spara den krypterade texten", "*.crp",
                                      "Krypterat|*.crp|Alla filer|*.*", 1};
        const std::unique_ptr<QFileDialog> dialog = ui::MakeFileDialog(window.get(), request);
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        dialog->setDirectory(folder.path());
        dialog->open();
        auto* list = dialog->findChild<QAbstractItemView*>("listView");
        ASSERT_NE(list, nullptr);
        const auto row = [&](const QString& name) {
            const QModelIndex root = list->rootIndex();
            for (int i = 0; i < list->model()->rowCount(root); ++i)
                if (list->model()->index(i, 0, root).data().toString() == name)
                    return list->model()->index(i, 0, root);
            return QModelIndex();
        };
        ASSERT_TRUE(QTest::qWaitFor([&] { return row("brev.crp").isValid(); }));
        const Closer closer(dialog.get());
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        if (kind == ui::FileRequest::Kind::Save) {
            name->setText("brev.crp");
            // The file's context menu, then the question whether to delete
            // it, then whether to replace it: the closer says no to each.
            list->setCurrentIndex(row("brev.crp"));
            emit list->customContextMenuRequested(list->visualRect(row("brev.crp")).center());
            EXPECT_EQ(closer.closed(), 1);
            auto* remove = dialog->findChild<QAction*>("qt_delete_action");
            ASSERT_NE(remove, nullptr);
            remove->trigger();
            EXPECT_EQ(closer.closed(), 2);
            dialog->setViewMode(QFileDialog::Detail);
            static_cast<QDialog*>(dialog.get())->accept();
            EXPECT_EQ(closer.closed(), 3);
            EXPECT_TRUE(QFile::exists(folder.filePath("brev.crp")));

            auto* newFolder = dialog->findChild<QAction*>("qt_new_folder_action");
            ASSERT_NE(newFolder, nullptr);
            newFolder->trigger();
            EXPECT_TRUE(QDir(folder.filePath("Ny mapp")).exists());
        } else {
            name->setText("saknas.crp");
            static_cast<QDialog*>(dialog.get())->accept(); // says that the file is not there
            EXPECT_EQ(closer.closed(), 1);
        }
        EXPECT_TRUE(dialog->isVisible());
        dialog->reject();
    }
}

} // namespace
} // namespace tolvana::testing
