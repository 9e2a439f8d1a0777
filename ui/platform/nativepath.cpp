// What an argument from outside names: a path, or an address.

#include "ui/platform/nativepath.h"

#include <cctype>

namespace tolvana::ui {
namespace {

bool IsSchemeCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
}

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) return false;
    for (std::size_t i = 0; i < start.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != start[i]) return false;
    return true;
}

// "%E4" and the like as their bytes; a "%" that starts no escape stays.
std::string PercentDecoded(std::string_view text) {
    const auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

QString PathForDisplay(const QString& path) { return PathForDisplay(StoragePath(path)); }

NamedFile FileNamedBy(const QString& argument) {
    const std::string bytes = StoragePath(argument);
    // A scheme of two characters or more, so that a drive letter ("c:/x")
    // is never taken for one.
    std::size_t colon = 0;
    while (colon < bytes.size() && IsSchemeCharacter(bytes[colon])) ++colon;
    const bool address = colon >= 2 && std::isalpha(static_cast<unsigned char>(bytes[0])) &&
                         bytes.compare(colon, 3, "://") == 0;
    const bool fileUrl = StartsWithNoCase(bytes, "file:/");
    if (!address && !fileUrl) return {argument, {}, {}};
    if (!fileUrl) return {{}, QString::fromStdString(bytes.substr(0, colon)), {}};

    // file://HOST/PATH or file:/PATH; a query or a fragment is no part of
    // the name.
    std::string_view rest = std::string_view(bytes).substr(5);
    std::string_view host;
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        host = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    rest = rest.substr(0, rest.find_first_of("?#"));
    const std::string path = LocalPathOfFileUrl(host, PercentDecoded(rest));
    if (path.empty())
        return {{},
                QStringLiteral("file"),
                QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size()))};
    return {QtPath(path), {}, {}};
}

} // namespace tolvana::ui
