#include "tools/platform.h"
#include "storage/platform.h"

#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <strings.h>

#include <exception>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

namespace tolvana::tool {

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void UseBinaryStandardStreams() {}

namespace {

// From UTF-8 to the locale's character set; none where the locale is UTF-8.
iconv_t toLocale = reinterpret_cast<iconv_t>(-1);

bool IsUtf8(const char* codeset) {
    return strcasecmp(codeset, "UTF-8") == 0 || strcasecmp(codeset, "UTF8") == 0;
}

// Stand-ins for the characters of the tool's words that a one-byte set may
// lack; plain ASCII, which every such set has.
const char* StandIn(char32_t c) {
    switch (c) {
    case U'å':
    case U'ä':
    case U'à':
    case U'á': return "a";
    case U'Å':
    case U'Ä': return "A";
    case U'ö':
    case U'ø': return "o";
    case U'Ö':
    case U'Ø': return "O";
    case U'é':
    case U'è': return "e";
    case U'É': return "E";
    case U'ü': return "u";
    case U'…': return "...";
    case U'–':
    case U'—': return "-";
    case U'“':
    case U'”':
    case U'„':
    case U'»':
    case U'«': return "\"";
    case U'’':
    case U'‘': return "'";
    default: return "?";
    }
}

// The length of the UTF-8 character that starts with `lead`, and its value.
std::size_t NextCharacter(std::string_view text, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (at + length > text.size()) {
        c = U'?';
        return text.size() - at;
    }
    c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return length;
}

} // namespace

void UseLocaleCharacterSet() {
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || *codeset == '\0' || IsUtf8(codeset)) return;
    toLocale = iconv_open(codeset, "UTF-8");
}

void WriteInLocale(int fd, std::string_view utf8, const std::string& name) {
    if (toLocale == reinterpret_cast<iconv_t>(-1))
        return storage::platform::WriteStream(fd, utf8, name);
    char buffer[512];
    std::size_t used = 0;
    const auto flush = [&] {
        storage::platform::WriteStream(fd, std::string_view(buffer, used), name);
        used = 0;
    };
    for (std::size_t at = 0; at < utf8.size();) {
        char32_t c;
        const std::size_t length = NextCharacter(utf8, at, c);
        if (used + 16 > sizeof buffer) flush();
        char* in = const_cast<char*>(utf8.data() + at);
        std::size_t inLeft = length;
        char* out = buffer + used;
        std::size_t outLeft = sizeof buffer - used;
        if (iconv(toLocale, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            iconv(toLocale, nullptr, nullptr, nullptr, nullptr); // back to the start state
            const char* standIn = StandIn(c);
            std::memcpy(buffer + used, standIn, std::strlen(standIn));
            used += std::strlen(standIn);
        } else {
            used = static_cast<std::size_t>(out - buffer);
        }
        at += length;
    }
    flush();
}

void RunBoth(const std::function<void()>& first, const std::function<void()>& second) {
    std::exception_ptr secondError;
    const auto runSecond = [&]() noexcept {
        try {
            second();
        } catch (...) {
            secondError = std::current_exception();
        }
    };
    std::optional<std::thread> other;
    if (std::thread::hardware_concurrency() >= 2) {
        try {
            other.emplace(runSecond);
        } catch (const std::system_error&) {
            // No thread for now (resources or memory are short): one after
            // the other is correct, only slower.
        } catch (const std::bad_alloc&) {
        }
    }
    std::exception_ptr firstError;
    try {
        first();
    } catch (...) {
        firstError = std::current_exception();
    }
    if (other)
        other->join();
    else if (!firstError)
        runSecond();
    if (firstError) std::rethrow_exception(firstError);
    if (secondError) std::rethrow_exception(secondError);
}

} // namespace tolvana::tool
