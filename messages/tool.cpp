// The frames of tolvana-cipher's messages: what failed, on which file or
// stream, around the catalogue's reasons.

#include "messages/format_p.h"
#include "messages/messages.h"

namespace tolvana::messages::tool {

using detail::Fill;

std::string CannotRead(std::string_view name, std::string_view reason) {
    return Fill("%1: kan inte läsas: %2", {name, reason});
}

std::string StreamCannotRead(std::string_view stream, std::string_view reason) {
    return Fill("%1 kan inte läsas: %2", {stream, reason});
}

std::string StreamTooLong(std::string_view stream, std::uint64_t maximum) {
    return StreamCannotRead(stream, Fill("mer än %1 byte", {std::to_string(maximum)}));
}

std::string StreamCannotWrite(std::string_view stream, std::string_view reason) {
    return Fill("%1 kan inte skrivas: %2", {stream, reason});
}

std::string CannotWrite(std::string_view name, const storage::StorageError& error,
                        bool earlierFile) {
    std::string text = Fill("%1: kan inte skrivas: %2", {name, StorageReason(error)});
    if (earlierFile) text += "; en tidigare fil med samma namn är oförändrad";
    const std::string advice = SaveAdvice(error.reason());
    if (!advice.empty()) text += ". " + advice;
    return text;
}

std::string FileIsEmpty(std::string_view name) { return Fill("%1: filen är tom", {name}); }

std::string NotUtf8(std::string_view name) { return Fill("%1: texten är inte UTF-8", {name}); }

std::string About(std::string_view name, std::string_view message) {
    return Fill("%1: %2", {name, message});
}

} // namespace tolvana::messages::tool
