// An output is whole or absent: when SIGINT, SIGTERM or SIGHUP ends a run,
// the regular file it was writing is removed before the program dies of the
// signal, as gzip and bzip2 do.
#pragma once

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <initializer_list>

namespace partial_output {

// The file being written, or null. A pointer store is one instruction on
// every platform we build for, which the handler may read at any time.
inline const char* volatile path = nullptr;

inline void Handle(int signal)
{
    const char* name = path;
    struct stat status;
    // lstat and unlink are async-signal-safe; links and devices stay.
    if (name != nullptr && lstat(name, &status) == 0 && S_ISREG(status.st_mode))
        unlink(name);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace partial_output

// Installs the handler for SIGINT, SIGTERM and SIGHUP, leaving alone those
// that the run was started with ignored (nohup).
inline void RemovePartialOutputOnSignals()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction old;
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        action.sa_handler = partial_output::Handle;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
    }
}

// Names the regular file being written (null: none); the caller keeps the
// name alive until it names another or none.
inline void SetPartialOutput(const char* path) { partial_output::path = path; }

// Holds SIGINT, SIGTERM and SIGHUP back for its lifetime, so that a file
// can be created and named as the partial output with no signal between
// the two; one that arrives meanwhile is handled when it ends.
class SignalsHeld {
public:
    SignalsHeld()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&set, sig);
        sigprocmask(SIG_BLOCK, &set, &fOld);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &fOld, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t fOld;
};
