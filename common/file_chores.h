// Chores that every converter's command line does alike: opening an input,
// telling whether two names are one file and checking standard output at
// exit.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdio>

// Opens the input for reading, with its status in *status. Returns the
// stream, or null with errno set (EISDIR for a folder, which fopen opens).
inline FILE* OpenInput(const char* path, struct stat* status)
{
    FILE* in = fopen(path, "rb");
    if (in == nullptr)
        return nullptr;
    int error = fstat(fileno(in), status) != 0 ? errno : S_ISDIR(status->st_mode) ? EISDIR : 0;
    if (error != 0) {
        fclose(in);
        errno = error;
        return nullptr;
    }
    return in;
}

// True when the status describes the file of that device and inode,
// whatever its type.
inline bool SameFile(const struct stat& status, dev_t device, ino_t inode)
{
    return status.st_dev == device && status.st_ino == inode;
}

// True when the open stream and the name are one file (by device and
// inode), which opening the name for writing would empty or disturb.
inline bool SameFile(FILE* stream, const char* path)
{
    struct stat open, named;
    return fstat(fileno(stream), &open) == 0 && stat(path, &named) == 0 && SameFile(named, open.st_dev, open.st_ino);
}

// Whether everything written to standard output reached it: false, with
// errno saying why, after a failed write or flush (a full disk).
inline bool StandardOutputWritten()
{
    if (fflush(stdout) != 0)
        return false;
    if (ferror(stdout)) {
        errno = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}
