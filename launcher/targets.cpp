#include "targets.h"

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
static std::string LeafOf(const std::string& path)
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

TargetRun PlanRun(int32_t index, const std::string& path, const std::string& workingDir)
{
    return TargetRun{index, path, workingDir, OutputName(index, path)};
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
    if (outcome.status == 0 && !failure.empty())
        return "Failed: " + failure;
    if (outcome.status == 0 && !outcome.error.empty())
        return "Done, with a warning: " + outcome.error + "; output: " + place;
    if (outcome.status == 0)
        return "Done: " + place;
    if (outcome.status == 127)
        return "Not installed: " + ProgramOf(t) +
               (*t.package != '\0' ? std::string(" (Debian package ") + t.package + ")"
                : t.where == kOwnProgram
                    ? std::string("")
                    : std::string(" (no Debian package has it; put a program of that name on the search path)"));
    if (*t.note != '\0')
        return std::string("Failed: ") + t.note;
    const std::string& line = outcome.error.empty() ? outcome.output : outcome.error;
    std::string how =
        outcome.status < 0 ? "Stopped by a signal" : "Failed with status " + std::to_string(outcome.status);
    return line.empty() ? how : how + ": " + line;
}

std::string FailureLine(const Outcome& outcome)
{
    for (size_t at = 0; at < outcome.errors.size();) {
        size_t end = outcome.errors.find('\n', at);
        std::string line = outcome.errors.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (line.rfind("sox FAIL ", 0) == 0)
            return line;
        at = end == std::string::npos ? outcome.errors.size() : end + 1;
    }
    return "";
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
