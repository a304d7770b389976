// The output file shared by the converters; output_file.h says what it
// promises.
#include "output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "file_chores.h"

namespace {

// The temporary file being written, or null; the signal handler reads it
// at any moment, so it is an atomic that needs no lock.
std::atomic<const char*> pendingFile{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free);

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

// Links followed at most before a name counts as a loop, as the kernel's
// own limit.
enum { kMaxLinks = 40 };
// The part of the target's name kept in the temporary file's name, so that
// the prefix and suffix still fit a name of 255 bytes.
enum { kMaxNamePart = 200 };

void HandleSignal(int signal)
{
    // unlink is async-signal-safe; the run then dies of the signal, which
    // is held until this handler returns.
    if (const char* name = pendingFile.load())
        unlink(name);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

// Holds the four signals back for its lifetime, so that a file is created
// and named to the handler (or renamed and unnamed) with none between the
// two; one that arrives meanwhile is handled when it ends.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kSignals)
            sigaddset(&set, sig);
        sigprocmask(SIG_BLOCK, &set, &fOld);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &fOld, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t fOld;
};

// The folder part of path: up to and including its last '/', or empty.
size_t FolderLength(const char* path)
{
    const char* slash = strrchr(path, '/');
    return slash == nullptr ? 0 : static_cast<size_t>(slash - path + 1);
}

// The name that path leads to through symbolic links, whether or not a
// file is there (a dangling link leads to the name it holds). Returns a
// malloc'd name, or null with errno set.
char* FollowLinks(const char* path)
{
    char* name = strdup(path);
    for (int hops = 0; name != nullptr && hops < kMaxLinks; hops++) {
        struct stat status;
        if (lstat(name, &status) != 0 || !S_ISLNK(status.st_mode))
            return name;
        char link[PATH_MAX];
        ssize_t n = readlink(name, link, sizeof link - 1);
        if (n < 0) {
            free(name);
            return nullptr;
        }
        link[n] = '\0';
        // A relative link is read from the link's own folder.
        size_t folder = link[0] == '/' ? 0 : FolderLength(name);
        char* next = static_cast<char*>(malloc(folder + static_cast<size_t>(n) + 1));
        if (next != nullptr) {
            memcpy(next, name, folder);
            memcpy(next + folder, link, static_cast<size_t>(n) + 1);
        }
        free(name);
        name = next;
    }
    if (name != nullptr) {
        free(name);
        errno = ELOOP;
    }
    return nullptr;
}

// .NAME.PROGRAM-XXXXXX in target's folder, as mkstemp takes it.
char* TemporaryName(const char* target, const char* program)
{
    size_t folder = FolderLength(target);
    const char* base = target + folder;
    size_t size = folder + kMaxNamePart + strlen(program) + 16;
    char* name = static_cast<char*>(malloc(size));
    if (name != nullptr)
        snprintf(name, size, "%.*s.%.*s.%s-XXXXXX", static_cast<int>(folder), target, kMaxNamePart, base, program);
    return name;
}

// The umask, which can only be read by setting it.
mode_t CurrentUmask()
{
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

// Opens a device, a FIFO or a pipe as it is: no signal is held while the
// open waits for a FIFO's reader, and nothing is created.
int OpenInPlace(output_file* out, const char* path, const struct stat* input)
{
    int fd = open(path, O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat status;
    if (fstat(fd, &status) != 0 || S_ISREG(status.st_mode)) {
        // Turned into a regular file after it was looked at: writing it in
        // place could leave it half written.
        close(fd);
        errno = EAGAIN;
        return -1;
    }
    if (input != nullptr && SameFile(status, input->st_dev, input->st_ino)) {
        close(fd);
        return kOutputIsInput;
    }
    out->stream = fdopen(fd, "wb");
    if (out->stream == nullptr) {
        int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return 0;
}

// Gives the new file the earlier file's owner and group where the process
// may, then its mode (set-id bits only for an owner kept), or the umask's
// mode for a new name.
void TakeOwnerAndMode(const output_file* out, int fd)
{
    struct stat earlier;
    if (stat(out->target, &earlier) != 0 || !S_ISREG(earlier.st_mode)) {
        fchmod(fd, out->new_mode);
        return;
    }
    bool owner = fchown(fd, earlier.st_uid, earlier.st_gid) == 0;
    // Else the group alone, which a member of it may give.
    [[maybe_unused]] bool group = owner || fchown(fd, static_cast<uid_t>(-1), earlier.st_gid) == 0;
    fchmod(fd, earlier.st_mode & (owner ? 07777 : 01777));
}

void FreeNames(output_file* out)
{
    free(out->temporary);
    free(out->target);
    out->temporary = nullptr;
    out->target = nullptr;
}

}  // namespace

void remove_output_on_signals(void)
{
    for (int sig : kSignals) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = HandleSignal;
        sigemptyset(&action.sa_mask);
        for (int held : kSignals)
            sigaddset(&action.sa_mask, held);
        sigaction(sig, &action, nullptr);
    }
}

int output_open(output_file* out, const char* path, const char* program, const struct stat* input)
{
    *out = output_file{};
    struct stat status;
    if (stat(path, &status) == 0 && !S_ISREG(status.st_mode))
        return OpenInPlace(out, path, input);
    out->target = FollowLinks(path);
    if (out->target == nullptr)
        return -1;
    if (input != nullptr && stat(out->target, &status) == 0 && SameFile(status, input->st_dev, input->st_ino)) {
        FreeNames(out);
        return kOutputIsInput;
    }
    out->temporary = TemporaryName(out->target, program);
    if (out->temporary == nullptr) {
        FreeNames(out);
        errno = ENOMEM;
        return -1;
    }
    out->new_mode = 0666 & ~CurrentUmask();
    int fd;
    {
        SignalsHeld held;
        fd = mkostemp(out->temporary, O_CLOEXEC);
        if (fd >= 0)
            pendingFile.store(out->temporary);
    }
    if (fd < 0) {
        int error = errno;
        FreeNames(out);
        errno = error;
        return -1;
    }
    out->stream = fdopen(fd, "wb");
    if (out->stream == nullptr) {
        int error = errno;
        close(fd);
        output_abandon(out);
        errno = error;
        return -1;
    }
    return 0;
}

int output_commit(output_file* out)
{
    FILE* stream = out->stream;
    out->stream = nullptr;
    int error = 0;
    if (fflush(stream) != 0 || ferror(stream))
        error = errno != 0 ? errno : EIO;
    if (error == 0 && out->temporary != nullptr)
        TakeOwnerAndMode(out, fileno(stream));
    if (fclose(stream) != 0 && error == 0)
        error = errno;
    if (error == 0 && out->temporary != nullptr) {
        SignalsHeld held;
        if (rename(out->temporary, out->target) == 0)
            pendingFile.store(nullptr);
        else
            error = errno;
    }
    if (error != 0) {
        output_abandon(out);
        errno = error;
        return -1;
    }
    FreeNames(out);
    return 0;
}

void output_abandon(output_file* out)
{
    if (out->stream != nullptr)
        fclose(out->stream);
    out->stream = nullptr;
    if (out->temporary != nullptr) {
        SignalsHeld held;
        unlink(out->temporary);
        pendingFile.store(nullptr);
    }
    FreeNames(out);
}
