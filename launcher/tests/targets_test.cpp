// The target table and command building, without a window.
#include <gtest/gtest.h>

#include "targets.h"
#include "testutil.h"

namespace {

std::string Built(int index, const std::string& path)
{
    command = "unchanged";
    EXPECT_EQ(BuildCommand(index, path.c_str()), 0);
    return command;
}

const std::string kDir = kInstallDir;

TEST(Targets, AllLinesForAPlainPath)
{
    const std::string p = "/boot/home/pic.gd2";
    const char* sounds[] = {"aiff", "al", "au", "auto", "avr", "cdr", "cvs", "dat", "vms", "gsm", "hcom",
                            "la", "lu", "maud", "nul", "prc", "raw", "sb", "sf", "sl", "smp", "sndt",
                            "sph", "8svx", "sw", "txw", "ub", "ul", "uw", "voc", "vox", "wav", "wve"};
    const std::string own[] = {
        kDir + "/gd2topng " + p + " newf.png", kDir + "/pngsmith " + p + " newp.png",
        kDir + "/c7e2txt.exe " + p,            kDir + "/zelm.exe " + p + " 3ds",
        kDir + "/dwg2dxf " + p,                kDir + "/mswrite2html " + p,
    };
    const char* labels[] = {"gd2topng", "icotopng", "c7e2txt", "zelm", "dwg2dxf", "mswritohtml"};
    for (int i = 0; i < 6; i++) {
        EXPECT_STREQ(listitems[i], labels[i]);
        EXPECT_EQ(Built(i, p), own[i]) << i;
    }
    for (int i = 6; i < kTargetCount; i++) {
        EXPECT_STREQ(listitems[i], sounds[i - 6]);
        EXPECT_EQ(Built(i, p), "sox " + p + " output." + sounds[i - 6]) << i;
    }
}

TEST(Targets, ExampleLinesWithTheDefaultDirectory)
{
    if (kDir != "/boot/apps/converter")
        GTEST_SKIP() << "built for " << kDir;
    EXPECT_EQ(Built(0, "/boot/home/pic.gd2"), "/boot/apps/converter/gd2topng /boot/home/pic.gd2 newf.png");
    EXPECT_EQ(Built(2, "/boot/home/pic.gd2"), "/boot/apps/converter/c7e2txt.exe /boot/home/pic.gd2");
    EXPECT_EQ(Built(3, "/boot/home/pic.gd2"), "/boot/apps/converter/zelm.exe /boot/home/pic.gd2 3ds");
    EXPECT_EQ(Built(4, "/boot/home/pic.gd2"), "/boot/apps/converter/dwg2dxf /boot/home/pic.gd2");
    EXPECT_EQ(Built(37, "/boot/home/a.au"), "sox /boot/home/a.au output.wav");
    EXPECT_EQ(Built(29, "/boot/home/a.au"), "sox /boot/home/a.au output.8svx");
    EXPECT_EQ(Built(6, "/boot/home/a.au"), "sox /boot/home/a.au output.aiff");
}

TEST(Targets, NoCommandOutsideTheTable)
{
    for (int index : {39, 40, -1, -39, 1000000}) {
        command = "unchanged";
        EXPECT_EQ(BuildCommand(index, "/a"), -1) << index;
        EXPECT_EQ(command, "unchanged") << index;
    }
}

// Every path reaches the program as one argument, byte for byte: the line
// runs through /bin/sh with printf in the program's place.
TEST(Quoting, PathsArriveIntact)
{
    const std::string paths[] = {
        "/home/u/My Files/a b.ico", "/tmp/it's.3ds", "/tmp/$(touch pwned).ico", "/tmp/a;rm -rf x",
        "/tmp/`id`", "/tmp/line\nbreak", "/tmp/\"quoted\"", "/tmp/star*?[x]", "/tmp/~tilde&&|<>",
        "/tmp/'''", "/tmp/back\\slash", "/tmp/tab\there", "/tmp/caf\xc3\xa9.wav", "-n",
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
            std::string after = index == 0 ? "[newf.png]" : index == 1 ? "[newp.png]" : index == 3 ? "[3ds]"
                                : index >= 6 ? "[output." + std::string(listitems[index]) + "]" : "";
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
