// The launcher's conversion targets and the command lines they run. Needs
// no window system.
#pragma once

#include <cstdint>
#include <string>

enum { kTargetCount = 39, kLabelSize = 39 };

// Target labels in list order; the index of a label is its target's.
extern const char listitems[kTargetCount][kLabelSize];

// The absolute path of the last file dropped on the window; empty before.
extern std::string test1;
// The last command line built.
extern std::string command;

// Where the converters are installed (a build-time setting).
extern const char* const kInstallDir;

// The path as it goes into a command line: unchanged when it holds only
// A-Z a-z 0-9 / . _ + , : @ % = -; otherwise single-quoted, each ' written
// as '\'', so that the shell passes it as one word and runs nothing of it.
std::string QuotePath(const std::string& path);

// Builds the command line of target index for the path into command.
// Returns 0, or -1 (command unchanged) for an index outside 0 to 38.
int BuildCommand(int32_t index, const char* path);

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
