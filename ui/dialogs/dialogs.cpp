#include "ui/dialogs/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>

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

std::optional<QString> QtDialogs::chooseFile(QWidget* parent, const FileRequest& request) {
    QFileDialog dialog(parent, request.title);
    const QStringList filters = NameFilters(request.filter);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    if (request.kind == FileRequest::Kind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // A name typed without an extension gets the pattern's extension.
        QString suffix = request.pattern.section(u'.', 1);
        if (!suffix.isEmpty() && !suffix.contains(u'*')) dialog.setDefaultSuffix(suffix);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::unique_ptr<Progress> QtDialogs::progress(QWidget* parent, const QString& label) {
    return std::make_unique<QtProgress>(parent, label);
}

} // namespace tolvana::ui
