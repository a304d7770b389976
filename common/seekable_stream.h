// A stream over an input that cannot seek (a pipe), which can: the pipe's
// bytes are read only as positions are reached, and kept for seeks back,
// the first ones in memory and the rest in an unlinked temporary file, so
// that a long pipe costs bounded memory. A seek past the end succeeds and
// reading there gives the end of the file, as with a file.
#pragma once

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace seekable_stream {

// The bytes of a pipe read so far and the position of the stream over
// them. Bytes [0, min(size, memory)) are in data, the rest in spool from
// its offset 0 on.
struct pipe_copy {
    FILE* pipe;
    unsigned char* data;
    size_t capacity;
    size_t memory;  // bytes kept in memory at most
    int spool;  // the temporary file, or -1 before it is needed
    uint64_t size;  // bytes read from the pipe
    uint64_t position;
    uint64_t limit;  // bytes read from the pipe at most
    bool ended;  // the pipe gave its last byte
};

// An unlinked file in $TMPDIR (or /tmp) for the bytes beyond memory, or -1
// with errno set.
inline int open_spool()
{
    const char* folder = getenv("TMPDIR");
    folder = folder != nullptr && *folder != '\0' ? folder : "/tmp";
    int fd = open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR))
        return fd;
    char name[PATH_MAX];
    snprintf(name, sizeof name, "%s/.pipe-XXXXXX", folder);
    fd = mkostemp(name, O_CLOEXEC);
    if (fd >= 0)
        unlink(name);
    return fd;
}

// Sets errno for a failed read of the pipe and returns false.
inline bool pipe_failed(FILE* pipe)
{
    errno = ferror(pipe) && errno != 0 ? errno : EIO;
    return false;
}

// Reads from the pipe until the copy holds end bytes (at most its limit)
// or the pipe ends. False, with errno set, when the pipe fails, memory runs
// out or the temporary file cannot take the bytes.
inline bool fill(pipe_copy* copy, uint64_t end)
{
    end = end < copy->limit ? end : copy->limit;
    unsigned char block[64 * 1024];
    while (!copy->ended && copy->size < end) {
        unsigned char* into = block;
        size_t room = sizeof block;
        if (copy->size < copy->memory) {
            if (copy->size == copy->capacity) {
                size_t capacity = copy->capacity == 0 ? size_t{1} << 16 : copy->capacity * 2;
                capacity = capacity < copy->memory ? capacity : copy->memory;
                void* grown = realloc(copy->data, capacity);
                if (grown == nullptr) {
                    errno = ENOMEM;
                    return false;
                }
                copy->data = static_cast<unsigned char*>(grown);
                copy->capacity = capacity;
            }
            into = copy->data + copy->size;
            room = copy->capacity - static_cast<size_t>(copy->size);
        }
        if (room > copy->limit - copy->size)
            room = static_cast<size_t>(copy->limit - copy->size);
        size_t got = fread(into, 1, room, copy->pipe);
        if (got == 0) {
            if (ferror(copy->pipe))
                return pipe_failed(copy->pipe);
            copy->ended = true;
            break;
        }
        if (into == block) {
            if (copy->spool < 0 && (copy->spool = open_spool()) < 0)
                return false;
            off_t at = static_cast<off_t>(copy->size - copy->memory);
            for (size_t done = 0; done < got;) {
                ssize_t n = pwrite(copy->spool, block + done, got - done, at + static_cast<off_t>(done));
                if (n < 0)
                    return false;
                done += static_cast<size_t>(n);
            }
        }
        copy->size += got;
    }
    return true;
}

inline ssize_t read(void* cookie, char* buffer, size_t size)
{
    pipe_copy* copy = static_cast<pipe_copy*>(cookie);
    if (size > UINT64_MAX - copy->position || !fill(copy, copy->position + size))
        return -1;
    size_t done = 0;
    while (done < size && copy->position < copy->size) {
        uint64_t at = copy->position;
        size_t n = size - done;
        if (at < copy->memory) {
            size_t held = static_cast<size_t>(copy->size < copy->memory ? copy->size : copy->memory);
            n = n < held - at ? n : static_cast<size_t>(held - at);
            memcpy(buffer + done, copy->data + at, n);
        } else {
            n = n < copy->size - at ? n : static_cast<size_t>(copy->size - at);
            ssize_t got = pread(copy->spool, buffer + done, n, static_cast<off_t>(at - copy->memory));
            if (got <= 0) {
                errno = got < 0 ? errno : EIO;
                return -1;
            }
            n = static_cast<size_t>(got);
        }
        copy->position += n;
        done += n;
    }
    return static_cast<ssize_t>(done);
}

// Whether the pipe ends within the copy's limit: the copy is filled to it,
// then one byte more is asked for. False, with errno set (EFBIG for a pipe
// that goes on), when it does not or a read fails.
inline bool ends_within_limit(pipe_copy* copy)
{
    if (!fill(copy, copy->limit))
        return false;
    if (!copy->ended) {
        if (getc(copy->pipe) != EOF) {
            errno = EFBIG;
            return false;
        }
        if (ferror(copy->pipe))
            return pipe_failed(copy->pipe);
        copy->ended = true;
    }
    return true;
}

// Any position from 0 up, past the end too, as a file allows; the end is
// known only once the whole pipe is read, within the limit.
inline int seek(void* cookie, off64_t* offset, int whence)
{
    pipe_copy* copy = static_cast<pipe_copy*>(cookie);
    int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = static_cast<int64_t>(copy->position);
    } else if (whence == SEEK_END) {
        if (!ends_within_limit(copy))
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

inline int close_copy(void* cookie)
{
    pipe_copy* copy = static_cast<pipe_copy*>(cookie);
    int result = fclose(copy->pipe);
    if (copy->spool >= 0)
        close(copy->spool);
    free(copy->data);
    free(copy);
    return result;
}

}  // namespace seekable_stream

// The seekable stream over pipe, which it owns and closes. At most limit
// bytes of the pipe are read: reading beyond them gives the end of the
// file, and the end of a longer pipe cannot be told (a seek to it fails
// with EFBIG), so that an endless pipe costs bounded time. Of them, at most
// memory bytes are kept in memory. A failing read of the pipe, or memory or
// disk space running out for its bytes, is a read error of the stream
// (errno says which). Returns null (the pipe closed) when no stream can be
// made.
inline FILE* SeekableStream(FILE* pipe, uint64_t limit, size_t memory)
{
    auto* copy = static_cast<seekable_stream::pipe_copy*>(calloc(1, sizeof(seekable_stream::pipe_copy)));
    FILE* stream = nullptr;
    if (copy != nullptr) {
        copy->pipe = pipe;
        copy->limit = limit;
        copy->memory = memory;
        copy->spool = -1;
        cookie_io_functions_t functions = {seekable_stream::read, nullptr, seekable_stream::seek,
                                           seekable_stream::close_copy};
        stream = fopencookie(copy, "rb", functions);
    }
    if (stream == nullptr) {
        free(copy);
        fclose(pipe);
    }
    return stream;
}

// The part of a pipe that the converters keep in memory; the rest goes to
// a temporary file.
enum : size_t { kPipeMemory = size_t{64} << 20 };

// Reads a stream to its end into memory, as a pipe's copy keeps its first
// bytes, after the prefix of it that was read already: *data (malloc'd;
// the caller frees it) then holds all *size bytes. False, with errno set,
// when a read fails, memory runs out, or the stream holds more than limit
// bytes in all (EFBIG).
inline bool ReadWholeStream(FILE* in, const unsigned char* prefix, size_t prefix_size, size_t limit,
                            unsigned char** data, size_t* size)
{
    seekable_stream::pipe_copy copy = {};
    copy.pipe = in;
    copy.limit = limit;
    copy.memory = limit;
    copy.spool = -1;
    if (prefix_size > 0) {
        copy.capacity = prefix_size > size_t{1} << 16 ? prefix_size : size_t{1} << 16;
        copy.data = static_cast<unsigned char*>(malloc(copy.capacity));
        if (copy.data == nullptr) {
            errno = ENOMEM;
            return false;
        }
        memcpy(copy.data, prefix, prefix_size);
        copy.size = prefix_size;
    }
    if (!seekable_stream::ends_within_limit(&copy)) {
        int error = errno;
        free(copy.data);
        errno = error;
        return false;
    }
    *data = copy.data;
    *size = static_cast<size_t>(copy.size);
    return true;
}
