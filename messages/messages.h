#pragma once

// The program's Swedish messages: one catalogue for the windows and for
// tolvana-cipher alike, so that both tell the same failure in the same words.
// Plain C++ with no Qt: every text is UTF-8.
//
// A name passed in as `name` is already fit to be shown: ShownName() of the
// file layer's bytes, or the windows' own display form of a path.

#include "cipher/cipher.h"
#include "storage/passwordstore.h"
#include "storage/storageerror.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvana::messages {

// ---- Names, characters and sizes ----

// A file name as bytes of the file system, made fit for a message: UTF-8 is
// shown as it is, and every byte that is not part of valid UTF-8, or that is a
// control character, is shown visibly as \xE4 (its value in hexadecimal), so
// that a name in another encoding is neither hidden nor garbled.
std::string ShownName(std::string_view bytes);

// The Swedish name of a control character with its code, such as
// "radmatning (kod 10)", for codes 0-31 and 127, "styrtecken (kod 133)" for the
// other control characters 128-159; an empty text for any other character.
std::string ControlName(char32_t c);

// "tecknet "ł" (U+0142) på rad 3", a control character by its name.
std::string DescribeCharacter(char32_t c, std::uint64_t line);

// A piece of code page text fit for a message: quoted, control characters
// named in brackets, and cut short (with "…") after 40 characters.
std::string Quoted(std::string_view codes);

// A size in bytes for people: "512 byte", "1,5 kB", "64 MB", "30 GB" (units of
// 1024, the decimal comma, at most one decimal).
std::string ReadableSize(std::uint64_t bytes);

// ---- Files ----

// Why a file operation failed, as a phrase that fits after a colon or inside
// parentheses: "behörighet saknas", "disken är full", ..., and "systemfel 5"
// for a reason that has no words of its own.
std::string StorageReason(storage::StorageError::Reason reason, std::int64_t systemCode);
// The same, with the sizes of a file too large to read.
std::string StorageReason(const storage::StorageError& error);

// What the user can do about a save refused for `reason`, as whole sentences;
// empty where there is nothing particular to say.
std::string SaveAdvice(storage::StorageError::Reason reason);

// Whether a refused or failed save may say that an earlier file of the same
// name is unchanged: only where a regular file stood there before the save
// began (`regularFileBefore`), and the failure did not find a folder or a
// device in its place.
bool EarlierFileUnchanged(bool regularFileBefore, const storage::StorageError& error);

// "Filen N sparades inte: <reason>." with the advice, and, when `earlierFile`,
// that the file of that name is unchanged.
std::string FileNotSaved(std::string_view name, const storage::StorageError& error,
                         bool earlierFile);

// "Filen N öppnades inte: <reason>."
std::string FileNotOpened(std::string_view name, const storage::StorageError& error);

// An output file that is the input file itself: a phrase after the name.
std::string OutputIsInput();

// A file given from outside (the command line, a drop) that is not opened.
std::string FileMissing(std::string_view name);
std::string FileOfOtherKind(std::string_view name);
std::string NotALocalFile(std::string_view address, std::string_view scheme);
// A file address ("file://nas/home/anna/brev.crp") that names a file on
// another computer, `host`.
std::string FileOnOtherComputer(std::string_view address, std::string_view host);

// A ".crp" file whose first field is empty while more follows: no text that
// Tolvana saved stands at its start (plain cipher text saved under a ".crp"
// name, say). Says how tolvana-cipher reads it as plain cipher text.
std::string NoTextAtStart(std::string_view name);

// A text file that holds a character the code page lacks.
std::string TextFileNotImported(std::string_view name, char32_t c, std::uint64_t line);

// ---- The cipher ----

// The clear text holds a character without a code: "Texten kan inte
// krypteras: tecknet … på rad N finns inte i teckentabellen."
std::string CannotEncrypt(char32_t c, std::uint64_t line);

// "Den krypterade texten kan inte dekrypteras: …", for a token that is no
// number or no character's number, and for a character without a code.
std::string CannotDecrypt(const DecodeFailure& failure);
std::string CannotDecrypt(char32_t c, std::uint64_t line);

// Cipher text that could not be read back from its file: a character without
// a code, or a double quote.
std::string CipherNotSaved(char32_t c, std::uint64_t line);
std::string CipherWithQuoteNotSaved();

// ---- Commands ----

// Memory ran out, or the system refused a resource (such as a thread), while
// a command of the window ran; nothing was changed. The first sentence alone
// is a constant, for a program that has no memory left to build a text.
inline constexpr std::string_view kOutOfMemory = "Minnet räckte inte till, så kommandot avbröts.";
std::string OutOfMemory();
std::string CommandNotRun(std::int64_t systemCode);

// The question before the program ends while a box holds a text that exists
// nowhere else: the clear text, the cipher text or both. Its two answers, the
// first of which is the default.
std::string UnsavedOnEnd(bool clearText, bool cipherText);
inline constexpr std::string_view kGoBack = "Gå tillbaka";
inline constexpr std::string_view kEndWithoutSaving = "Avsluta utan att spara";

// Files given together (on the command line, in one drop) that were not
// opened, each with why: at most one file goes into each box.
enum class LeftReason { Missing, OtherKind, NotLocal, SecondCipher, SecondText };
struct LeftFile {
    std::string name; // fit to be shown
    LeftReason reason;
};
// One message for all of them: `shown` by name (the first ten), and `more`
// counted after them ("och 190 till.").
std::string FilesLeft(const std::vector<LeftFile>& shown, std::uint64_t more);
// The program cannot show its window: no display could be opened (none is
// named, or the one named cannot be reached).
std::string NoDisplay();

// ---- The password ----

// A new password that cannot be stored as it is: a character without a code,
// or a problem that CheckNewPassword finds in its codes.
std::string PasswordWithoutCode(char32_t c, std::uint64_t line);
std::string PasswordRefused(storage::PasswordProblem problem, std::string_view codes);
// The new password was typed twice, and the two differ; nothing was stored.
std::string PasswordsDiffer(bool hadPassword);

// A new password that was not stored because the file `failedName` could not
// be written (or, with `folder`, the folder could not be made) for `error`.
// `passwordFile` and `flagFile` name the files the password was meant for;
// `hadPassword` says whether a password was set before.
std::string PasswordNotSaved(std::string_view failedName, const storage::StorageError& error,
                             bool folder, std::string_view passwordFile, std::string_view flagFile,
                             bool hadPassword);
// Neither the password was stored (`cause`, on the file `causeName`) nor the
// flag file `flagName` put back as it was (`restore`).
std::string PasswordNotRestored(std::string_view causeName, const storage::StorageError& cause,
                                std::string_view flagName, const storage::StorageError& restore,
                                std::string_view passwordFile);

// At start: the flag is set but the password cannot be used, or the flag file
// cannot be read. Both end the program and say how to remove the password.
std::string PasswordMissing(const storage::PasswordMissing& missing, std::string_view passwordFile,
                            std::string_view flagFile);
std::string FlagUnreadable(const storage::FlagUnreadable& unreadable, std::string_view flagFile);

// ---- tolvana-cipher's frames ----
//
// `name` is a file's shown name, `stream` the name of a standard stream
// ("standard in", "standard ut", "standard fel").
namespace tool {

inline constexpr std::string_view kStandardInput = "standard in";
inline constexpr std::string_view kStandardOutput = "standard ut";
inline constexpr std::string_view kStandardError = "standard fel";

// "N: kan inte läsas: <reason>"
std::string CannotRead(std::string_view name, std::string_view reason);
// "standard in kan inte läsas: <reason>", and "… mer än N byte" for a stream
// longer than `maximum` bytes.
std::string StreamCannotRead(std::string_view stream, std::string_view reason);
std::string StreamTooLong(std::string_view stream, std::uint64_t maximum);
// "standard ut kan inte skrivas: <reason>"
std::string StreamCannotWrite(std::string_view stream, std::string_view reason);
// "N: kan inte skrivas: <reason>", that an earlier file is unchanged where
// `earlierFile`, and the advice for the reason.
std::string CannotWrite(std::string_view name, const storage::StorageError& error,
                        bool earlierFile);
// "N: filen är tom", "N: texten är inte UTF-8"
std::string FileIsEmpty(std::string_view name);
std::string NotUtf8(std::string_view name);
// "N: <message>", a message of the catalogue about the file or stream N.
std::string About(std::string_view name, std::string_view message);

} // namespace tool

} // namespace tolvana::messages
