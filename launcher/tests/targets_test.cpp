// The target table and command building, without a window.
#include <gtest/gtest.h>

#include "targets.h"
#include "testutil.h"

namespace {

std::string Built(int index, const std::string& path)
{
    std::string line = BuildCommand(index, path.c_str());
    EXPECT_NE(line, "") << index;
    return line;
}

const std::string kDir = kInstallDir;

// Every row's line: its program, the path, the words after it; a few rows
// pinned as users see them.
TEST(Targets, AllLinesForAPlainPath)
{
    const std::string p = "/boot/home/pic.gd2";
    for (int i = 0; i < kTargetCount; i++) {
        const Target& t = listitems[i];
        std::string program = t.where == kOnSearchPath ? t.program : kDir + "/" + t.program;
        EXPECT_EQ(Built(i, p), program + " " + p + (*t.after ? std::string(" ") + t.after : "")) << i;
        if (t.where == kOnSearchPath) {
            EXPECT_STREQ(t.program, "sox");
            EXPECT_EQ(t.after, "output." + std::string(t.label));
        }
    }
    EXPECT_EQ(Built(0, p), kDir + "/gd2topng " + p + " newf.png");
    EXPECT_EQ(Built(1, p), kDir + "/pngsmith " + p);
    EXPECT_EQ(Built(3, p), kDir + "/zelm.exe " + p + " 3ds");
    EXPECT_EQ(Built(37, p), "sox " + p + " output.wav");
    EXPECT_STREQ(listitems[5].label, "mswritohtml");
    EXPECT_STREQ(listitems[38].label, "wve");
}

// The status line: where the output went, what is missing, or how it failed.
TEST(Targets, OutcomeTexts)
{
    const std::string wd = "/home/u";
    const std::string p = "/data/in/scene.3ds";
    struct Case {
        int index, status;
        const char* line;
        std::string text;
    } cases[] = {
        {0, 0, "", "Done: /home/u/newf.png"},
        {1, 0, "", "Done: PNG files in /data/in/"},
        {2, 0, "", "Done: printed to standard output"},
        {3, 0, "", "Done: /home/u/3ds"},
        {4, 0, "", "Done: dwg2dxf finished"},
        {37, 0, "", "Done: /home/u/output.wav"},
        {29, 0, "", "Done: /home/u/output.8svx"},
        {0, 127, "gd2topng: not found", "Not installed: gd2topng (Debian package libgd-tools)"},
        {4, 127, "", "Not installed: dwg2dxf"},
        {5, 127, "", "Not installed: mswrite2html"},
        {3, 127, "", "Not installed: " + kDir + "/zelm.exe"},
        {6, 127, "sh: 1: sox: not found", "Not installed: sox (Debian package sox)"},
        {3, 3, "Error : Input File Could Not Be Read!", "Failed with status 3: Error : Input File Could Not Be Read!"},
        {37, 2, "", "Failed with status 2"},
        {37, -1, "", "Stopped by a signal"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(OutcomeText(c.index, p, c.status, c.line, wd), c.text) << c.index << " " << c.status;
    EXPECT_EQ(RunningText(3, p), "Running zelm.exe on scene.3ds...");
    EXPECT_EQ(RunningText(37, p), "Running sox on scene.3ds...");
}

TEST(Targets, NoCommandOutsideTheTable)
{
    for (int index : {39, 40, -1, -39, 1000000})
        EXPECT_EQ(BuildCommand(index, "/a"), "") << index;
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
        for (int index : {0, 1, 2, 3, 4, 5, 6, 37}) {
            std::string line = Built(index, path);
            // Replace the program with printf, which shows each argument
            // between markers.
            size_t space = line.find(' ');
            std::string shell = "printf '[%s]' " + line.substr(space + 1);
            testutil::RunResult r =
                testutil::RunProgram({"/bin/sh", "-c", shell}, testutil::InDir(dir.path().string()));
            const char* words = listitems[index].after;
            std::string after = *words ? "[" + std::string(words) + "]" : "";
            EXPECT_EQ(r.out, "[" + path + "]" + after) << line;
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
    EXPECT_EQ(Built(3, path), kDir + "/zelm.exe " + path + " 3ds");
    std::string spaced = "/" + std::string(2500, 'x') + " " + std::string(2498, 'y');
    EXPECT_EQ(Built(37, spaced), "sox '" + spaced + "' output.wav");
}

}  // namespace
