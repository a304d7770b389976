// The launcher's conversion targets and the command lines they run. Needs
// no window system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The number of targets: one a row of targets.def.
enum : int32_t {
    kTargetCount = 0
#define TARGET(label, where, program, after, output, package, note) +1
#include "targets.def"
#undef TARGET
};

// How a target's program is found: one of the suite's own in the
// installation directory; a stand-in there that runs the outside program
// of that name from the search path; or the program on the search path.
enum TargetProgram { kOwnProgram, kStandIn, kOnSearchPath };
// Where a target's output lands: the file named by the last of the words
// after the path, in the working directory; such a file that holds bare
// samples without a header, which a player must be told how to read; the
// text file STEM.txt in the
// working directory, which the program's standard output goes into (STEM:
// the input's name without its extension); PNG files beside the input; the
// file whose name the program prints as its last line; nowhere (the input
// is only decoded); wherever the outside program puts it.
enum TargetOutput {
    kNamedOutput,
    kBareSamples,
    kTextFile,
    kPngFilesBesideInput,
    kPrintedName,
    kNothingKept,
    kProgramsOwn
};

struct Target {
    const char* label;  // its text in the list
    TargetProgram where;
    const char* program;
    const char* after;  // the words that follow the path, or ""
    TargetOutput output;
    const char* package;  // the Debian package that has the program, or ""
    const char* note;  // why the target fails, in words, for the status line; or ""
};

// The targets in list order (rows in targets.def); a target's index is its
// position.
extern const Target listitems[kTargetCount];

// The index of the target of that label, or -1 when no row has it.
int32_t TargetIndex(const char* label);

// Where the converters are installed (a build-time setting).
extern const char* const kInstallDir;

// The path as it goes into a command line: unchanged when it holds only
// A-Z a-z 0-9 / . _ + , : @ % = -; otherwise single-quoted, each ' written
// as '\'', so that the shell passes it as one word and runs nothing of it.
std::string QuotePath(const std::string& path);

// The last component of a path.
std::string LeafOf(const std::string& path);

// The file a target writes in the working directory under a name of its
// own (kNamedOutput, kBareSamples, kTextFile) when it runs on path: its name, or "" for
// a target without one.
std::string OutputName(int32_t index, const std::string& path);

// One run of a target: which target runs on which file, in which working
// directory, and the name its output file takes there ("" for a target
// that names no file of its own).
struct TargetRun {
    int32_t target = -1;
    std::string path;
    std::string workingDir;
    std::string outputName;
};

// Where a run's output file goes: in the working directory under the
// target's own name (output.TYPE, 3ds, newf.png, STEM.txt), or beside the
// input, named after it (STEM.TYPE; zelm's model STEM.c7e, gd2topng's
// picture STEM.png, the dump STEM.txt).
enum OutputsGo { kInStartFolder, kBesideInput };

// The run of target index on path: in workingDir with its output under the
// target's own OutputName, or in the input's folder with the output named
// after the input.
TargetRun PlanRun(int32_t index, const std::string& path, const std::string& workingDir,
                  OutputsGo place = kInStartFolder);

// The kinds of file the targets read, told by a file's first bytes.
enum FileKind { kUnknownKind, kSound, k3dsScene, kModelFile, kIconFile, kGd2Image, kWriteDocument, kDrawing };

// The kind of the file whose first bytes are head (size of them, at most
// the first 16 are looked at), or kUnknownKind.
FileKind SniffKind(const unsigned char* head, size_t size);
// The kind of the file at path, from its first bytes.
FileKind KindOfFile(const std::string& path);

// Why target index cannot convert a file of that kind ("zelm reads a 3DS
// scene; NAME is a sound"), or "" when it can or the kind is unknown.
std::string CannotRead(int32_t index, const std::string& path, FileKind kind);

// Reads a line sox writes to standard error while it shows its progress
// (-S): the progress of an "In:12.5%" report in per mille, -2 for the
// lines of the report that are no message (the file's details, "Done."),
// -1 for any other line.
int32_t ReadSoxLine(const std::string& line);
// Whether the run is one of sox's, which reports its own progress.
bool RunsSox(const TargetRun& run);

// The status line while the run of the fileth of count files goes: "3 of
// 7: NAME".
std::string QueueText(size_t file, size_t count, const std::string& path);
// The status line once a queue ended: "7 converted", "7 converted, 1
// failed".
std::string QueueSummary(size_t converted, size_t failed);

// The command line of the run, or "" for a run of no target.
std::string BuildCommand(const TargetRun& run);

// The status line while the run goes: "Running PROGRAM on FILE...".
std::string RunningText(const TargetRun& run);

// How a command ended: its status (-1: ended by a signal), the last line
// it wrote to standard error (empty when none) and to standard output, and
// every line it wrote to standard error, one a line.
struct Outcome {
    int32_t status;
    std::string error, output, errors;
};

// The line of standard error by which sox says that it failed ("sox FAIL
// ..."), whatever its status, or "" when it wrote none: sox ends with
// status 0 when writing its output fails (a full disk).
std::string FailureLine(const Outcome& outcome);

// The program the shell could not find, as its "sh: 1: NAME: not found"
// line names it, or "".
std::string MissingProgram(const Outcome& outcome);

// Whether the run failed: a status other than 0, or sox's failure line.
bool Failed(const Outcome& outcome);

// The command that asks sox which rate, channels and encoding the run's
// output takes, without writing anything: for a target of kBareSamples,
// else empty.
std::vector<std::string> SampleFormatQuery(const TargetRun& run);

// How to play the bare samples of the run's output, from sox's answer to
// SampleFormatQuery: " (no header: play it with play -t TYPE -r RATE -c N
// [-e ENCODING -b BITS] FILE)", the encoding for the raw type only; the
// words the answer lacks are left out. "" for another kind of target.
std::string PlayHint(const TargetRun& run, const std::string& soxAnswer);

// Where the output of the run went once it ended as outcome: a file's
// absolute path, a folder's with the words that say what is in it, or what
// the target did instead.
std::string OutputPlace(const TargetRun& run, const Outcome& outcome);

// The folder holding that output, for a file manager, or "" when there is
// none (nothing kept, or the outside program's own choice).
std::string OutputFolder(const TargetRun& run, const Outcome& outcome);

// The status line once the run ended as outcome: "Done:" and where the
// output is, "Done, with a warning:", the last line of standard error,
// "; output:" and where it is, when a successful run wrote one; "Failed:"
// and sox's failure line when a run of status 0 wrote one; the program
// and its Debian package for status 127, the shell's "not found"; else the
// target's note, or the status and the last line it wrote.
std::string OutcomeText(const TargetRun& run, const Outcome& outcome);
