// Why a file could not be read or written, and the messages about files.

#include "messages/format_p.h"
#include "messages/messages.h"

namespace tolvana::messages {

using detail::Fill;
using Reason = storage::StorageError::Reason;

std::string StorageReason(Reason reason, std::int64_t systemCode) {
    switch (reason) {
    case Reason::NoPermission: return "behörighet saknas";
    case Reason::DiskFull: return "disken är full";
    case Reason::ReadOnlyFileSystem: return "filsystemet är skrivskyddat";
    case Reason::NotFound: return "filen eller mappen finns inte";
    case Reason::IsFolder: return "det är en mapp";
    case Reason::TooLarge: return "filen är för stor";
    case Reason::NotRegularFile: return "det är ingen vanlig fil";
    case Reason::OwnerNotKept:
        return "filen ägs av en annan användare eller grupp och skulle byta ägare om den "
               "ersattes";
    case Reason::FolderNotWritable:
        return "mappen kan inte skrivas i, så filen kan inte ersättas på ett säkert sätt";
    case Reason::ReceiverClosed: return "mottagaren har stängt";
    case Reason::InUse: return "filen används av ett annat program";
    case Reason::NotAFolder: return "det är en fil, inte en mapp";
    case Reason::None:
    case Reason::Other: break;
    }
    return "systemfel " + std::to_string(systemCode);
}

std::string StorageReason(const storage::StorageError& error) {
    if (error.reason() == Reason::NotAFolder)
        return Fill("%1 är en fil, inte en mapp", {ShownName(error.path())});
    if (error.reason() != Reason::TooLarge)
        return StorageReason(error.reason(), error.systemCode());
    std::string size = ReadableSize(error.size());
    std::string maximum = ReadableSize(error.maximum());
    if (size == maximum) { // rounded alike: give the exact figures
        size = detail::Grouped(error.size()) + " byte";
        maximum = detail::Grouped(error.maximum()) + " byte";
    }
    return Fill("filen är %1 stor, och högst %2 kan läsas in", {size, maximum});
}

std::string SaveAdvice(Reason reason) {
    switch (reason) {
    case Reason::OwnerNotKept:
        return "Du kan spara under ett annat namn, eller be filens ägare att göra dig till ägare "
               "av den.";
    case Reason::FolderNotWritable:
        return "Du kan spara i en annan mapp, eller be mappens ägare om rätt att skriva i den.";
    case Reason::InUse: return "Stäng det programmet och försök igen.";
    default: return {};
    }
}

std::string FileNotSaved(std::string_view name, const storage::StorageError& error,
                         bool earlierFile) {
    std::string text = Fill("Filen %1 sparades inte: %2.", {name, StorageReason(error)});
    const std::string advice = SaveAdvice(error.reason());
    if (!advice.empty() || earlierFile) text += "\n\n" + advice;
    if (!advice.empty() && earlierFile) text += ' ';
    if (earlierFile) text += "En tidigare fil med samma namn är oförändrad.";
    return text;
}

std::string FileNotOpened(std::string_view name, const storage::StorageError& error) {
    return Fill("Filen %1 öppnades inte: %2.", {name, StorageReason(error)});
}

std::string FileMissing(std::string_view name) { return Fill("Filen %1 finns inte.", {name}); }

std::string FileOfOtherKind(std::string_view name) {
    return Fill("Filen %1 öppnades inte: Tolvana öppnar krypterade filer (.crp) och textfiler "
                "(.txt).",
                {name});
}

std::string NotALocalFile(std::string_view address, std::string_view scheme) {
    return Fill("Adressen %1 öppnades inte: Tolvana öppnar bara filer på den här datorn "
                "(file:), inte adresser av typen %2:.",
                {address, scheme});
}

std::string FileOnOtherComputer(std::string_view address, std::string_view host) {
    return Fill("Adressen %1 öppnades inte: filen ligger på en annan dator, %2; öppna den genom "
                "en mapp som är monterad här eller kopiera den hit.",
                {address, host});
}

std::string NoTextAtStart(std::string_view name) {
    return Fill("Filen %1 innehåller ingen Tolvana-text i början: dess första fält är tomt, men "
                "filen innehåller mer.\n\nOm filen innehåller krypterad text utan citattecken "
                "kan den läsas med \"tolvana-cipher dekryptera --ren\".",
                {name});
}

std::string TextFileNotImported(std::string_view name, char32_t c, std::uint64_t line) {
    return Fill("Filen %1 kan inte läsas in: %2 finns inte i teckentabellen.",
                {name, DescribeCharacter(c, line)});
}

} // namespace tolvana::messages
