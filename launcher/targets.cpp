#include "targets.h"

#include <cstring>

#ifndef CONVERTER_INSTALL_DIR
#define CONVERTER_INSTALL_DIR "/boot/apps/converter"
#endif

const char* const kInstallDir = CONVERTER_INSTALL_DIR;

const Target listitems[kTargetCount] = {
#define TARGET(label, where, program, after, output, package) {label, where, program, after, output, package},
#include "targets.def"
#undef TARGET
};

static bool IsPlainPathCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           strchr("/._+,:@%=-", c) != nullptr;
}

std::string QuotePath(const std::string& path)
{
    bool plain = true;
    for (char c : path)
        plain = plain && c != '\0' && IsPlainPathCharacter(c);
    if (plain)
        return path;
    std::string quoted = "'";
    for (char c : path) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string BuildCommand(int32_t index, const char* path)
{
    if (index < 0 || index >= kTargetCount || path == nullptr)
        return "";
    const Target& t = listitems[index];
    std::string line = t.where == kOnSearchPath ? t.program : std::string(kInstallDir) + "/" + t.program;
    line += " " + QuotePath(path);
    return *t.after != '\0' ? line + " " + t.after : line;
}

// Where a target's output lands, for the status line; printed is the last
// line the program wrote.
static std::string OutputOf(const Target& t, const std::string& path, const std::string& printed,
                            const std::string& workingDir)
{
    switch (t.output) {
    case kNamedOutput: {
        const char* last = strrchr(t.after, ' ');
        return workingDir + "/" + (last != nullptr ? last + 1 : t.after);
    }
    case kPngFilesBesideInput: {
        size_t slash = path.rfind('/');
        return "PNG files in " + (slash == std::string::npos ? workingDir : path.substr(0, slash + 1));
    }
    case kStandardOutput:
        return "printed to standard output";
    case kPrintedName:
        return printed;
    case kNothingKept:
        return std::string(t.program) + " decoded the whole file; the " + t.label + " type keeps no output";
    case kProgramsOwn:
        break;
    }
    return std::string(t.program) + " finished";
}

// The program a target runs as the user knows it: the suite's own by its
// path, the others by their plain name.
static std::string ProgramOf(const Target& t)
{
    return t.where == kOwnProgram ? std::string(kInstallDir) + "/" + t.program : t.program;
}

std::string RunningText(int32_t index, const std::string& path)
{
    if (index < 0 || index >= kTargetCount)
        return "";
    size_t leaf = path.rfind('/');
    return std::string("Running ") + listitems[index].program + " on " +
           path.substr(leaf == std::string::npos ? 0 : leaf + 1) + "...";
}

std::string OutcomeText(int32_t index, const std::string& path, int32_t status, const std::string& lastLine,
                        const std::string& workingDir)
{
    if (index < 0 || index >= kTargetCount)
        return "";
    const Target& t = listitems[index];
    if (status == 0)
        return "Done: " + OutputOf(t, path, lastLine, workingDir);
    if (status == 127)
        return "Not installed: " + ProgramOf(t) +
               (*t.package != '\0' ? std::string(" (Debian package ") + t.package + ")" : "");
    std::string how = status < 0 ? "Stopped by a signal" : "Failed with status " + std::to_string(status);
    return lastLine.empty() ? how : how + ": " + lastLine;
}
