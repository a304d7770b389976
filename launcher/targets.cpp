#include "targets.h"

#include <cstring>

#ifndef CONVERTER_INSTALL_DIR
#define CONVERTER_INSTALL_DIR "/boot/apps/converter"
#endif

const char* const kInstallDir = CONVERTER_INSTALL_DIR;

const char listitems[kTargetCount][kLabelSize] = {
    "gd2topng", "icotopng", "c7e2txt", "zelm", "dwg2dxf", "mswritohtml",
    "aiff", "al", "au", "auto", "avr", "cdr", "cvs", "dat", "vms", "gsm", "hcom",
    "la", "lu", "maud", "nul", "prc", "raw", "sb", "sf", "sl", "smp", "sndt",
    "sph", "8svx", "sw", "txw", "ub", "ul", "uw", "voc", "vox", "wav", "wve",
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
    {"gd2topng", " newf.png"},     {"pngsmith", " newp.png"}, {"c7e2txt.exe", ""},
    {"zelm.exe", " 3ds"},          {"dwg2dxf", ""},           {"mswrite2html", ""},
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
        command = std::string(kInstallDir) + "/" + kOwnPrograms[index].program + " " + word +
                  kOwnPrograms[index].after;
    else
        command = "sox " + word + " output." + listitems[index];
    return 0;
}
