// The fuzzing input as the programs meet it: a file. An in-memory stream
// (fmemopen) refuses a seek past the end of its data and reads on from
// where it stood, where a file seeks and reads its end; the harnesses
// would then take paths, and spend time, that the programs never do.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

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
