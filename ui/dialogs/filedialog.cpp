#include "ui/dialogs/filedialog.h"

#include <QWidget>

namespace tolvana::ui {

FileDialog::FileDialog(Dialogs& dialogs, QWidget* owner)
    : QObject(owner), dialogs_(dialogs), owner_(owner) {
    setObjectName(QStringLiteral("Dialogöppna"));
}

std::optional<QString> FileDialog::showOpen() { return show(FileRequest::Kind::Open); }

std::optional<QString> FileDialog::showSave() { return show(FileRequest::Kind::Save); }

std::optional<QString> FileDialog::show(FileRequest::Kind kind) {
    settings.kind = kind;
    return dialogs_.chooseFile(owner_, settings);
}

} // namespace tolvana::ui
