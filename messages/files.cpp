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
    case Reason::BrokenLink: return "det är en länk till en fil som inte finns";
    case Reason::NameTooLong: return "namnet är för långt";
    case Reason::TooManyLinks:
        return "för många länkar i rad (kanske en länk som pekar på sig själv)";
    case Reason::NotAFolder: return "en del av sökvägen är en fil, inte en mapp";
    case Reason::FileSizeLimit: return "filen blir större än vad systemet tillåter";
    case Reason::InUse: return "filen används av ett annat program";
    case Reason::TooManyOpen: return "för många filer är öppna";
    case Reason::DeviceError: return "enheten kunde inte läsa eller skriva (in- eller utmatningsfel)";
    case Reason::Interrupted: return "åtgärden avbröts";
    case Reason::OutOfMemory: return "minnet räckte inte till";
    case Reason::Busy: return "resursen är upptagen för tillfället";
    case Reason::NotSupported: return "filsystemet tillåter inte namnet eller åtgärden";
    case Reason::OtherFileSystem: return "filen och dess nya version ligger på olika filsystem";
    case Reason::AlreadyExists: return "en fil med samma namn kom till under tiden";
    case Reason::FolderNotEmpty: return "mappen är inte tom";
    case Reason::LinkLimit: return "filen har redan så många namn som den kan ha";
    case Reason::StaleFile: return "filen finns inte längre på servern";
    case Reason::NoDevice: return "enheten finns inte (kanske har den tagits bort)";
    case Reason::HasOtherNames:
        return "filen har fler namn (hårda länkar), som inte skulle få den nya texten";
    case Reason::AclNotKept:
        return "filens åtkomstlista (ACL) kunde inte föras över till den nya versionen";
    case Reason::ProgramFault: return "ett fel i programmet";
    case Reason::None:
    case Reason::Other: break;
    }
    return "systemfel " + std::to_string(systemCode);
}

std::string StorageReason(const storage::StorageError& error) {
    if (error.reason() == Reason::BrokenLink && !error.detail().empty())
        return Fill("det är en länk till %1, som inte finns", {ShownName(error.detail())});
    if (error.reason() == Reason::NotAFolder && !error.detail().empty())
        return Fill("%1 är en fil, inte en mapp", {ShownName(error.detail())});
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
    case Reason::HasOtherNames:
        return "Du kan spara under ett annat namn, eller ta bort filens andra namn först.";
    case Reason::AclNotKept:
        return "Du kan spara under ett annat namn, så att ingen får fler rättigheter än förut.";
    case Reason::FileSizeLimit:
        return "Du kan spara på en plats där gränsen är högre, eller be systemets administratör "
               "höja den.";
    case Reason::InUse: return "Stäng det programmet och försök igen.";
    default: return {};
    }
}

bool EarlierFileUnchanged(bool regularFileBefore, const storage::StorageError& error) {
    return regularFileBefore && error.reason() != Reason::IsFolder &&
           error.reason() != Reason::NotRegularFile;
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

std::string OutputIsInput() {
    return "utfilen är samma fil som infilen, som då skulle gå förlorad; inget skrevs. Välj ett "
           "annat namn för resultatet";
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

std::string FilesLeft(const std::vector<LeftFile>& shown, std::uint64_t more) {
    std::string text = "Tolvana öppnar en krypterad fil (.crp) och en textfil (.txt) åt gången. "
                       "Dessa filer öppnades inte:";
    for (const LeftFile& file : shown) {
        const char* why = "";
        switch (file.reason) {
        case LeftReason::Missing: why = "finns inte"; break;
        case LeftReason::OtherKind:
            why = "är varken en krypterad fil (.crp) eller en textfil (.txt)";
            break;
        case LeftReason::NotLocal: why = "är ingen fil på den här datorn"; break;
        case LeftReason::SecondCipher: why = "en krypterad fil har redan öppnats"; break;
        case LeftReason::SecondText: why = "en textfil har redan lästs in"; break;
        }
        text += Fill("\n%1: %2", {file.name, why});
    }
    if (more > 0) text += Fill("\noch %1 till.", {detail::Grouped(more)});
    return text;
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
