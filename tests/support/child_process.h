#pragma once

// Running part of a test in a forked child process, for tests that change
// process-wide limits or drop the super-user's privileges.

#include <functional>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tolvana::testing {

// The ids of the unprivileged user "nobody".
inline constexpr uid_t kNobody = 65534;
inline constexpr gid_t kNoGroup = 65534;

// Becomes "nobody" in a child process; false when that is not possible.
inline bool DropPrivileges() {
    if (::geteuid() != 0) return true;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNoGroup) == 0 && ::setuid(kNobody) == 0;
}

// Runs `body` in a forked child and returns its exit code (-1 when it did not
// exit normally).
inline int RunInChild(const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

} // namespace tolvana::testing
