// The fuzzing input as the programs meet it: a file. An in-memory stream
// (fmemopen) refuses a seek past the end of its data and reads on from
// where it stood, where a file seeks and reads its end; the harnesses
// would then take paths, and spend time, that the programs never do.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// A stream reading the bytes from an anonymous file in memory, positioned
// at its start; null when one cannot be made. The caller closes it.
inline FILE* OpenAsFile(const uint8_t* data, size_t size)
{
    int fd = memfd_create("fuzz-input", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    for (size_t done = 0; done < size;) {
        ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) {
            close(fd);
            return nullptr;
        }
        done += static_cast<size_t>(n);
    }
    FILE* stream = lseek(fd, 0, SEEK_SET) == 0 ? fdopen(fd, "rb") : nullptr;
    if (stream == nullptr)
        close(fd);
    return stream;
}

// A stream that takes everything without a system call, for reports: a
// file of 65,535 entries would cost as many writes. Standard output goes to
// /dev/null, where -o - writes. Aborts when either cannot be had.
inline FILE* DiscardingStream()
{
    auto discard = [](void*, const char*, size_t size) { return static_cast<ssize_t>(size); };
    FILE* stream = fopencookie(nullptr, "w", cookie_io_functions_t{nullptr, discard, nullptr, nullptr});
    if (stream == nullptr || freopen("/dev/null", "w", stdout) == nullptr)
        abort();
    return stream;
}
