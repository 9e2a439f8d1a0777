#pragma once

// Hooks of the POSIX file system code for the tests, which cannot otherwise
// make a file system lack O_TMPFILE or fail at one exact step.

namespace tolvana::storage::platform::posix {

// Turns the unnamed temporary files of a save off and on, to test the named
// ones that file systems without O_TMPFILE get.
void UseUnnamedTemporaryFiles(bool use);

enum class Operation {
    WriteAt, // the next WriteAt (a record write)
    Replace, // the next Replacement::Commit, just before its rename
};

// Makes the next `times` calls of `operation` fail with the errno `error`, as
// a full disk or a failing device would; `error` 0 takes it back.
void FailNext(Operation operation, int error, int times = 1);

} // namespace tolvana::storage::platform::posix
