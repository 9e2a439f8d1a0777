#include "ui/forms/startup.h"

#include "messages/messages.h"
#include "storage/files.h"
#include "ui/forms/windowplace.h"
#include "ui/platform/nativepath.h"
#include "ui/texts/codepage.h"

#include <QFile>

namespace tolvana::ui {
namespace {

const QString kTitle = QStringLiteral("Tolvana");

std::string Shown(const std::string& path) { return PathForDisplay(path).toStdString(); }

} // namespace

bool RunStartupLock(Dialogs& dialogs, const PasswordPlaces& places) {
    const FoundPassword found = ReadPassword(places);
    const storage::PasswordState& state = found.state;
    const storage::PasswordFiles& files = found.files;
    if (const auto* missing = std::get_if<storage::PasswordMissing>(&state)) {
        const std::string text =
            messages::PasswordMissing(*missing, Shown(missing->path), Shown(files.flagPath));
        dialogs.message(nullptr, kTitle, QString::fromStdString(text), Dialogs::Icon::Critical);
        return false;
    }
    if (const auto* unreadable = std::get_if<storage::FlagUnreadable>(&state)) {
        const std::string text = messages::FlagUnreadable(*unreadable, Shown(unreadable->path));
        dialogs.message(nullptr, kTitle, QString::fromStdString(text), Dialogs::Icon::Critical);
        return false;
    }
    const auto* password = std::get_if<storage::Password>(&state);
    if (!password) return true; // no password, or no flag file to hold one

    const QString stored = FromCodes(password->text);
    const QString title = QStringLiteral("Lösenord");
    QString entry = dialogs.passwordBox(nullptr, QStringLiteral("Ange lösenord"), title,
                                     QStringLiteral("Skriv ditt lösen här"));
    while (!entry.isEmpty() && entry != stored)
        entry = dialogs.passwordBox(nullptr, QStringLiteral("Fel lösenord Ange lösenord"), title,
                                 QStringLiteral("Fel lösenordSkriv ditt lösen här"));
    return !entry.isEmpty();
}

std::unique_ptr<MainWindow> StartProgram(Services services, const QStringList& files) {
    if (!RunStartupLock(services.dialogs, services.passwordFiles)) return nullptr;
    auto window = std::make_unique<MainWindow>(std::move(services));
    RememberPlace(*window);
    window->show();
    window->openPaths(files);
    return window;
}

} // namespace tolvana::ui
