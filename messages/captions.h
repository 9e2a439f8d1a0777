#pragma once

// The captions that the window and the web page share: its labels, buttons,
// menu items, dialog titles and the words of work in progress, as UTF-8.

#include <string_view>

namespace tolvana::messages::captions {

inline constexpr std::string_view kTitle = "Tolvana";
inline constexpr std::string_view kClearLabel = "Skriv in den text som ska krypteras";
inline constexpr std::string_view kCipherLabel = "Texten krypterad";
inline constexpr std::string_view kEncrypt = "Kryptera";
inline constexpr std::string_view kDecrypt = "Dekryptera";
inline constexpr std::string_view kCreatePassword = "Skapa lösenord";
inline constexpr std::string_view kOpenCipher = "Öppna en krypterad fil";
inline constexpr std::string_view kOpenCipherTitle = "ladda en krypterad fil";
inline constexpr std::string_view kImport = "Öppna fil för tolvana";
inline constexpr std::string_view kImportTitle = "ladda en Okrypterad fil";
inline constexpr std::string_view kEncrypting = "Krypterar …";
inline constexpr std::string_view kDecrypting = "Dekrypterar …";
inline constexpr std::string_view kReading = "Läser filen …";
inline constexpr std::string_view kPreparing = "Förbereder …";
inline constexpr std::string_view kSaving = "Sparar filen …";

} // namespace tolvana::messages::captions
