// The target table and command building, without a window.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "settings.h"
#include "targets.h"
#include "testutil.h"

namespace {

// The target of a label; a label that no row has fails the test.
int32_t Index(const char* label)
{
    int32_t index = TargetIndex(label);
    EXPECT_GE(index, 0) << "no target " << label;
    return index;
}

// The line of a target on path in /w, its output under outputName when one
// is given.
std::string Built(const char* label, const std::string& path, const char* outputName = nullptr)
{
    TargetRun run = PlanRun(Index(label), path, "/w");
    if (outputName != nullptr)
        run.outputName = outputName;
    std::string line = BuildCommand(run);
    EXPECT_NE(line, "") << label;
    return line;
}

const std::string kDir = kInstallDir;

// Runs a line through /bin/sh in dir with its programs (the one a pipeline
// feeds too) replaced by printf, which shows each argument between
// brackets; returns the program's word and what printf wrote to standard
// output.
std::pair<std::string, std::string> Arguments(const std::string& line, const std::string& dir)
{
    size_t space = line.find(' ');
    std::string script = "x() { printf '[%s]' \"$@\"; }; x" + line.substr(space);
    for (size_t bar; (bar = script.find(" | ")) != std::string::npos;)
        script.replace(bar, script.find(' ', bar + 3) - bar, " ; x");
    testutil::RunResult r = testutil::RunProgram({"/bin/sh", "-c", script}, testutil::InDir(dir));
    EXPECT_EQ(r.status, 0) << line << r.err;
    return {line.substr(0, space), r.out};
}

// Every row runs its program on the path: the suite's own from the
// installation directory, the others from the search path; a file output
// takes the name the run gives it, another name when the run is given
// another, and a text output receives the program's standard output.
TEST(Targets, EveryRowRunsItsProgramOnThePath)
{
    testutil::TempDir dir;
    const std::string p = "/boot/home/pic.gd2";
    for (int i = 0; i < kTargetCount; i++) {
        const Target& t = listitems[i];
        SCOPED_TRACE(t.label);
        auto [program, out] = Arguments(Built(t.label, p), dir.path().string());
        EXPECT_EQ(program, t.where == kOnSearchPath ? t.program : kDir + "/" + t.program);
        const std::string name = OutputName(i, p);
        if (t.output == kTextFile) {
            EXPECT_EQ(out, "");
            EXPECT_EQ(testutil::ReadFile(dir / name), "[" + p + "]");
            continue;
        }
        EXPECT_EQ(out.rfind("[" + p + "]", 0), 0u) << out;
        if (t.output == kNamedOutput) {
            EXPECT_TRUE(out.ends_with("[" + name + "]")) << out;
            EXPECT_TRUE(Arguments(Built(t.label, p, "new name"), dir.path().string()).second.ends_with("[new name]"));
        }
    }
    EXPECT_EQ(Built("gd2topng", p), kDir + "/gd2topng " + p + " newf.png");
    EXPECT_EQ(Built("icotopng", p), kDir + "/pngsmith " + p);
    EXPECT_EQ(Built("c7e2txt", p), kDir + "/c7e2txt.exe " + p + " > pic.txt");
    EXPECT_EQ(Built("zelm", p), kDir + "/zelm.exe " + p + " 3ds");
    EXPECT_EQ(Built("wav", p), "sox " + p + " output.wav");
    EXPECT_EQ(Built("nul", p), "sox " + p + " -t null output.nul");
    EXPECT_EQ(TargetIndex("mswritohtml"), 5);
    EXPECT_EQ(TargetIndex("wve"), 38);
}

// The status line: where the output went, what is missing, or how it failed.
TEST(Targets, OutcomeTexts)
{
    const std::string wd = "/home/u";
    const std::string p = "/data/in/scene.3ds";
    struct Case {
        const char* label;
        int status;
        std::string error, output;  // last lines of standard error and output
        std::string text;
        const char* outputName = nullptr;  // another than the target's own
    } cases[] = {
        {"gd2topng", 0, "", "", "Done: /home/u/newf.png"},
        {"icotopng", 0, "", "", "Done: PNG files in /data/in/"},
        {"c7e2txt", 0, "", "", "Done: /home/u/scene.txt"},
        {"c7e2txt", 0, "", "", "Done: /home/u/scene_2.txt", "scene_2.txt"},
        {"zelm", 0, "", "Writing Model [A]", "Done: /home/u/3ds"},
        {"dwg2dxf", 0, "", "", "Done: dwg2dxf finished"},
        {"mswritohtml", 0, "", "/data/in/scene.html", "Done: /data/in/scene.html"},
        {"nul", 0, "", "", "Done: sox decoded the whole file; the nul type keeps no output"},
        {"wav", 0, "", "", "Done: /home/u/output.wav"},
        {"8svx", 0, "", "", "Done: /home/u/output_3.8svx", "output_3.8svx"},
        {"gsm", 0, "sox WARN formats: gsm can't encode at 44100Hz; using 8000Hz", "",
         "Done, with a warning: sox WARN formats: gsm can't encode at 44100Hz; using 8000Hz; output: "
         "/home/u/output.gsm"},
        {"gd2topng", 127, "", "", "Not installed: " + kDir + "/gd2topng"},
        {"dwg2dxf", 127, "dwg2dxf: not found", "",
         "Not installed: dwg2dxf (no Debian package has it; put a program of that name on the search path)"},
        {"mswritohtml", 127, "mswrite2html: not found", "",
         "Not installed: mswrite2html (Debian package libwps-tools)"},
        {"zelm", 127, "", "", "Not installed: " + kDir + "/zelm.exe"},
        {"aiff", 127, "sh: 1: sox: not found", "", "Not installed: sox (Debian package sox)"},
        {"auto", 2, "sox FAIL formats: no handler for file extension `auto'", "",
         "Failed: sox reads the type auto (it tells a file's type by its contents) but cannot write it"},
        {"zelm", 3, "", "Error : Input File Could Not Be Read!",
         "Failed with status 3: Error : Input File Could Not Be Read!"},
        {"wav", 2, "", "", "Failed with status 2"},
        {"wav", 0, "sox FAIL sox: 'output.wav' error writing output file: No space left on device", "",
         "Failed: sox FAIL sox: 'output.wav' error writing output file: No space left on device"},
        {"wav", -1, "", "", "Stopped by a signal"},
        {"flac", 0, "", "", "Done: /home/u/output.flac"},
        {"mp3", 2, "sox FAIL formats: no handler for given file type `mp3'", "",
         "Not installed: sox's mp3 support (Debian package libsox-fmt-mp3)"},
        {"mp3", 127, "sh: 1: sox: not found", "", "Not installed: sox (Debian packages sox and libsox-fmt-mp3)"},
        {"opus", 127, "sh: 1: opusenc: not found", "", "Not installed: opusenc (Debian package opus-tools)"},
        {"opus", 1, "/bin/sh: 1: sox: not found", "", "Not installed: sox (Debian package sox)"},
        // A pipeline's last program fails on what sox could not give it.
        {"opus", 1, "Error: unsupported input file: -", "",
         "Failed with status 1: sox FAIL formats: can't open input file `x'"},
    };
    for (const Case& c : cases) {
        TargetRun run = PlanRun(Index(c.label), p, wd);
        if (c.outputName != nullptr)
            run.outputName = c.outputName;
        const std::string errors = c.error.find("unsupported input") != std::string::npos
                                       ? "sox FAIL formats: can't open input file `x'\n" + c.error
                                       : c.error;
        EXPECT_EQ(OutcomeText(run, Outcome{c.status, c.error, c.output, errors}), c.text) << c.label << " " << c.status;
    }
    EXPECT_EQ(RunningText(PlanRun(Index("zelm"), p, wd)), "Running zelm.exe on scene.3ds...");
    EXPECT_EQ(RunningText(PlanRun(Index("wav"), p, wd)), "Running sox on scene.3ds...");
}

// Outputs beside their input take its name and the target's type; the
// command then runs in the input's folder.
TEST(Targets, OutputsBesideTheInput)
{
    struct Case {
        const char* label;
        std::string path, workingDir, outputName;
    } cases[] = {
        {"wav", "/m/song.au", "/m", "song.wav"},
        {"flac", "/m/Song Two.wav", "/m", "Song Two.flac"},
        {"zelm", "/m/scene.3ds", "/m", "scene.c7e"},
        {"gd2topng", "/m/pic.gd2", "/m", "pic.png"},
        {"c7e2txt", "/m/model.c7e", "/m", "model.txt"},
        {"opus", "/m/.hidden", "/m", ".hidden.opus"},
        {"wav", "/top.au", "/", "top.wav"},
        {"icotopng", "/m/app.ico", "/m", ""},
        {"nul", "/m/a.wav", "/m", ""},
    };
    for (const Case& c : cases) {
        TargetRun run = PlanRun(Index(c.label), c.path, "/start", kBesideInput);
        EXPECT_EQ(run.workingDir, c.workingDir) << c.label;
        EXPECT_EQ(run.outputName, c.outputName) << c.label;
        EXPECT_EQ(PlanRun(Index(c.label), c.path, "/start").workingDir, "/start");
    }
}

// A file's kind from its first bytes, and what a target says of a kind it
// cannot read.
TEST(Targets, KindsByContent)
{
    struct Case {
        std::string head;
        FileKind kind;
    } cases[] = {
        {std::string("gd2\0\0\2", 6), kGd2Image},
        {std::string("\xE0\xC7\1\0\0\0", 6), kModelFile},
        {std::string("MM\x20\0\0\0\2\0", 8), k3dsScene},
        {std::string("MM\0*\0\0\0\x08", 8), kUnknownKind},  // a TIFF
        {std::string("\0\0\1\0\1\0", 6), kIconFile},
        {std::string("\0\0\2\0\1\0", 6), kIconFile},
        {std::string("\0\0\1\0\0\0", 6), kUnknownKind},  // no images
        {std::string("RIFF\0\0\0\0ACON", 12), kIconFile},
        {"MZ\x90", kIconFile},
        {std::string("\x31\xBE\0\0\0\xAB", 6), kWriteDocument},
        {"AC1015", kDrawing},
        {std::string("RIFF\0\0\0\0WAVE", 12), kSound},
        {std::string("FORM\0\0\0\0AIFF", 12), kSound},
        {".snd", kSound},
        {"OggS", kSound},
        {"fLaC", kSound},
        {"ID3\3", kSound},
        {"\xFF\xFB\x90", kSound},
        {"\xFF\xE1", kUnknownKind},  // sync without a layer
        {"x", kUnknownKind},
        {"", kUnknownKind},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SniffKind(reinterpret_cast<const unsigned char*>(c.head.data()), c.head.size()), c.kind)
            << testing::PrintToString(c.head);
    // Neither a named pipe without a writer nor a device is read.
    testutil::TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    EXPECT_EQ(KindOfFile(dir / "pipe.wav"), kUnknownKind);
    EXPECT_EQ(KindOfFile("/dev/zero"), kUnknownKind);
    EXPECT_EQ(CannotRead(Index("zelm"), "/m/a.wav", kSound), "zelm reads a 3DS scene; a.wav is a sound");
    EXPECT_EQ(CannotRead(Index("wav"), "/m/a.ico", kIconFile),
              "wav reads a sound; a.ico is an icon or a program with icons");
    EXPECT_EQ(CannotRead(Index("zelm"), "/m/a.3ds", k3dsScene), "");
    EXPECT_EQ(CannotRead(Index("zelm"), "/m/a", kUnknownKind), "");
    EXPECT_EQ(QueueText(3, 7, "/m/a b.wav"), "3 of 7: a b.wav");
    EXPECT_EQ(QueueSummary(7, 0), "7 converted");
    EXPECT_EQ(QueueSummary(6, 1), "6 converted, 1 failed");
}

// sox's progress report (-S) read line by line: a figure, a line of the
// report to leave out, or a message to keep.
TEST(Targets, SoxProgressLines)
{
    struct Case {
        std::string line;
        int32_t read;
    } cases[] = {
        {"In:0.00% 00:00:00.00 [00:00:02.00] Out:0     [      |      ]        Clip:0    ", 0},
        {"In:42.7% 00:00:01.00 [00:00:01.00] Out:8.00k", 427},
        {"In:100%  00:00:02.00 [00:00:00.00] Out:16.0k", 1000},
        {"In:nothing", -2},
        {"In:nan%", -2},
        {"In:1e99%", -2},
        {"In:-3%", -2},
        {"Input File     : 'in.wav'", -2},
        {"Sample Encoding: 16-bit Signed Integer PCM", -2},
        {"Done.", -2},
        {"sox WARN rate: rate clipped 3 samples; decrease volume?", -1},
        {"sox FAIL formats: can't open input file `x'", -1},
        {"Channels are many", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadSoxLine(c.line), c.read) << c.line;
}

// The output file's name, and the command line writing it under another.
TEST(Targets, OutputNames)
{
    EXPECT_EQ(OutputName(Index("c7e2txt"), "/m/scene.c7e"), "scene.txt");
    EXPECT_EQ(OutputName(Index("c7e2txt"), "/m/.hidden"), ".hidden.txt");
    EXPECT_EQ(OutputName(Index("wav"), "/m/a.au"), "output.wav");
    EXPECT_EQ(OutputName(Index("icotopng"), "/m/a.ico"), "");
    EXPECT_EQ(Built("c7e2txt", "/m/my scene.c7e"), kDir + "/c7e2txt.exe '/m/my scene.c7e' > 'my scene.txt'");
    EXPECT_EQ(Built("wav", "/a.au", "output_2.wav"), "sox /a.au output_2.wav");
    EXPECT_EQ(Built("nul", "/a.au", "x"), "sox /a.au -t null output.nul");
    EXPECT_EQ(Built("zelm", "/a.3ds", "3ds_2"), kDir + "/zelm.exe /a.3ds 3ds_2");
}

// How to play bare samples, from sox's report of the output it would
// write.
TEST(Targets, PlayHints)
{
    const std::string report = "Input File     : 'in.wav'\nChannels       : 2\nSample Rate    : 44100\n\n"
                               "Output File    : 'null'\nChannels       : 1\nSample Rate    : 8000\n"
                               "Sample Encoding: 16-bit Signed Integer PCM\n";
    struct Case {
        const char* label;
        std::string answer, hint;
    } cases[] = {
        {"ul", report, " (no header: play it with play -t ul -r 8000 -c 1 /w/output.ul)"},
        {"raw", report, " (no header: play it with play -t raw -r 8000 -c 1 -e signed-integer -b 16 /w/output.raw)"},
        {"raw", "sox FAIL formats: can't open input file", " (no header: play it with play -t raw /w/output.raw)"},
        {"wav", report, ""},
        {"zelm", report, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlayHint(PlanRun(Index(c.label), "/i/in.wav", "/w"), c.answer), c.hint) << c.label;
    EXPECT_EQ(SampleFormatQuery(PlanRun(Index("cvs"), "/i/in.wav", "/w")),
              (std::vector<std::string>{"sox", "-V3", "/i/in.wav", "-r", "8000", "-c", "1", "-t", "cvs", "/dev/null",
                                        "trim", "0", "0"}));
    EXPECT_TRUE(SampleFormatQuery(PlanRun(Index("wav"), "/i/in.wav", "/w")).empty());
}

// Runs a program of the search path: argv[0] is its name.
testutil::RunResult RunFromPath(std::vector<std::string> argv)
{
    argv.insert(argv.begin(), {"/bin/sh", "-c", "exec \"$0\" \"$@\""});
    return testutil::RunProgram(argv);
}

// The length in seconds that sox reads from a file, with the options that
// go before it, or -1.
double SoundLength(const std::vector<std::string>& options, const std::string& file)
{
    std::vector<std::string> argv = {"sox"};
    argv.insert(argv.end(), options.begin(), options.end());
    for (const std::string& word : {file, std::string("-n"), std::string("stat")})
        argv.push_back(word);
    std::string err = RunFromPath(argv).err;
    size_t at = err.find("Length (seconds):");
    return at == std::string::npos ? -1 : std::stod(err.substr(at + 17));
}

// With the real sox: every sound target's output, read back as its type
// says (bare samples with the play hint's options), lasts as long as a
// 3-second stereo input, within 1%.
TEST(Targets, SoundOutputsLastAsLongAsTheInput)
{
    if (system("command -v sox >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sox is not installed";
    testutil::TempDir dir;
    const std::string input = dir / "in.wav";
    ASSERT_EQ(
        RunFromPath({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", input, "synth", "3", "sine", "440"}).status, 0);
    for (int i = 0; i < kTargetCount; i++) {
        const Target& t = listitems[i];
        if (std::string(t.program) != "sox" || (t.output != kNamedOutput && t.output != kBareSamples) || *t.note)
            continue;
        SCOPED_TRACE(t.label);
        TargetRun run = PlanRun(i, input, dir.path().string());
        testutil::RunResult r =
            testutil::RunProgram({"/bin/sh", "-c", BuildCommand(run)}, testutil::InDir(dir.path().string()));
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("FAIL"), std::string::npos) << r.err;
        std::vector<std::string> options;
        if (t.output == kBareSamples) {
            // "... play it with play -t TYPE ... FILE)": the words between.
            std::string hint = PlayHint(run, RunFromPath(SampleFormatQuery(run)).err);
            std::istringstream words(hint.substr(hint.find("play -t") + 5));
            for (std::string word; words >> word;)
                options.push_back(word);
            options.pop_back();
        }
        // sox reads back every type it writes; an Opus file is opusdec's.
        if (t.label == std::string("opus") &&
            RunFromPath({"opusdec", "--quiet", dir / run.outputName, dir / "opus.wav"}).status == 0)
            EXPECT_NEAR(SoundLength(options, dir / "opus.wav"), 3.0, 0.03);
        else
            EXPECT_NEAR(SoundLength(options, dir / run.outputName), 3.0, 0.03);
    }
}

TEST(Targets, NoCommandOutsideTheTable)
{
    for (int32_t index : {int32_t{kTargetCount}, kTargetCount + 1, -1, -39, 1000000})
        EXPECT_EQ(BuildCommand(PlanRun(index, "/a", "/w")), "") << index;
}

// Every path reaches the program as one argument, byte for byte: the line
// runs through /bin/sh with printf in the program's place.
TEST(Quoting, PathsArriveIntact)
{
    const std::string paths[] = {
        "/home/u/My Files/a b.ico",
        "/tmp/it's.3ds",
        "/tmp/$(touch pwned).ico",
        "/tmp/a;rm -rf x",
        "/tmp/`id`",
        "/tmp/line\nbreak",
        "/tmp/\"quoted\"",
        "/tmp/star*?[x]",
        "/tmp/~tilde&&|<>",
        "/tmp/'''",
        "/tmp/back\\slash",
        "/tmp/tab\there",
        "/tmp/caf\xc3\xa9.wav",
        "-n",
    };
    testutil::TempDir dir;
    for (const std::string& path : paths) {
        // (The dump's line is checked by OutputNames: its output goes into
        // a file named after the path, quoted the same way.)
        for (const char* label : {"gd2topng", "icotopng", "zelm", "dwg2dxf", "mswritohtml", "aiff", "wav"}) {
            const char* words = listitems[Index(label)].after;
            std::string after = *words ? "[" + std::string(words) + "]" : "";
            EXPECT_EQ(Arguments(Built(label, path), dir.path().string()).second, "[" + path + "]" + after) << label;
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Quoting, PlainPathsStayUnquoted)
{
    for (const std::string path : {"/boot/home/pic.gd2", "/a-b_c.d+e,f:g@h%i=j/K0"})
        EXPECT_EQ(QuotePath(path), path);
    EXPECT_EQ(QuotePath("/a b"), "'/a b'");
    EXPECT_EQ(QuotePath("/it's"), "'/it'\\''s'");
}

TEST(Quoting, LongPathsAreKeptWhole)
{
    std::string path = "/" + std::string(4999, 'p');
    EXPECT_EQ(Built("zelm", path), kDir + "/zelm.exe " + path + " 3ds");
    std::string spaced = "/" + std::string(2500, 'x') + " " + std::string(2498, 'y');
    EXPECT_EQ(Built("wav", spaced), "sox '" + spaced + "' output.wav");
}

// A Windows Write 3.0 document of the given paragraphs: a 128-byte header
// (u16 0xBE31, u16 0, u16 0xAB00, u32 end of text at 14, u16 pages of the
// paragraph and later tables at 18 to 28 and 96), the text from byte 128,
// then one page of character and one of paragraph runs, each a single run
// of default properties.
std::string WriteDocument(const std::vector<std::string>& paragraphs)
{
    std::string text;
    for (const std::string& p : paragraphs)
        text += p + "\r\n";
    const uint32_t end = static_cast<uint32_t>(128 + text.size()), charPage = (end + 127) / 128;
    testutil::Bytes header;
    header.u16(0xBE31).u16(0).u16(0xAB00).fill(8).u32(end);
    for (int i = 0; i < 6; i++)
        header.u16(charPage + 1 + (i > 0));
    header.fill(96 - 30).u16(charPage + 2).fill(128 - 98);
    std::string file = header.str() + text;
    file.resize(charPage * 128, '\0');
    std::string runs = testutil::Bytes().u32(128).u32(end).u16(0xFFFF).fill(128 - 10).str();
    runs[127] = 1;
    return file + runs + runs;
}

// The mswrite2html stand-in: a program of that name on the search path
// first, else Debian's wps2html into STEM.html beside the file (never over
// an existing file), else "not found".
TEST(StandIns, MsWriteToHtml)
{
    testutil::TempDir dir;
    const std::string doc = dir / "letter.wri";
    testutil::WriteFile(doc, WriteDocument({"Hello from Write.", "Second paragraph."}));
    const std::string fake = "printf '#!/bin/sh\\n%s\\n' \"$1\" > bin/$2 && chmod +x bin/$2";
    struct Case {
        const char* name;
        std::string setUp;  // shell lines run in the folder before, with bin/ first on the search path
        int status;
        std::string out, html;  // standard output; what the HTML file written holds
        const char* htmlName;  // "" when none may be left
    } cases[] = {
        {"wps2html writes STEM.html", "f 'echo \"<p>$1</p>\"' wps2html", 0, dir / "letter.html\n",
         "<p>" + doc + "</p>\n", "letter.html"},
        {"an existing file is kept", "f 'echo new' wps2html && echo old > letter.html", 0, dir / "letter_2.html\n",
         "new\n", "letter_2.html"},
        {"wps2html fails", "f 'echo \"no Write file\" >&2; exit 1' wps2html", 2, "", "", ""},
        {"a program of the name comes first", "f 'echo own' mswrite2html && f 'exit 9' wps2html", 0, "own\n", "", ""},
        {"neither", "", 127, "", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(dir / "bin");
        for (const char* html : {"letter.html", "letter_2.html"})
            std::filesystem::remove(dir / html);
        std::filesystem::create_directory(dir / "bin");
        // Only bin/ is on the search path, with the tools the stand-in uses.
        std::string script = "f() { " + fake +
                             "; }; for t in readlink dirname basename rm; do ln -s \"$(command -v $t)\" bin/; done; " +
                             (c.setUp.empty() ? ":" : c.setUp) + " && PATH=$PWD/bin " STAND_INS "/mswrite2html " + doc;
        testutil::RunResult r = testutil::RunProgram({"/bin/sh", "-c", script}, testutil::InDir(dir.path().string()));
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        if (*c.htmlName != 0)
            EXPECT_EQ(testutil::ReadFile(dir / c.htmlName), c.html);
        else
            EXPECT_FALSE(std::filesystem::exists(dir / "letter.html"));
    }
    // Debian's own wps2html, where it is installed, on the document built
    // here.
    if (system("command -v wps2html >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "wps2html (libwps-tools) is not installed";
    std::filesystem::remove_all(dir / "bin");
    testutil::RunResult r =
        testutil::RunProgram({"/bin/sh", "-c", "PATH=/usr/bin:/bin " STAND_INS "/mswrite2html " + doc});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string html = testutil::ReadFile(dir / "letter.html");
    EXPECT_NE(html.find("Hello from Write."), std::string::npos) << html;
    EXPECT_NE(html.find("Second paragraph."), std::string::npos) << html;
}

// Settings kept between runs: under $XDG_CONFIG_HOME, else ~/.config; a
// file of other lines or none gives the defaults.
TEST(Settings, KeptBetweenRuns)
{
    testutil::TempDir home, config;
    testutil::ScopedEnv homeVariable("HOME", home.path().string());
    {
        testutil::ScopedEnv unset("XDG_CONFIG_HOME", "relative/ignored");
        EXPECT_EQ(SettingsPath(), home / ".config/converter/settings");
        EXPECT_EQ(LoadSettings().outputs, kInStartFolder);
        EXPECT_TRUE(SaveSettings(Settings{kBesideInput, "flac"}));
        EXPECT_EQ(testutil::ReadFile(home / ".config/converter/settings"), "outputs=beside\ntarget=flac\n");
    }
    testutil::ScopedEnv variable("XDG_CONFIG_HOME", config.path().string());
    EXPECT_EQ(LoadSettings().target, "");
    EXPECT_TRUE(SaveSettings(Settings{kBesideInput, "wav"}));
    Settings kept = LoadSettings();
    EXPECT_EQ(kept.outputs, kBesideInput);
    EXPECT_EQ(kept.target, "wav");
    testutil::WriteFile(config / "converter/settings", "colour=blue\noutputs=start\n");
    EXPECT_EQ(LoadSettings().outputs, kInStartFolder);
    // A settings file kept elsewhere through a link stays a link.
    std::filesystem::remove(config / "converter/settings");
    std::filesystem::create_symlink(home / "dotfile", config / "converter/settings");
    EXPECT_TRUE(SaveSettings(kept));
    EXPECT_TRUE(std::filesystem::is_symlink(config / "converter/settings"));
    EXPECT_EQ(testutil::ReadFile(home / "dotfile"), "outputs=beside\ntarget=wav\n");
    // A folder where the file should be: nothing kept, the folder stays.
    std::filesystem::remove(config / "converter/settings");
    std::filesystem::create_directory(config / "converter/settings");
    EXPECT_FALSE(SaveSettings(kept));
    EXPECT_TRUE(std::filesystem::is_directory(config / "converter/settings"));
}

}  // namespace
