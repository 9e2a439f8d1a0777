// The messages of the start-up password: creating one, and a password that
// cannot be used at start.

#include "messages/format_p.h"
#include "messages/messages.h"

#include "storage/codepage.h"

namespace tolvana::messages {

using detail::Fill;

namespace {

const char* const kNotSaved = "Lösenordet sparades inte";

} // namespace

std::string PasswordWithoutCode(char32_t c, std::uint64_t line) {
    return Fill("%1: %2 finns inte i teckentabellen.", {kNotSaved, DescribeCharacter(c, line)});
}

std::string PasswordRefused(storage::PasswordProblem problem, std::string_view codes) {
    switch (problem) {
    case storage::PasswordProblem::None:
    case storage::PasswordProblem::Empty: break;
    case storage::PasswordProblem::HoldsQuote:
        return Fill("%1: det får inte innehålla citattecken (\").\n\nDet som står efter "
                    "citattecknet skulle aldrig kunna läsas tillbaka.",
                    {kNotSaved});
    case storage::PasswordProblem::HoldsControlCharacter:
        for (char code : codes) {
            const std::string name =
                ControlName(storage::CharOfCode(static_cast<unsigned char>(code)));
            if (!name.empty())
                return Fill("%1: det innehåller tecknet %2, som inte kan skrivas in när "
                            "programmet startar.",
                            {kNotSaved, name});
        }
        break;
    case storage::PasswordProblem::TooLong:
        return Fill("%1: det får vara högst %2 tecken långt.",
                    {kNotSaved, detail::Grouped(storage::kMaxPasswordLength)});
    }
    return Fill("%1.", {kNotSaved});
}

std::string PasswordNotSaved(std::string_view failedName, const storage::StorageError& error,
                             bool folder, std::string_view passwordFile, std::string_view flagFile,
                             bool hadPassword) {
    std::string text = Fill(folder ? "%1: mappen %2 kunde inte skapas (%3)."
                                   : "%1: filen %2 kunde inte skrivas (%3).",
                            {kNotSaved, failedName, StorageReason(error)});
    if (hadPassword)
        return text + Fill("\n\nDet tidigare lösenordet gäller som förut: filerna %1 och %2 är "
                           "oförändrade.",
                           {passwordFile, flagFile});
    return text + "\n\nProgrammet har fortfarande inget lösenord.";
}

std::string PasswordNotRestored(std::string_view causeName, const storage::StorageError& cause,
                                std::string_view flagName, const storage::StorageError& restore,
                                std::string_view passwordFile) {
    return Fill("%1: filen %2 kunde inte skrivas (%3), och filen %4 kunde inte återställas "
                "(%5).\n\nLösenordsfilen %6 är oförändrad, men vid nästa start kan programmet "
                "fråga efter ett lösenord. Om du tar bort filen %4 tas lösenordet bort.",
                {kNotSaved, causeName, StorageReason(cause), flagName, StorageReason(restore),
                 passwordFile});
}

std::string PasswordMissing(const storage::PasswordMissing& missing, std::string_view passwordFile,
                            std::string_view flagFile) {
    using Cause = storage::PasswordMissing::Cause;
    std::string what;
    switch (missing.cause) {
    case Cause::NotFound: what = "finns inte"; break;
    case Cause::Unreadable:
        what = Fill("kan inte läsas (%1)", {StorageReason(missing.reason, missing.systemCode)});
        break;
    case Cause::EmptyFile: what = "är tom"; break;
    case Cause::EmptyPassword: what = "innehåller ett tomt lösenord"; break;
    case Cause::Corrupt:
        what = "är skadad: den innehåller inget lösenord som går att skriva in";
        break;
    case Cause::OtherUser: what = "tillhör en annan användare"; break;
    }
    return Fill("Programmet är skyddat med ett lösenord, men lösenordsfilen %1 %2.\n\n"
                "Om du tar bort filen %3 tas lösenordet bort.",
                {passwordFile, what, flagFile});
}

std::string FlagUnreadable(const storage::FlagUnreadable& unreadable, std::string_view flagFile) {
    return Fill("Filen %1, som anger om programmet är skyddat med ett lösenord, kan inte läsas "
                "(%2). Programmet avslutas.\n\nGör filen läsbar igen, eller ta bort %1 för att "
                "ta bort lösenordet.",
                {flagFile, StorageReason(unreadable.reason, unreadable.systemCode)});
}

std::string PasswordsDiffer(bool hadPassword) {
    return Fill("De två lösenorden är inte lika, så inget lösenord sparades. %1",
                {hadPassword ? "Det gamla lösenordet gäller som förut."
                             : "Programmet har fortfarande inget lösenord."});
}

} // namespace tolvana::messages
