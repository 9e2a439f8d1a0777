#include "tests/tool/run_tool.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tolvana::testing {

std::filesystem::path MakeTestFolder() {
    char pattern[] = "/tmp/tolvana-cipher-test-XXXXXX";
    if (!mkdtemp(pattern)) return {};
    return pattern;
}

namespace {
std::uint64_t fileSizeLimit = 0;
}

bool LimitFileSize(std::uint64_t bytes) {
    fileSizeLimit = bytes;
    return true;
}

bool LocaleNamesTheCharacterSet() { return true; }

bool CanLimitAddressSpace() { return true; }

bool NamesAreBytes() { return true; }

int RunTool(const std::filesystem::path& dir, const std::vector<std::string>& arguments,
            const char* locale, std::uint64_t addressSpace) {
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{addressSpace, addressSpace};
        if (addressSpace != 0 && setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
        const rlimit fileSize{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit != 0 && setrlimit(RLIMIT_FSIZE, &fileSize) != 0) _exit(126);
        const int in = open((dir / ".in").c_str(), O_RDONLY);
        const int out = open((dir / ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open((dir / ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (chdir(dir.c_str()) != 0) _exit(127);
        setenv("LC_ALL", locale, 1);
        std::vector<char*> argv{const_cast<char*>(TOLVANA_CIPHER_TOOL)};
        for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

} // namespace tolvana::testing
