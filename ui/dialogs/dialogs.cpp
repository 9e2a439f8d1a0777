#include "ui/dialogs/dialogs.h"

#include "ui/dialogs/unlistednames.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QPushButton>

namespace tolvana::ui {
namespace {

// Work shorter than this shows no dialog at all.
constexpr qint64 kShowAfterMs = 500;

class QtProgress : public Progress {
public:
    QtProgress(QWidget* parent, const QString& label)
        : dialog_(label, QStringLiteral("Avbryt"), 0, 1000, parent) {
        dialog_.setWindowTitle(QStringLiteral("Tolvana"));
        dialog_.setWindowModality(Qt::WindowModal);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        // The dialog is shown from update(), never by its own timer.
        dialog_.setMinimumDuration(std::numeric_limits<int>::max());
        dialog_.setValue(0);
    }

    bool update(qint64 elapsedMs, double done) override {
        dialog_.setValue(static_cast<int>(done * 1000));
        if (elapsedMs >= kShowAfterMs && !dialog_.isVisible() && !dialog_.wasCanceled()) {
            dialog_.show();
            // The pointer shows that work goes on, and that "Avbryt" can be pressed.
            if (QApplication::overrideCursor()) QApplication::changeOverrideCursor(Qt::BusyCursor);
        }
        return dialog_.wasCanceled();
    }

private:
    QProgressDialog dialog_;
};

// The widget file dialog for opening a file, with the files that Qt's own
// listing leaves out (UnlistedNamesModel): such a file is shown, and choosing
// it (Open, Enter or a double click) gives its path exactly. A native dialog
// lists every name itself and is left as it is.
class OpenDialog : public QFileDialog {
public:
    OpenDialog(QWidget* parent, const QString& title) : QFileDialog(parent, title) {
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::ExistingFile);
        auto* names = new UnlistedNamesModel(this);
        setProxyModel(names);
        auto* list = findChild<QAbstractItemView*>(QStringLiteral("listView"));
        if (proxyModel() != names || !list) return;
        names_ = names;
        for (auto* view : findChildren<QAbstractItemView*>()) {
            if (view->model() != names) continue;
            view->installEventFilter(this);
            view->viewport()->installEventFilter(this);
        }
        // Qt's own check disables the Open button for a name that it does not
        // know, after each change of the selection; the choice is ours then.
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] { enableOpen(); });
        connect(this, &QFileDialog::currentChanged, this, [this] { enableOpen(); });
    }

    // The file chosen: one that Qt lists, or one added to its list.
    QString chosen() const {
        if (!chosen_.isEmpty()) return chosen_;
        const QStringList files = selectedFiles();
        return files.isEmpty() ? QString() : files.constFirst();
    }

protected:
    void accept() override {
        const QString added = selectedAdded();
        if (added.isEmpty()) {
            QFileDialog::accept();
            return;
        }
        chosen_ = added;
        QDialog::accept(); // Qt's own accept() would look the name up, and not find it
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* view = qobject_cast<QAbstractItemView*>(watched);
        if (!view && watched->parent()) view = qobject_cast<QAbstractItemView*>(watched->parent());
        QModelIndex index;
        if (view && event->type() == QEvent::MouseButtonDblClick && watched == view->viewport())
            index = view->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        else if (view && event->type() == QEvent::KeyPress && watched == view)
            if (const int key = static_cast<QKeyEvent*>(event)->key();
                key == Qt::Key_Return || key == Qt::Key_Enter)
                index = view->currentIndex();
        // Qt would take an added file for a folder to go into; open it instead.
        if (!index.isValid() || names_->addedPath(index).isEmpty()) return false;
        view->setCurrentIndex(index.siblingAtColumn(0));
        accept();
        return true;
    }

private:
    // The path of the added file that is selected alone, or an empty text.
    QString selectedAdded() const {
        auto* list = findChild<QAbstractItemView*>(QStringLiteral("listView"));
        if (!names_ || !list) return {};
        const QModelIndexList rows = list->selectionModel()->selectedRows();
        if (rows.size() != 1 || !(rows[0].flags() & Qt::ItemIsEnabled)) return {};
        return names_->addedPath(rows[0]);
    }

    void enableOpen() {
        if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
            if (QPushButton* open = buttons->button(QDialogButtonBox::Open);
                open && !selectedAdded().isEmpty())
                open->setEnabled(true);
    }

    UnlistedNamesModel* names_ = nullptr;
    QString chosen_;
};

} // namespace

QStringList NameFilters(const QString& filter) {
    QStringList filters;
    const QStringList parts = filter.split(u'|');
    if (parts.size() == 1) {
        // A bare pattern list such as "*.txt;" has no description.
        QStringList patterns = filter.split(u';', Qt::SkipEmptyParts);
        if (!patterns.isEmpty()) filters << patterns.join(u' ');
        return filters;
    }
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts).join(u' ');
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters;
}

void QtDialogs::message(QWidget* parent, const QString& title, const QString& text, Icon icon) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.exec();
}

QString QtDialogs::inputBox(QWidget* parent, const QString& prompt, const QString& title,
                            const QString& defaultText) {
    bool ok = false;
    QString entry =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? entry : QString();
}

std::unique_ptr<QInputDialog> MakePasswordBox(QWidget* parent, const QString& prompt,
                                              const QString& title, const QString& defaultText) {
    auto box = std::make_unique<QInputDialog>(parent);
    box->setWindowTitle(title);
    box->setLabelText(prompt);
    box->setInputMode(QInputDialog::TextInput);
    box->setTextEchoMode(QLineEdit::Password);
    box->setTextValue(defaultText);
    return box;
}

QString QtDialogs::passwordBox(QWidget* parent, const QString& prompt, const QString& title,
                               const QString& defaultText) {
    const std::unique_ptr<QInputDialog> box = MakePasswordBox(parent, prompt, title, defaultText);
    return box->exec() == QDialog::Accepted ? box->textValue() : QString();
}

std::unique_ptr<QMessageBox> MakeQuestionBox(QWidget* parent, const QString& title,
                                             const QString& text, const QString& back,
                                             const QString& accept, QPushButton** acceptButton) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(title);
    box->setText(text);
    box->setIcon(QMessageBox::Warning);
    QPushButton* backButton = box->addButton(back, QMessageBox::RejectRole);
    *acceptButton = box->addButton(accept, QMessageBox::DestructiveRole);
    box->setDefaultButton(backButton);
    box->setEscapeButton(backButton);
    return box;
}

bool QtDialogs::ask(QWidget* parent, const QString& title, const QString& text, const QString& back,
                    const QString& accept) {
    QPushButton* acceptButton = nullptr;
    const std::unique_ptr<QMessageBox> box =
        MakeQuestionBox(parent, title, text, back, accept, &acceptButton);
    box->exec();
    return box->clickedButton() == acceptButton;
}

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const FileRequest& request) {
    std::unique_ptr<QFileDialog> dialog;
    if (request.kind == FileRequest::Kind::Save) {
        dialog = std::make_unique<QFileDialog>(parent, request.title);
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        // A name typed without an extension gets the pattern's extension.
        QString suffix = request.pattern.section(u'.', 1);
        if (!suffix.isEmpty() && !suffix.contains(u'*')) dialog->setDefaultSuffix(suffix);
    } else {
        dialog = std::make_unique<OpenDialog>(parent, request.title);
    }
    dialog->setObjectName(QStringLiteral("fileDialog"));
    const QStringList filters = NameFilters(request.filter);
    dialog->setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog->selectNameFilter(filters[request.filterIndex - 1]);
    return dialog;
}

std::optional<QString> ChosenFile(QFileDialog& dialog) {
    if (dialog.result() != QDialog::Accepted) return std::nullopt;
    QString path;
    if (auto* open = dynamic_cast<OpenDialog*>(&dialog))
        path = open->chosen();
    else if (!dialog.selectedFiles().isEmpty())
        path = dialog.selectedFiles().constFirst();
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtDialogs::chooseFile(QWidget* parent, const FileRequest& request) {
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(parent, request);
    dialog->exec();
    return ChosenFile(*dialog);
}

std::unique_ptr<Progress> QtDialogs::progress(QWidget* parent, const QString& label) {
    return std::make_unique<QtProgress>(parent, label);
}

} // namespace tolvana::ui
