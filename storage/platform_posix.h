#pragma once

// Hooks of the POSIX file system code for the tests, which cannot otherwise
// make a file system lack O_TMPFILE or fail at one exact step.

#include "storage/storageerror.h"

namespace tolvana::storage::platform::posix {

// Turns the unnamed temporary files of a save off and on, to test the named
// ones that file systems without O_TMPFILE get.
void UseUnnamedTemporaryFiles(bool use);

enum class Operation {
    WriteAt, // the next WriteAt (a record write)
    Replace, // the next Replacement::Commit, just before its rename
};

// Makes the `call`-th system call from now (counted from 1) of the file layer
// fail with the errno `error`: every open, read, write, fsync, close, rename,
// link, stat and attribute call that reads or writes a file counts. `error` 0
// takes it back. CallsMade() counts the calls made since, so that a test can
// walk an operation one call at a time.
void FailCall(long call, int error);
long CallsMade();

// Makes every write of more than one byte write only half of it, as a signal
// or a pipe may cut a write short.
void UseShortWrites(bool use);

// The reason the file layer gives for the errno `error`.
StorageError::Reason ReasonOfErrno(int error);

// Makes the next `times` calls of `operation` fail with the errno `error`, as
// a full disk or a failing device would; `error` 0 takes it back.
void FailNext(Operation operation, int error, int times = 1);

} // namespace tolvana::storage::platform::posix
