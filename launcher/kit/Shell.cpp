// The shell's commands run in a child process of their own process group,
// watched by a thread of their own: it passes the child's output on, keeps
// its last line, waits for it and posts the outcome to the looper, whose
// queue is safe to post to from any thread. The command line's bytes reach
// the shell unchanged (file names need not be UTF-8).
#include "Shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <deque>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

static int (*shellHook)(const char*) = nullptr;
static int (*launchHook)(const char*, const char*) = nullptr;

void set_shell_system_hook(int (*hook)(const char*)) { shellHook = hook; }
void set_shell_launch_hook(int (*hook)(const char*, const char*)) { launchHook = hook; }

status_t shell_launch(const char* program, const char* argument, BLooper* looper, BHandler* handler, uint32 what)
{
    if (launchHook != nullptr)
        return launchHook(program, argument) == 0 ? B_OK : B_ERROR;
    // posix_spawnp, not fork and exec: the launcher runs threads, and only
    // async-signal-safe calls may follow a fork there. The program gets a
    // session of its own and no standard input; a thread reaps it.
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char* const argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
    pid_t pid;
    int error = posix_spawnp(&pid, program, &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return B_ERROR;
    std::thread([pid, looper, handler, what, said = std::string(argument)] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
            return;
        BMessage failed(what);
        failed.AddInt32("status", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        failed.AddString("argument", said);
        looper->PostMessage(&failed, handler);
    }).detach();
    return B_OK;
}

std::string shell_read(const std::vector<std::string>& arguments)
{
    int out[2];
    if (arguments.empty() || pipe2(out, O_CLOEXEC) != 0)
        return "";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    if (error == 0) {
        // A few seconds at most: the window waits meanwhile.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        char buffer[4096];
        for (;;) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd fd = {out[0], POLLIN, 0};
            if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) == 0) {
                kill(pid, SIGKILL);
                break;
            }
            ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            text.append(buffer, static_cast<size_t>(n));
        }
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) { }
    }
    close(out[0]);
    return text;
}

namespace {

struct _Command {
    pid_t pid = -1;
    std::thread watcher;
    std::atomic<bool> busy{true};
    std::atomic<bool> cancelled{false};
};
_Command* current = nullptr;  // touched only by the caller's thread

void Report(BLooper* looper, BHandler* handler, uint32 what, int32 status, const std::string& error,
            const std::string& errors, const std::string& output)
{
    BMessage done(what);
    done.AddInt32("status", status);
    done.AddString("error", error);
    done.AddString("errors", errors);
    done.AddString("output", output);
    looper->PostMessage(&done, handler);
}

// Where a command's progress goes: the option's reader of lines, and the
// last figure posted, so that each is posted once.
struct Progress {
    const ShellOptions* options;
    BLooper* looper;
    BHandler* handler;
    int32 last = -1;
    void Post(int32 permille)
    {
        permille = std::clamp<int32>(permille, 0, 1000);
        if (options->progressWhat == 0 || permille == last)
            return;
        last = permille;
        BMessage report(options->progressWhat);
        report.AddInt32("progress", permille);
        looper->PostMessage(&report, handler);
    }
};

// The lines of a stream that are not blank: the last of them, and the last
// kErrorLines of them; partial holds the unfinished line so far. A line
// the reader takes for a progress report, or drops, is not kept.
struct Lines {
    std::string partial, last;
    std::deque<std::string> kept;
    Progress* progress = nullptr;
    void Add(const std::string& line)
    {
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            return;
        if (progress != nullptr && progress->options->readLine != nullptr) {
            const int32 read = progress->options->readLine(line);
            if (read >= 0)
                progress->Post(read);
            if (read != kShellLineKept)
                return;
        }
        last = line;
        kept.push_back(line);
        if (kept.size() > kErrorLines)
            kept.pop_front();
    }
    std::string All() const
    {
        std::string all;
        for (const std::string& line : kept)
            all += (all.empty() ? "" : "\n") + line;
        return all;
    }
};

// Passes the bytes on to fd and adds the lines they end to lines; a
// carriage return ends a line too, as progress reports rewrite theirs.
void PassOn(const char* bytes, size_t size, int fd, Lines* lines)
{
    for (size_t done = 0; done < size;) {
        ssize_t n = write(fd, bytes + done, size - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    for (size_t i = 0; i < size; i++) {
        if (bytes[i] != '\n' && bytes[i] != '\r') {
            lines->partial += bytes[i];
        } else {
            lines->Add(lines->partial);
            lines->partial.clear();
        }
    }
}

// How far the processes of a group have read a file (given by its real
// path): the furthest position of a descriptor open on it, or -1 when none
// has it open.
long long ReadPosition(pid_t group, const std::string& file)
{
    long long furthest = -1;
    DIR* processes = opendir("/proc");
    if (processes == nullptr)
        return -1;
    while (dirent* process = readdir(processes)) {
        if (process->d_name[0] < '0' || process->d_name[0] > '9')
            continue;
        const std::string base = std::string("/proc/") + process->d_name;
        std::string stat;
        std::getline(std::ifstream(base + "/stat"), stat);
        // The group is the fifth field; the second, the name, may hold
        // blanks and ends with the last ')'.
        const size_t name = stat.rfind(')');
        char state;
        int parent, processGroup;
        if (name == std::string::npos ||
            sscanf(stat.c_str() + name + 1, " %c %d %d", &state, &parent, &processGroup) != 3 || processGroup != group)
            continue;
        DIR* descriptors = opendir((base + "/fd").c_str());
        if (descriptors == nullptr)
            continue;
        while (dirent* descriptor = readdir(descriptors)) {
            char target[4096];
            const std::string link = base + "/fd/" + descriptor->d_name;
            ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
            if (length <= 0 || file.compare(0, std::string::npos, target, static_cast<size_t>(length)) != 0)
                continue;
            std::ifstream info(base + "/fdinfo/" + descriptor->d_name);
            std::string key;
            long long position;
            if (info >> key >> position && key == "pos:")
                furthest = std::max(furthest, position);
        }
        closedir(descriptors);
    }
    closedir(processes);
    return furthest;
}

// The watcher: reads both streams to their end, then reaps the child.
// With an input to watch, it looks four times a second how far the
// command has read it.
void Watch(_Command* command, int out, int err, BLooper* looper, BHandler* handler, uint32 what, ShellOptions options)
{
    Progress progress{&options, looper, handler};
    Lines lines[2];
    lines[1].progress = &progress;
    std::string input;
    long long inputSize = 0;
    if (char* real = options.input.empty() ? nullptr : realpath(options.input.c_str(), nullptr)) {
        struct stat status;
        if (stat(real, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
            input = real;
            inputSize = status.st_size;
        }
        free(real);
    }
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    const int sinks[2] = {STDOUT_FILENO, STDERR_FILENO};
    char buffer[4096];
    auto next = std::chrono::steady_clock::now();
    for (int open = 2; open > 0;) {
        if (!input.empty() && std::chrono::steady_clock::now() >= next) {
            long long position = ReadPosition(command->pid, input);
            if (position >= 0)
                progress.Post(static_cast<int32>(std::min(position, inputSize) * 1000 / inputSize));
            next = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
        }
        if (poll(fds, 2, input.empty() ? -1 : 250) <= 0)
            continue;
        for (int i = 0; i < 2; i++) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                PassOn(buffer, static_cast<size_t>(n), sinks[i], &lines[i]);
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                open--;
            }
        }
    }
    for (Lines& l : lines)
        l.Add(l.partial);
    int status = 0;
    while (waitpid(command->pid, &status, 0) < 0 && errno == EINTR) { }
    int32 result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    command->busy = false;
    if (!command->cancelled)
        Report(looper, handler, what, result, lines[1].last, lines[1].All(), lines[0].last);
}

// Waits for the watcher of a command that has ended and frees it.
void Reap()
{
    if (current == nullptr)
        return;
    current->watcher.join();
    delete current;
    current = nullptr;
}

}  // namespace

status_t shell_start(const char* command, BLooper* looper, BHandler* handler, uint32 what)
{
    return shell_start(command, looper, handler, what, ShellOptions());
}

status_t shell_start(const char* command, BLooper* looper, BHandler* handler, uint32 what, const ShellOptions& options)
{
    if (shell_running())
        return B_BUSY;
    Reap();
    if (shellHook != nullptr) {
        Report(looper, handler, what, shellHook(command), "", "", "");
        return B_OK;
    }
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return B_ERROR;
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(out[0]);
        close(out[1]);
        return B_ERROR;
    }
    // A process group of its own, so that stopping it reaches every program
    // the line started; the pipes' own ends close on exec.
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    if (!options.directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.directory.c_str());
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    char* const argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command), nullptr};
    // The launcher's environment with the options' settings in place of
    // its own of the same names.
    std::vector<char*> environment;
    for (char** setting = environ; *setting != nullptr; setting++) {
        const std::string_view entry(*setting), name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(options.environment.begin(), options.environment.end(),
                         [&](const std::string& added) { return added.starts_with(name); }))
            environment.push_back(*setting);
    }
    for (const std::string& added : options.environment)
        environment.push_back(const_cast<char*>(added.c_str()));
    environment.push_back(nullptr);
    pid_t pid;
    int error = posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, environment.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (error != 0) {
        close(out[0]);
        close(err[0]);
        return B_ERROR;
    }
    current = new _Command();
    current->pid = pid;
    current->watcher = std::thread(Watch, current, out[0], err[0], looper, handler, what, options);
    return B_OK;
}

bool shell_running() { return current != nullptr && current->busy; }

void shell_stop()
{
    if (current == nullptr)
        return;
    current->cancelled = true;
    if (current->busy) {
        kill(-current->pid, SIGTERM);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (current->busy && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (current->busy)
            kill(-current->pid, SIGKILL);
    }
    Reap();
}
