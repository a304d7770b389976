// The three standard descriptors, as the command-line programs need them.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

// Opens each of descriptors 0, 1 and 2 that is closed on /dev/null, so that
// no file the program opens later takes its place and receives what is
// meant for standard output. Returns false when one could not be opened.
inline bool OpenStandardDescriptors()
{
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
            return false;
    }
    return true;
}
