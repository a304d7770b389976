// An output file that is whole or absent, shared by every converter.
//
// A name that leads (through symbolic links, if any) to a regular file or to
// no file yet is written as a new temporary file beside that file, named
// .NAME.PROGRAM-XXXXXX, and renamed onto it once whole: the name holds the
// earlier file or the whole new one, never a part of one, whatever ends the
// run. A process killed outright (SIGKILL) can leave only such a temporary
// file. The new file takes the earlier file's mode and, where the process
// may, its owner and group; a new name takes the umask's mode. A symbolic
// link stays a link, its target replaced.
//
// A device, a FIFO or a pipe (/dev/stdout) is written in place, with no
// signal held while its open waits for a reader. Nothing is ever removed
// that the run did not create.
//
// SIGINT, SIGTERM, SIGHUP and SIGPIPE remove the temporary file being
// written, then the program dies of the signal, as gzip does; signals are
// held only while the temporary file is created and named, and while it is
// renamed.
#pragma once

#include <sys/stat.h>

#include <cstdio>

struct output_file {
    FILE* stream;  // where the data goes
    char* temporary;  // the file being written, or null when in place
    char* target;  // the file it becomes once whole, or null when in place
    mode_t new_mode;  // the mode of a file that did not exist before
};

// Installs the handler that removes the temporary file on SIGINT, SIGTERM,
// SIGHUP and SIGPIPE, leaving alone the signals the run was started with
// ignored (nohup, a launcher that ignores SIGPIPE).
void remove_output_on_signals(void);

// What output_open returns besides 0 and -1.
enum { kOutputIsInput = -2 };

// Opens path for writing by program (named in the temporary file's name).
// input, when not null, is a file that the output must not be: the result
// is then kOutputIsInput, with nothing opened. Returns 0, or -1 with errno
// set when the output cannot be created.
int output_open(output_file* out, const char* path, const char* program, const struct stat* input);

// Makes the output whole: flushes and closes the stream and renames the
// temporary file onto its target. Returns 0, or -1 with errno set, the
// temporary file removed and any earlier file left as it was.
int output_commit(output_file* out);

// Closes the stream and removes the temporary file, leaving any earlier
// file as it was. Safe on an output that is not open.
void output_abandon(output_file* out);
