#include "tools/cipher_tool.h"

#include "messages/messages.h"
#include "storage/platform.h"
#include "tools/options.h"
#include "tools/platform.h"
#include "tools/streaming.h"

#include <new>
#include <string_view>

namespace tolvana::tool {
namespace {

// Refuses, before anything is read or written, an output file that is the
// input itself under this or another name: it would be replaced by what was
// made of it, and the input lost for good.
void CheckOutputIsNotInput(const Options& options, int in) {
    if (IsStandard(options.output)) return;
    const bool same = IsStandard(options.input)
                          ? storage::platform::SameFile(in, options.output)
                          : storage::platform::SameFile(options.input, options.output);
    if (same)
        throw Failure{kFailed, messages::tool::About(messages::ShownName(options.output),
                                                     messages::OutputIsInput())};
}

// Writes the message in pieces, so that reporting needs no memory. Standard
// error that cannot be written leaves nowhere to say so.
void Report(int err, std::string_view message) {
    try {
        const std::string_view pieces[] = {kProgram, ": ", message, "\n"};
        for (std::string_view piece : pieces) WriteInLocale(err, piece, kStandardError);
    } catch (...) {
    }
}

// Writes the tool's own words to standard output in the locale's character
// set: kOk, or kFailed when they cannot be written.
int PrintInLocale(int out, std::string_view text) {
    try {
        WriteInLocale(out, text, kStandardOutput);
        return kOk;
    } catch (const storage::StorageError&) {
        return kFailed;
    }
}

// Writes `text` to standard output: kOk, or kFailed when it cannot be written.
int Print(int out, std::string_view text) {
    try {
        storage::platform::WriteStream(out, text, kStandardOutput);
        return kOk;
    } catch (const storage::StorageError&) {
        return kFailed;
    }
}

} // namespace

void ReportNoMemory(int err) {
    // The window's words. The name of the input is left out: this message
    // needs no memory.
    Report(err, messages::kOutOfMemory);
}

int Run(const std::vector<std::string>& arguments, int in, int out, int err, char localeDecimal) {
    try {
        Options options;
        if (std::optional<Failure> failure = Parse(arguments, options)) {
            Report(err, failure->message);
            return failure->status;
        }
        if (options.help) return PrintInLocale(out, kHelp);
        if (options.version) return Print(out, std::string(kProgram) + " " TOLVANA_VERSION "\n");
        try {
            CheckOutputIsNotInput(options, in);
            if (options.command == Command::Kryptera)
                Encrypt(options, in, out, localeDecimal);
            else
                Decrypt(options, in, out);
            return kOk;
        } catch (const Failure& failure) {
            Report(err, failure.message);
            return failure.status;
        } catch (const storage::StorageError& error) {
            Report(err, messages::tool::About(NameOf(options.input, kStandardInput),
                                              messages::StorageReason(error)));
            return kFailed;
        }
    } catch (const std::bad_alloc&) {
        // Also when making another message ran short.
        ReportNoMemory(err);
        return kFailed;
    }
}

} // namespace tolvana::tool
