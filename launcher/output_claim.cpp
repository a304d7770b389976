#include "output_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

OutputClaim::Found OutputClaim::Look(const std::string& path, const std::string& input)
{
    struct stat entry, at, in;
    if (lstat(path.c_str(), &entry) != 0)
        return Found::kNothing;
    if (path == input || (stat(path.c_str(), &at) == 0 && stat(input.c_str(), &in) == 0 && at.st_dev == in.st_dev &&
                          at.st_ino == in.st_ino))
        return Found::kInput;
    if (S_ISDIR(entry.st_mode))
        return Found::kFolder;
    // A claim's file is locked while its run writes it; a lock held
    // elsewhere makes this one fail at once.
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Found::kSomething;
    bool busy = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return busy ? Found::kBeingWritten : Found::kSomething;
}

// The folder part of a path ("." for none) and the rest.
static std::pair<std::string, std::string> Split(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool OutputClaim::Claim(const std::string& path, bool setAside)
{
    Undo();
    fPath = path;
    if (setAside) {
        // A free hidden name beside it, which rename then takes over: the
        // file (or link: never what it points to) moves as a whole.
        auto [dir, name] = Split(path);
        std::string aside = (dir == "/" ? "" : dir) + "/." + name + ".Convert-XXXXXX";
        int made = mkostemp(aside.data(), O_CLOEXEC);
        if (made < 0)
            return false;
        close(made);
        if (rename(path.c_str(), aside.c_str()) != 0) {
            int error = errno;
            unlink(aside.c_str());
            errno = error;
            return false;
        }
        fAside = aside;
    }
    fLock = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fLock < 0 || flock(fLock, LOCK_EX | LOCK_NB) != 0) {
        int error = errno;
        if (fLock >= 0) {
            close(fLock);
            unlink(path.c_str());
            fLock = -1;
        }
        if (!fAside.empty())
            rename(fAside.c_str(), path.c_str());
        fAside.clear();
        errno = error;
        return false;
    }
    return true;
}

void OutputClaim::_Release()
{
    if (fLock >= 0)
        close(fLock);
    fLock = -1;
    fAside.clear();
}

void OutputClaim::Commit()
{
    if (!Held())
        return;
    if (!fAside.empty())
        unlink(fAside.c_str());
    _Release();
}

bool OutputClaim::Undo()
{
    if (!Held())
        return false;
    bool removed = false;
    struct stat now;
    if (lstat(fPath.c_str(), &now) == 0) {
        // The empty file the claim made and nothing more is no output.
        bool wrote = now.st_size > 0 || S_ISLNK(now.st_mode);
        removed = unlink(fPath.c_str()) == 0 && wrote;
    }
    if (!fAside.empty())
        rename(fAside.c_str(), fPath.c_str());
    _Release();
    return removed;
}
