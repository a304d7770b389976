// Chores that every converter's command line does alike: reading an input
// that cannot seek, telling whether two names are one file, removing a
// partial output, and checking standard output at exit.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// Removes the output only when the name itself is a regular file: never a
// device, a pipe or a link such as /dev/stdout.
inline void RemoveIfRegular(const char* path)
{
    struct stat status;
    if (lstat(path, &status) == 0 && S_ISREG(status.st_mode))
        remove(path);
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

namespace file_chores {

// The bytes of a pipe read so far, kept for seeks back, and the position
// of the stream over them.
struct PipeCopy {
    FILE* pipe;
    unsigned char* data;
    size_t size, capacity;
    uint64_t position;
    uint64_t limit;  // bytes kept at most
    bool ended;  // the pipe gave its last byte
};

// Reads from the pipe until the copy holds end bytes (at most its limit)
// or the pipe ends. False, with errno set, when the pipe fails or memory
// runs out.
inline bool Fill(PipeCopy* copy, uint64_t end)
{
    end = end < copy->limit ? end : copy->limit;
    while (!copy->ended && copy->size < end) {
        if (copy->size == copy->capacity) {
            size_t capacity = copy->capacity == 0 ? size_t{1} << 16 : copy->capacity * 2;
            capacity = capacity < copy->limit ? capacity : static_cast<size_t>(copy->limit);
            void* grown = capacity > copy->capacity ? realloc(copy->data, capacity) : nullptr;
            if (grown == nullptr) {
                errno = ENOMEM;
                return false;
            }
            copy->data = static_cast<unsigned char*>(grown);
            copy->capacity = capacity;
        }
        size_t got = fread(copy->data + copy->size, 1, copy->capacity - copy->size, copy->pipe);
        copy->size += got;
        if (got == 0) {
            if (ferror(copy->pipe)) {
                errno = errno != 0 ? errno : EIO;
                return false;
            }
            copy->ended = true;
        }
    }
    return true;
}

inline ssize_t Read(void* cookie, char* buffer, size_t size)
{
    PipeCopy* copy = static_cast<PipeCopy*>(cookie);
    if (size > UINT64_MAX - copy->position || !Fill(copy, copy->position + size))
        return -1;
    if (copy->position >= copy->size)
        return 0;
    size_t n = copy->size - copy->position < size ? static_cast<size_t>(copy->size - copy->position) : size;
    memcpy(buffer, copy->data + copy->position, n);
    copy->position += n;
    return static_cast<ssize_t>(n);
}

// Whether the pipe ends within the copy's limit: the copy is filled to it,
// then one byte more is asked for. False, with errno set (EFBIG for a pipe
// that goes on), when it does not or a read fails.
inline bool EndsWithinLimit(PipeCopy* copy)
{
    if (!Fill(copy, copy->limit))
        return false;
    if (!copy->ended) {
        if (getc(copy->pipe) != EOF) {
            errno = EFBIG;
            return false;
        }
        if (ferror(copy->pipe)) {
            errno = errno != 0 ? errno : EIO;
            return false;
        }
        copy->ended = true;
    }
    return true;
}

// Any position from 0 up, past the end too, as a file allows; the end is
// known only once the whole pipe is read, within the limit.
inline int Seek(void* cookie, off64_t* offset, int whence)
{
    PipeCopy* copy = static_cast<PipeCopy*>(cookie);
    int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = static_cast<int64_t>(copy->position);
    } else if (whence == SEEK_END) {
        if (!EndsWithinLimit(copy))
            return -1;
        base = static_cast<int64_t>(copy->size);
    }
    if (*offset < -base) {
        errno = EINVAL;
        return -1;
    }
    copy->position = static_cast<uint64_t>(base + *offset);
    *offset = static_cast<off64_t>(copy->position);
    return 0;
}

inline int Close(void* cookie)
{
    PipeCopy* copy = static_cast<PipeCopy*>(cookie);
    int result = fclose(copy->pipe);
    free(copy->data);
    free(copy);
    return result;
}

}  // namespace file_chores

// A stream over an input that cannot seek (a pipe), which can: the pipe's
// bytes are read only as positions are reached, and kept for seeks back; a
// seek past the end succeeds and reading there gives the end of the file,
// as with a file. At most limit bytes are kept: reading beyond them gives
// the end of the file, and the end of a longer pipe cannot be told (a seek
// to it fails with EFBIG), so that an endless pipe costs bounded memory and
// time. A failing read of the pipe, or memory running out for its bytes,
// is a read error of the stream (errno says which). The stream owns the
// pipe and closes it. Returns null (the pipe closed) when no stream can be
// made.
inline FILE* SeekableStream(FILE* pipe, uint64_t limit)
{
    auto* copy = static_cast<file_chores::PipeCopy*>(calloc(1, sizeof(file_chores::PipeCopy)));
    FILE* stream = nullptr;
    if (copy != nullptr) {
        copy->pipe = pipe;
        copy->limit = limit;
        cookie_io_functions_t functions = {file_chores::Read, nullptr, file_chores::Seek, file_chores::Close};
        stream = fopencookie(copy, "rb", functions);
    }
    if (stream == nullptr) {
        free(copy);
        fclose(pipe);
    }
    return stream;
}
