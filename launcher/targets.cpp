#include "targets.h"

#include <cstring>

#ifndef CONVERTER_INSTALL_DIR
#define CONVERTER_INSTALL_DIR "/boot/apps/converter"
#endif

const char* const kInstallDir = CONVERTER_INSTALL_DIR;

const char listitems[kTargetCount][kLabelSize] = {
    "gd2topng", "icotopng", "c7e2txt", "zelm", "dwg2dxf", "mswritohtml", "aiff", "al",   "au",  "auto",
    "avr",      "cdr",      "cvs",     "dat",  "vms",     "gsm",         "hcom", "la",   "lu",  "maud",
    "nul",      "prc",      "raw",     "sb",   "sf",      "sl",          "smp",  "sndt", "sph", "8svx",
    "sw",       "txw",      "ub",      "ul",   "uw",      "voc",         "vox",  "wav",  "wve",
};

std::string test1;
std::string command;

// Targets 0 to 5 run a program of the installation directory: its name, and
// the word that follows the path, if any. The labels of 1 and 5 differ
// from their programs' names.
static const struct {
    const char* program;
    const char* after;
} kOwnPrograms[] = {
    {"gd2topng", " newf.png"}, {"pngsmith", ""}, {"c7e2txt.exe", ""},
    {"zelm.exe", " 3ds"},      {"dwg2dxf", ""},  {"mswrite2html", ""},
};
enum { kOwnProgramCount = 6 };

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

int BuildCommand(int32_t index, const char* path)
{
    if (index < 0 || index >= kTargetCount || path == nullptr)
        return -1;
    std::string word = QuotePath(path);
    if (index < kOwnProgramCount)
        command = std::string(kInstallDir) + "/" + kOwnPrograms[index].program + " " + word + kOwnPrograms[index].after;
    else
        command = "sox " + word + " output." + listitems[index];
    return 0;
}

// Where a target's output lands, for the status line: in the working
// directory, beside the input, or on standard output.
static std::string OutputOf(int32_t index, const std::string& path, const std::string& workingDir)
{
    switch (index) {
    case 0:
        return workingDir + "/newf.png";
    case 1: {
        size_t slash = path.rfind('/');
        return "PNG files in " + (slash == std::string::npos ? workingDir : path.substr(0, slash + 1));
    }
    case 2:
        return "printed to standard output";
    case 3:
        return workingDir + "/3ds";
    case 4:
    case 5:
        return std::string(kOwnPrograms[index].program) + " finished";
    default:
        return workingDir + "/output." + listitems[index];
    }
}

// The program a target runs, and where Debian has it, if anywhere.
static std::string ProgramOf(int32_t index, const char** package)
{
    *package = nullptr;
    if (index == 0)
        *package = "libgd-tools";
    if (index >= kOwnProgramCount) {
        *package = "sox";
        return "sox";
    }
    // The suite's own converters are named by their path: the stand-ins
    // for the outside ones by their plain name.
    std::string name = kOwnPrograms[index].program;
    return index == 0 || index == 4 || index == 5 ? name : std::string(kInstallDir) + "/" + name;
}

std::string RunningText(int32_t index, const std::string& path)
{
    if (index < 0 || index >= kTargetCount)
        return "";
    const char* package;
    std::string program = ProgramOf(index, &package);
    size_t slash = program.rfind('/');
    size_t leaf = path.rfind('/');
    return "Running " + program.substr(slash == std::string::npos ? 0 : slash + 1) + " on " +
           path.substr(leaf == std::string::npos ? 0 : leaf + 1) + "...";
}

std::string OutcomeText(int32_t index, const std::string& path, int32_t status, const std::string& lastLine,
                        const std::string& workingDir)
{
    if (index < 0 || index >= kTargetCount)
        return "";
    if (status == 0)
        return "Done: " + OutputOf(index, path, workingDir);
    if (status == 127) {
        const char* package;
        std::string program = ProgramOf(index, &package);
        return "Not installed: " + program +
               (package != nullptr ? std::string(" (Debian package ") + package + ")" : "");
    }
    std::string how = status < 0 ? "Stopped by a signal" : "Failed with status " + std::to_string(status);
    return lastLine.empty() ? how : how + ": " + lastLine;
}
