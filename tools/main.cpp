// Starts tolvana-cipher with the user's locale for its decimal separator.

#include "tools/cipher_tool.h"
#include "tools/platform.h"
#include "storage/platform.h"

#include <clocale>
#include <cstring>
#include <new>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    tolvana::storage::platform::GuardProcess();
    tolvana::tool::UseLocaleCharacterSet();
    tolvana::tool::UseBinaryStandardStreams();
    // The locale's separator when it is one byte; a point otherwise.
    const char* decimal = std::localeconv()->decimal_point;
    const char separator = decimal && std::strlen(decimal) == 1 ? decimal[0] : '.';
    try {
        return tolvana::tool::Run(tolvana::tool::Arguments(argc, argv), 0, 1, 2,
                                  separator);
    } catch (const std::bad_alloc&) { // while the arguments were copied
        tolvana::tool::ReportNoMemory(2);
        return tolvana::tool::kFailed;
    }
}
