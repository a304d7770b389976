#include "targets.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef CONVERTER_INSTALL_DIR
#define CONVERTER_INSTALL_DIR "/boot/apps/converter"
#endif

const char* const kInstallDir = CONVERTER_INSTALL_DIR;

const Target listitems[kTargetCount] = {
#define TARGET(label, where, program, after, output, package, note)                                                    \
    {label, where, program, after, output, package, note},
#include "targets.def"
#undef TARGET
};

// The target of index, or null when no row has that index: the one check
// of an index that every function here makes.
static const Target* TargetAt(int32_t index)
{
    return index >= 0 && index < kTargetCount ? &listitems[index] : nullptr;
}

int32_t TargetIndex(const char* label)
{
    for (int32_t i = 0; i < kTargetCount; i++)
        if (strcmp(listitems[i].label, label) == 0)
            return i;
    return -1;
}

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

// The last component of a path, and that without its extension (a
// leading '.' starts none).
std::string LeafOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

static std::string StemOf(const std::string& path)
{
    std::string leaf = LeafOf(path);
    size_t dot = leaf.rfind('.');
    return dot == std::string::npos || dot == 0 ? leaf : leaf.substr(0, dot);
}

std::string OutputName(int32_t index, const std::string& path)
{
    const Target* target = TargetAt(index);
    if (target == nullptr)
        return "";
    const Target& t = *target;
    if (t.output == kTextFile)
        return StemOf(path) + ".txt";
    if (t.output != kNamedOutput && t.output != kBareSamples)
        return "";
    const char* last = strrchr(t.after, ' ');
    return last != nullptr ? last + 1 : t.after;
}

// The output's name beside the input: the input's stem and the type of
// the target's own output name.
static std::string BesideName(const Target& t, const std::string& path, const std::string& ownName)
{
    if (t.output == kTextFile)
        return ownName;
    if (strcmp(t.program, "zelm.exe") == 0)
        return StemOf(path) + ".c7e";
    size_t dot = ownName.rfind('.');
    return StemOf(path) + (dot == std::string::npos ? "" : ownName.substr(dot));
}

TargetRun PlanRun(int32_t index, const std::string& path, const std::string& workingDir, OutputsGo place)
{
    TargetRun run{index, path, workingDir, OutputName(index, path)};
    const Target* target = TargetAt(index);
    if (place != kBesideInput || target == nullptr)
        return run;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos)
        run.workingDir = slash == 0 ? "/" : path.substr(0, slash);
    if (!run.outputName.empty())
        run.outputName = BesideName(*target, path, run.outputName);
    return run;
}

FileKind SniffKind(const unsigned char* b, size_t size)
{
    auto is = [&](size_t at, const char* text) {
        size_t length = strlen(text);
        return at + length <= size && memcmp(b + at, text, length) == 0;
    };
    auto u16 = [&](size_t at) { return at + 2 <= size ? b[at] | b[at + 1] << 8 : -1; };
    if (is(0, "gd2") && size >= 4 && b[3] == 0)
        return kGd2Image;
    if (size >= 2 && b[0] == 0xE0 && b[1] == 0xC7)
        return kModelFile;
    // A 3DS file's main chunk (0x4D4D) begins with its version or its
    // editor chunk.
    if (u16(0) == 0x4D4D && (u16(6) == 0x0002 || u16(6) == 0x3D3D || u16(6) == 0xB000))
        return k3dsScene;
    if ((u16(0) == 0 && (u16(2) == 1 || u16(2) == 2) && u16(4) > 0) || (is(0, "RIFF") && is(8, "ACON")) || is(0, "MZ"))
        return kIconFile;
    if ((u16(0) == 0xBE31 || u16(0) == 0xBE32) && u16(2) == 0 && u16(4) == 0xAB00)
        return kWriteDocument;
    if (is(0, "AC10"))
        return kDrawing;
    static const char* const kSoundMagic[] = {".snd", "OggS", "fLaC", "ID3", "Creative Voice File", "NIST_1A"};
    for (const char* magic : kSoundMagic)
        if (is(0, magic))
            return kSound;
    if ((is(0, "RIFF") && is(8, "WAVE")) || (is(0, "FORM") && (is(8, "AIF") || is(8, "8SVX") || is(8, "MAUD"))))
        return kSound;
    // An MPEG audio frame: eleven bits of sync, then a layer.
    if (size >= 2 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && (b[1] & 0x06) != 0)
        return kSound;
    return kUnknownKind;
}

FileKind KindOfFile(const std::string& path)
{
    // Only a regular file is read: opening a named pipe would wait for a
    // writer, and a device may never end a read, while the window waits.
    unsigned char head[16];
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    if (fd < 0)
        return kUnknownKind;
    ssize_t got = fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? read(fd, head, sizeof head) : -1;
    close(fd);
    return got > 0 ? SniffKind(head, static_cast<size_t>(got)) : kUnknownKind;
}

// The kind of file a target's program reads.
static FileKind KindRead(const Target& t)
{
    static const std::pair<const char*, FileKind> kPrograms[] = {
        {"gd2topng", kGd2Image}, {"pngsmith", kIconFile},          {"c7e2txt.exe", kModelFile},
        {"zelm.exe", k3dsScene}, {"mswrite2html", kWriteDocument}, {"dwg2dxf", kDrawing},
    };
    for (const auto& [program, kind] : kPrograms)
        if (strcmp(t.program, program) == 0)
            return kind;
    return kSound;
}

static const char* KindName(FileKind kind)
{
    switch (kind) {
    case kSound:
        return "a sound";
    case k3dsScene:
        return "a 3DS scene";
    case kModelFile:
        return "a model file";
    case kIconFile:
        return "an icon or a program with icons";
    case kGd2Image:
        return "a GD2 image";
    case kWriteDocument:
        return "a Write document";
    case kDrawing:
        return "a DWG drawing";
    case kUnknownKind:
        break;
    }
    return "a file";
}

std::string CannotRead(int32_t index, const std::string& path, FileKind kind)
{
    const Target* target = TargetAt(index);
    if (target == nullptr || kind == kUnknownKind || KindRead(*target) == kind)
        return "";
    return std::string(target->label) + " reads " + KindName(KindRead(*target)) + "; " + LeafOf(path) + " is " +
           KindName(kind);
}

int32_t ReadSoxLine(const std::string& line)
{
    if (line.rfind("In:", 0) == 0) {
        char* end = nullptr;
        double percent = strtod(line.c_str() + 3, &end);
        // A figure outside 0 to 100 (or none, "nan") is no figure: a cast
        // of it would be undefined.
        const bool figure = end != line.c_str() + 3 && *end == '%' && percent >= 0 && percent <= 100;
        return figure ? static_cast<int32_t>(percent * 10 + 0.5) : -2;
    }
    static const char* const kDetails[] = {
        "Input File", "Output File",     "Channels", "Sample Rate", "Precision",       "Duration",    "File Size",
        "Bit Rate",   "Sample Encoding", "Comment",  "Endian Type", "Reverse Nibbles", "Reverse Bits"};
    for (const char* field : kDetails) {
        size_t length = strlen(field);
        size_t colon = line.find_first_not_of(' ', length);
        if (line.compare(0, length, field) == 0 && colon != std::string::npos && line[colon] == ':')
            return -2;
    }
    return line == "Done." ? -2 : -1;
}

bool RunsSox(const TargetRun& run)
{
    const Target* target = TargetAt(run.target);
    return target != nullptr && strcmp(target->program, "sox") == 0;
}

std::string QueueText(size_t file, size_t count, const std::string& path)
{
    return std::to_string(file) + " of " + std::to_string(count) + ": " + LeafOf(path);
}

std::string QueueSummary(size_t converted, size_t failed)
{
    return std::to_string(converted) + " converted" + (failed > 0 ? ", " + std::to_string(failed) + " failed" : "");
}

std::string BuildCommand(const TargetRun& run)
{
    const Target* target = TargetAt(run.target);
    if (target == nullptr)
        return "";
    const Target& t = *target;
    std::string line = t.where == kOnSearchPath ? t.program : std::string(kInstallDir) + "/" + t.program;
    line += " " + QuotePath(run.path);
    if (t.output == kTextFile)
        return line + " > " + QuotePath(run.outputName);
    if (*t.after == '\0')
        return line;
    // The words after the path, their last one being the output's name.
    std::string after = t.after;
    if (t.output == kNamedOutput || t.output == kBareSamples) {
        size_t last = after.rfind(' ');
        after = (last == std::string::npos ? std::string() : after.substr(0, last + 1)) + QuotePath(run.outputName);
    }
    return line + " " + after;
}

std::string OutputPlace(const TargetRun& run, const Outcome& outcome)
{
    const Target* target = TargetAt(run.target);
    if (target == nullptr)
        return "";
    const Target& t = *target;
    switch (t.output) {
    case kNamedOutput:
    case kBareSamples:
    case kTextFile:
        return run.workingDir + "/" + run.outputName;
    case kPngFilesBesideInput: {
        size_t slash = run.path.rfind('/');
        return "PNG files in " + (slash == std::string::npos ? run.workingDir : run.path.substr(0, slash + 1));
    }
    case kPrintedName:
        return outcome.output;
    case kNothingKept:
        return std::string(t.program) + " decoded the whole file; the " + t.label + " type keeps no output";
    case kProgramsOwn:
        break;
    }
    return std::string(t.program) + " finished";
}

std::string OutputFolder(const TargetRun& run, const Outcome& outcome)
{
    const Target* target = TargetAt(run.target);
    if (target == nullptr)
        return "";
    switch (target->output) {
    case kNamedOutput:
    case kBareSamples:
    case kTextFile:
        return run.workingDir;
    case kPngFilesBesideInput:
    case kPrintedName: {
        const std::string& file = target->output == kPrintedName ? outcome.output : run.path;
        size_t slash = file.rfind('/');
        return slash == std::string::npos ? run.workingDir : slash == 0 ? "/" : file.substr(0, slash);
    }
    default:
        return "";
    }
}

// The program a target runs as the user knows it: the suite's own by its
// path, the others by their plain name.
static std::string ProgramOf(const Target& t)
{
    return t.where == kOwnProgram ? std::string(kInstallDir) + "/" + t.program : t.program;
}

std::string RunningText(const TargetRun& run)
{
    const Target* target = TargetAt(run.target);
    if (target == nullptr)
        return "";
    return std::string("Running ") + target->program + " on " + LeafOf(run.path) + "...";
}

std::string OutcomeText(const TargetRun& run, const Outcome& outcome)
{
    const Target* target = TargetAt(run.target);
    if (target == nullptr)
        return "";
    const Target& t = *target;
    const std::string place = OutputPlace(run, outcome);
    const std::string failure = FailureLine(outcome);
    // sox without the library of the output's type ("no handler for
    // given file type") lacks a package, as a missing program does.
    if (failure.find("no handler for given file type") != std::string::npos && *t.package != '\0' &&
        strcmp(t.package, t.program) != 0)
        return std::string("Not installed: ") + t.program + "'s " + t.label + " support (Debian package " + t.package +
               ")";
    if (outcome.status == 0 && !failure.empty())
        return "Failed: " + failure;
    if (outcome.status == 0 && !outcome.error.empty())
        return "Done, with a warning: " + outcome.error + "; output: " + place;
    if (outcome.status == 0)
        return "Done: " + place;
    // The shell names a program it cannot find ("sh: 1: opusenc: not
    // found"), in a pipeline too, where the status is the last program's.
    const std::string missing = MissingProgram(outcome);
    if (outcome.status == 127 || !missing.empty()) {
        const std::string program = missing.empty() ? ProgramOf(t) : missing;
        const std::string package = program == "sox" ? "sox" : t.package;
        // sox's format libraries come with sox.
        if (program == "sox" && strncmp(t.package, "libsox", 6) == 0)
            return "Not installed: sox (Debian packages sox and " + std::string(t.package) + ")";
        return "Not installed: " + program +
               (!package.empty() ? " (Debian package " + package + ")"
                : t.where == kOwnProgram
                    ? std::string("")
                    : std::string(" (no Debian package has it; put a program of that name on the search path)"));
    }
    if (*t.note != '\0')
        return std::string("Failed: ") + t.note;
    // sox's failure line says more than what a program after it in a
    // pipeline wrote last.
    const std::string& line = !failure.empty() ? failure : outcome.error.empty() ? outcome.output : outcome.error;
    std::string how =
        outcome.status < 0 ? "Stopped by a signal" : "Failed with status " + std::to_string(outcome.status);
    return line.empty() ? how : how + ": " + line;
}

// What take makes of the first line of the command's standard error that
// it makes something of ("" for a line it passes over).
template <typename Take> static std::string FirstErrorLine(const Outcome& outcome, Take take)
{
    for (size_t at = 0; at < outcome.errors.size();) {
        size_t end = outcome.errors.find('\n', at);
        const std::string taken =
            take(outcome.errors.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (!taken.empty())
            return taken;
        at = end == std::string::npos ? outcome.errors.size() : end + 1;
    }
    return "";
}

std::string MissingProgram(const Outcome& outcome)
{
    return FirstErrorLine(outcome, [](const std::string& line) -> std::string {
        // "sh: 1: NAME: not found", as dash says it (its name as it was
        // started: sh, /bin/sh).
        const std::string tail = ": not found";
        const size_t shell = line.find(": ");
        const size_t name = line.find(": ", shell + 2);
        if (shell != std::string::npos && shell >= 2 && line.compare(shell - 2, 2, "sh") == 0 && line.ends_with(tail) &&
            name != std::string::npos && name + 2 < line.size() - tail.size())
            return line.substr(name + 2, line.size() - tail.size() - name - 2);
        return "";
    });
}

std::string FailureLine(const Outcome& outcome)
{
    return FirstErrorLine(
        outcome, [](const std::string& line) { return line.rfind("sox FAIL ", 0) == 0 ? line : std::string(); });
}

bool Failed(const Outcome& outcome) { return outcome.status != 0 || !FailureLine(outcome).empty(); }

std::vector<std::string> SampleFormatQuery(const TargetRun& run)
{
    const Target* target = TargetAt(run.target);
    if (target == nullptr || target->output != kBareSamples)
        return {};
    // The row's words before the output's name, then the output as a
    // file of the type that takes nothing: "trim 0 0" ends the run before
    // the first sample, and sox's report of the output is what is asked.
    std::vector<std::string> argv = {"sox", "-V3", run.path};
    std::string words = target->after;
    for (size_t at = 0, space; (space = words.find(' ', at)) != std::string::npos; at = space + 1)
        argv.push_back(words.substr(at, space - at));
    for (const char* word : {"-t", target->label, "/dev/null", "trim", "0", "0"})
        argv.push_back(word);
    return argv;
}

// The value of a field ("Channels", "Sample Rate", "Sample Encoding") in
// the part of sox's report that begins at from: the text after its colon,
// up to the line's end.
static std::string ReportField(const std::string& report, size_t from, const std::string& field)
{
    size_t at = report.find("\n" + field, from);
    if (at == std::string::npos || (at = report.find(':', at)) == std::string::npos)
        return "";
    size_t end = report.find('\n', at);
    std::string value = report.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    size_t first = value.find_first_not_of(' ');
    return first == std::string::npos ? "" : value.substr(first);
}

// sox's name of an encoding as the -e option takes it, from its report's
// "16-bit Signed Integer PCM": the bits and the name, or empty names.
static std::pair<std::string, std::string> EncodingWords(const std::string& encoding)
{
    static const std::pair<const char*, const char*> kNames[] = {
        {"Signed Integer PCM", "signed-integer"},
        {"Unsigned Integer PCM", "unsigned-integer"},
        {"Floating Point PCM", "floating-point"},
        {"u-law", "u-law"},
        {"A-law", "a-law"},
    };
    size_t dash = encoding.find("-bit ");
    if (dash == std::string::npos)
        return {};
    for (const auto& [name, option] : kNames)
        if (encoding.compare(dash + 5, std::string::npos, name) == 0)
            return {encoding.substr(0, dash), option};
    return {};
}

std::string PlayHint(const TargetRun& run, const std::string& soxAnswer)
{
    const Target* target = TargetAt(run.target);
    if (target == nullptr || target->output != kBareSamples)
        return "";
    std::string line = std::string("play -t ") + target->label;
    size_t output = soxAnswer.find("Output File");
    if (output != std::string::npos) {
        std::string rate = ReportField(soxAnswer, output, "Sample Rate");
        std::string channels = ReportField(soxAnswer, output, "Channels");
        if (!rate.empty())
            line += " -r " + rate;
        if (!channels.empty())
            line += " -c " + channels;
        auto [bits, encoding] = EncodingWords(ReportField(soxAnswer, output, "Sample Encoding"));
        if (strcmp(target->label, "raw") == 0 && !encoding.empty())
            line += " -e " + encoding + " -b " + bits;
    }
    return " (no header: play it with " + line + " " + QuotePath(run.workingDir + "/" + run.outputName) + ")";
}
