// Running a command line through the platform's shell, beside the window:
// the caller's thread goes on while the command runs, and learns how it
// ended from a message.
#pragma once

#include <string>
#include <vector>

#include "Looper.h"

// Starts the line with /bin/sh -c and returns at once: B_OK, or B_BUSY
// while an earlier command still runs. When the command ends, a message of
// code `what` goes to handler through looper's queue, holding "status"
// (int32: the exit status, 127 when the shell could not find the program,
// -1 when a signal ended it), "error" (string: the last line the command
// wrote to standard error, empty when none), "errors" (string: every line
// it wrote there that is not blank, one a line, the last kErrorLines of
// them) and "output" (string: the last line it wrote to standard output).
// Its output still reaches this process's standard output and standard
// error.
status_t shell_start(const char* command, BLooper* looper, BHandler* handler, uint32 what);
enum { kErrorLines = 64 };

// How a line of the command's standard error reads: its progress (0 to
// 1000, per mille), or one of these.
enum : int32 { kShellLineKept = -1, kShellLineDropped = -2 };

// What else shell_start may be told of a command.
struct ShellOptions {
    std::string directory;  // where it runs; "" for the launcher's own working directory
    std::vector<std::string> environment;  // NAME=VALUE settings added to the launcher's
    // Messages of this code report the command's progress to the handler
    // ("progress": int32, 0 to 1000); 0 for none.
    uint32 progressWhat = 0;
    // Reads each line of standard error (a carriage return ends one too):
    // a progress report, or a line to keep or to leave out of "error" and
    // "errors". Null keeps every line.
    int32 (*readLine)(const std::string& line) = nullptr;
    // A file the command reads: how far its processes have read it is
    // their progress. "" for none.
    std::string input;
};
status_t shell_start(const char* command, BLooper* looper, BHandler* handler, uint32 what, const ShellOptions& options);
// Whether a command started by shell_start is running.
bool shell_running();
// Ends the running command, with every process it started (SIGTERM, then
// SIGKILL after two seconds), and waits for it; no message is sent.
void shell_stop();

// Replaces the shell for shell_start, so that tests can record command
// lines: shell_start then calls the hook at once and reports its result as
// the status. Null restores the shell.
void set_shell_system_hook(int (*hook)(const char* command));

// Starts program with one argument beside the window (it may outlive the
// launcher): B_OK, or B_ERROR when it could not be started. When it ends
// with a status other than 0, a message of code `what` goes to handler
// through looper's queue, holding "status" (int32, -1 for a signal) and
// "argument" (string).
status_t shell_launch(const char* program, const char* argument, BLooper* looper, BHandler* handler, uint32 what);

// Runs the program (argv[0], found on the search path) with the arguments
// and waits for it, at most a few seconds (then it is killed): what it
// wrote to standard output and standard error, together, or "" when it
// could not be run.
std::string shell_read(const std::vector<std::string>& argv);
// Replaces shell_launch for tests; null restores it.
void set_shell_launch_hook(int (*hook)(const char* program, const char* argument));
