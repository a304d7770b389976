// The launcher's conversion targets and the command lines they run. Needs
// no window system.
#pragma once

#include <cstdint>
#include <string>

enum { kTargetCount = 39 };

// How a target's program is found: one of the suite's own in the
// installation directory; a stand-in there that runs the outside program
// of that name from the search path; or the program on the search path.
enum TargetProgram { kOwnProgram, kStandIn, kOnSearchPath };
// Where a target's output lands: the file named by the last of the words
// after the path, in the working directory; PNG files beside the input;
// the launcher's standard output; the file whose name the program prints
// as its last line; nowhere (the input is only decoded); wherever the
// outside program puts it.
enum TargetOutput { kNamedOutput, kPngFilesBesideInput, kStandardOutput, kPrintedName, kNothingKept, kProgramsOwn };

struct Target {
    const char* label;  // its text in the list
    TargetProgram where;
    const char* program;
    const char* after;  // the words that follow the path, or ""
    TargetOutput output;
    const char* package;  // the Debian package that has the program, or ""
};

// The targets in list order (rows in targets.def); a target's index is its
// position.
extern const Target listitems[kTargetCount];

// Where the converters are installed (a build-time setting).
extern const char* const kInstallDir;

// The path as it goes into a command line: unchanged when it holds only
// A-Z a-z 0-9 / . _ + , : @ % = -; otherwise single-quoted, each ' written
// as '\'', so that the shell passes it as one word and runs nothing of it.
std::string QuotePath(const std::string& path);

// The command line of target index for the path, or "" for an index
// outside 0 to 38.
std::string BuildCommand(int32_t index, const char* path);

// The status line while target index runs on path: "Running PROGRAM on
// FILE...".
std::string RunningText(int32_t index, const std::string& path);

// The status line once target index ended on path with status (-1: ended
// by a signal), lastLine being the last line it wrote to its error stream
// (or else its output) and workingDir the directory it ran in: where the
// output is, on success; the program and its Debian package for status 127,
// the shell's "not found"; else the status and that line.
std::string OutcomeText(int32_t index, const std::string& path, int32_t status, const std::string& lastLine,
                        const std::string& workingDir);
