#include "ui/forms/startup.h"

#include "storage/files.h"
#include "ui/platform/nativepath.h"
#include "ui/texts/codepage.h"
#include "ui/texts/storagemessages.h"

#include <QFile>

namespace tolvana::ui {
namespace {

const QString kTitle = QStringLiteral("Tolvana");

QString MissingPasswordText(const storage::PasswordMissing& missing,
                            const storage::PasswordFiles& files) {
    const QString path = PathForDisplay(missing.path);
    QString what;
    switch (missing.cause) {
    case storage::PasswordMissing::Cause::NotFound: what = QStringLiteral("finns inte"); break;
    case storage::PasswordMissing::Cause::Unreadable:
        what = QStringLiteral("kan inte läsas (%1)")
                   .arg(StorageReason(missing.reason, missing.systemCode));
        break;
    case storage::PasswordMissing::Cause::EmptyFile: what = QStringLiteral("är tom"); break;
    case storage::PasswordMissing::Cause::EmptyPassword:
        what = QStringLiteral("innehåller ett tomt lösenord");
        break;
    }
    const QString flag = PathForDisplay(files.flagPath);
    return QStringLiteral("Programmet är skyddat med ett lösenord, men lösenordsfilen %1 %2.\n\n"
                          "Om du tar bort filen %3 tas lösenordet bort.")
        .arg(path, what, flag);
}

QString UnreadableFlagText(const storage::FlagUnreadable& unreadable) {
    const QString flag = PathForDisplay(unreadable.path);
    return QStringLiteral("Filen %1, som anger om programmet är skyddat med ett lösenord, kan "
                          "inte läsas (%2). Programmet avslutas.\n\n"
                          "Gör filen läsbar igen, eller ta bort %1 för att ta bort lösenordet.")
        .arg(flag, StorageReason(unreadable.reason, unreadable.systemCode));
}

} // namespace

bool RunStartupLock(Dialogs& dialogs, const PasswordPlaces& places) {
    const FoundPassword found = ReadPassword(places);
    const storage::PasswordState& state = found.state;
    const storage::PasswordFiles& files = found.files;
    if (const auto* missing = std::get_if<storage::PasswordMissing>(&state)) {
        dialogs.message(nullptr, kTitle, MissingPasswordText(*missing, files),
                        Dialogs::Icon::Critical);
        return false;
    }
    if (const auto* unreadable = std::get_if<storage::FlagUnreadable>(&state)) {
        dialogs.message(nullptr, kTitle, UnreadableFlagText(*unreadable), Dialogs::Icon::Critical);
        return false;
    }
    const auto* password = std::get_if<storage::Password>(&state);
    if (!password) return true; // no password, or no flag file to hold one

    const QString stored = FromCodes(password->text);
    const QString title = QStringLiteral("Lösenord");
    QString entry = dialogs.inputBox(nullptr, QStringLiteral("Ange lösenord"), title,
                                     QStringLiteral("Skriv ditt lösen här"));
    while (!entry.isEmpty() && entry != stored)
        entry = dialogs.inputBox(nullptr, QStringLiteral("Fel lösenord Ange lösenord"), title,
                                 QStringLiteral("Fel lösenordSkriv ditt lösen här"));
    return !entry.isEmpty();
}

std::unique_ptr<MainWindow> StartProgram(Services services, const QStringList& files) {
    if (!RunStartupLock(services.dialogs, services.passwordFiles)) return nullptr;
    auto window = std::make_unique<MainWindow>(std::move(services));
    window->show();
    for (const QString& file : files) window->openPath(file);
    return window;
}

} // namespace tolvana::ui
