#include "web/words.h"

#include "messages/captions.h"

#include <utility>

namespace tolvana::web {
namespace {

namespace captions = messages::captions;

constexpr std::pair<std::string_view, std::string_view> kCaptions[] = {
    {"title", captions::kTitle},
    {"clear", captions::kClearLabel},
    {"cipher", captions::kCipherLabel},
    {"encrypt", captions::kEncrypt},
    {"decrypt", captions::kDecrypt},
    {"open", captions::kOpenCipher},
    {"open-dialog", captions::kOpenCipherTitle},
    {"import", captions::kImport},
    {"import-dialog", captions::kImportTitle},
    {"save", "Spara som"},
    {"decimal", "Decimaltecken i talen som Kryptera skriver"},
    {"comma", "komma (,)"},
    {"point", "punkt (.)"},
    {"ok", "OK"},
    {"encrypting", captions::kEncrypting},
    {"decrypting", captions::kDecrypting},
    {"reading", captions::kReading},
    {"preparing", captions::kPreparing},
    {"saving", captions::kSaving},
};

} // namespace

std::optional<std::string_view> Caption(std::string_view key) {
    for (const auto& [name, text] : kCaptions)
        if (name == key) return text;
    return std::nullopt;
}

} // namespace tolvana::web
