// pngsmith on the files that keep icons inside them: animated cursors,
// PE32 and PE32+ programs, NE programs and icon libraries, built here;
// damaged ones; the real animated cursors of the corpus.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "forgeexe.h"
#include "forgeico.h"
#include "png_readback.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using testutil::RunProgram;
using testutil::RunResult;
using testutil::TempDir;

const std::string kPngsmith = BIN_DIR "/pngsmith";

IconPicture Picture(int bits, int size)
{
    IconPicture p;
    p.width = p.height = size;
    p.bits = bits;
    for (int i = 0; bits <= 8 && i < (1 << bits); i++)
        p.palette.push_back({static_cast<uint8_t>(i * 50), static_cast<uint8_t>(255 - i), 9, 0});
    p.pixel = [bits](int x, int y) -> uint32_t {
        return bits <= 8 ? static_cast<uint32_t>((x + y) % (1 << bits)) : 0xFF000000u | (x * 8u << 16) | y;
    };
    return p;
}

const std::string kIcon = IconFile({BitmapData(Picture(4, 16)), BitmapData(Picture(32, 32))});
const std::string kCursor = IconFile({BitmapData(Picture(1, 32))}, 2);

// The resources of a program: group MAIN (icons 1 and 2), group 7 (icons
// 10 and 11, German), cursor group 100 (cursor 20); then more.
std::vector<ExeResource> Resources(const std::vector<ExeResource>& more = {})
{
    std::vector<ExeResource> all = IconGroup(kIcon, "MAIN", 0, 1);
    for (const auto& group : {IconGroup(kIcon, "", 7, 10, 1031), IconGroup(kCursor, "", 100, 20), more})
        all.insert(all.end(), group.begin(), group.end());
    return all;
}

std::string Pe(const std::vector<ExeResource>& resources, bool plus = false)
{
    Program p;
    p.resources = resources;
    p.plus = plus;
    return PeFile(p);
}

// Without the resources of that type and ID.
std::vector<ExeResource> Without(std::vector<ExeResource> all, uint16_t type, uint16_t id)
{
    all.erase(std::remove_if(all.begin(), all.end(),
                             [&](const ExeResource& r) { return r.type == type && r.id == id && r.name.empty(); }),
              all.end());
    return all;
}

// Sets the u32 at offset.
std::string Patched(std::string file, size_t offset, uint32_t value)
{
    for (int b = 0; b < 4; b++)
        file[offset + b] = static_cast<char>(value >> (8 * b));
    return file;
}

const std::vector<std::string> kPeOutputs = {"p_main_16X16_4bpp.png", "p_main_32X32_32bpp.png", "p_7_16X16_4bpp.png",
                                             "p_7_32X32_32bpp.png", "p_100_32X32_1bpp.png"};

struct ContainerCase {
    const char* name;
    std::string file;
    std::string fileName;  // in the scratch folder; its stem names the outputs
    int status;
    std::vector<std::string> outputs;  // the PNG files written, sorted
    std::string said = "";  // in standard output, or standard error for status 2 and no output
};

std::vector<ContainerCase> Cases()
{
    const std::string pe = Pe(Resources());
    // The resource section begins at 0x400 in a PE32 file of these: the
    // root directory, whose first entry (type 1) is made to point back at
    // it.
    const std::string loop = Patched(pe, 0x400 + 16 + 4, 0x80000000u);
    Program upx, bare;
    upx.resources = Resources();
    upx.sectionNames = {"UPX0", "UPX1"};
    bare.withResources = false;
    Animation ani;
    ani.frames = {kCursor, kCursor};
    ani.rates = {5, 7};
    ani.sequence = {0, 1, 1};
    Animation zero = ani, short_ = ani;
    zero.riffSize = 0;
    short_.frameCount = 4;
    std::vector<ExeResource> huge = Resources();
    huge[0].data = huge[0].data.substr(0, 6) + std::string(14, '\0');
    huge[0].data[4] = huge[0].data[5] = '\xFF';
    std::vector<ExeResource> twoLanguages = Resources(IconGroup(kIcon, "MAIN", 0, 30, 1031));
    return {
        {"animated cursor",
         AniFile(ani),
         "a.ani",
         0,
         {"a_f01_32X32_1bpp.png", "a_f02_32X32_1bpp.png"},
         "a.ani: animation: 2 frames, 3 steps, 10/60 s a step, rates (1/60 s): 5 7, sequence: 0 1 1"},
        {"RIFF size 0, named .cur", AniFile(zero), "a.cur", 0, {"a_f01_32X32_1bpp.png", "a_f02_32X32_1bpp.png"}},
        {"frames missing",
         AniFile(short_),
         "a.ani",
         2,
         {"a_f01_32X32_1bpp.png", "a_f02_32X32_1bpp.png"},
         "a.ani: frames 3 to 4: skipped: the animation names 4 frames and holds 2"},
        {"an animation of nothing",
         std::string("RIFF\0\0\0\0ACON", 12) + std::string(60, '\0'),
         "a.ani",
         2,
         {},
         "a.ani: an animated cursor without a header or frames"},
        {"PE32", pe, "p.exe", 0, kPeOutputs, "p.exe: group MAIN: 1: 16x16 4bpp bitmap 296 bytes"},
        {"PE32+", Pe(Resources(), true), "p.dll", 0, kPeOutputs, "p.dll: cursor group 100: 5: 32x32 1bpp"},
        {"a second language",
         Pe(twoLanguages),
         "p.exe",
         0,
         {"p_7_16X16_4bpp.png", "p_7_32X32_32bpp.png", "p_100_32X32_1bpp.png", "p_main_1033_16X16_4bpp.png",
          "p_main_1033_32X32_32bpp.png", "p_main_16X16_4bpp.png", "p_main_32X32_32bpp.png"},
         "p.exe: group MAIN (language 1033): 3:"},
        {"a group with an absent member",
         Pe(Without(Resources(), 3, 2)),
         "p.exe",
         2,
         {"p_100_32X32_1bpp.png", "p_7_16X16_4bpp.png", "p_7_32X32_32bpp.png", "p_main_16X16_4bpp.png"},
         "p.exe: group MAIN: 2: 32x32 32bpp bitmap 0 bytes, skipped: the file holds no icon 2 the group names"},
        {"icons no group names",
         Pe(Without(Without(Resources(), 14, 7), 12, 100)),
         "p.exe",
         0,
         {"p_cursor20_32X32_1bpp.png", "p_icon10_16X16_4bpp.png", "p_icon11_32X32_32bpp.png", "p_main_16X16_4bpp.png",
          "p_main_32X32_32bpp.png"},
         "p.exe: icon 10: 4:"},
        {"a directory that points back at the root",
         loop,
         "p.exe",
         2,
         {"p_7_16X16_4bpp.png", "p_7_32X32_32bpp.png", "p_main_16X16_4bpp.png", "p_main_32X32_32bpp.png"},
         "skipped: the file holds no cursor 20 the group names"},
        {"huge counts with little data",
         Pe(huge),
         "p.exe",
         2,
         {"p_100_32X32_1bpp.png", "p_7_16X16_4bpp.png", "p_7_32X32_32bpp.png", "p_icon1_16X16_4bpp.png",
          "p_icon2_32X32_32bpp.png"},
         "skipped: the file holds no icon 0"},
        {"packed with UPX", PeFile(upx), "p.exe", 2, {}, "p.exe: packed with UPX; unpack it with upx -d first"},
        {"no resource section",
         PeFile(bare),
         "p.exe",
         2,
         {},
         "p.exe: a Windows program with no resource section, so no icons"},
        {"an MS-DOS program",
         "MZ" + std::string(200, '\0'),
         "p.exe",
         2,
         {},
         "p.exe: an MS-DOS program, which holds no icons"},
        {"NE program",
         NeFile(Resources()),
         "n.exe",
         0,
         {"n_100_32X32_1bpp.png", "n_7_16X16_4bpp.png", "n_7_32X32_32bpp.png", "n_main_16X16_4bpp.png",
          "n_main_32X32_32bpp.png"}},
        {"icon library, larger alignment",
         NeFile(IconGroup(kIcon, "LIB", 0, 1), 9),
         "n.icl",
         0,
         {"n_lib_16X16_4bpp.png", "n_lib_32X32_32bpp.png"},
         "n.icl: group LIB: 2: 32x32 32bpp"},
    };
}

class Containers : public testing::TestWithParam<ContainerCase> { };

// The conversion's files and status, what the listing says, and every
// image written is a PNG file that libgd reads.
TEST_P(Containers, OutputsAndListing)
{
    const ContainerCase& c = GetParam();
    TempDir dir;
    testutil::WriteFile(dir / c.fileName, c.file);
    RunResult run = RunProgram({kPngsmith, dir / c.fileName});
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    std::vector<std::string> written;
    for (const auto& e : fs::directory_iterator(dir.path()))
        if (e.path().extension() == ".png") {
            written.push_back(e.path().filename().string());
            EXPECT_TRUE(Png(e.path().string()).ok()) << e.path();
        }
    std::sort(written.begin(), written.end());
    std::vector<std::string> want = c.outputs;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(written, want) << run.out;
    RunResult list = RunProgram({kPngsmith, "--list", c.fileName}, testutil::InDir(dir.path().string()));
    EXPECT_NE((list.out + list.err).find(c.said), std::string::npos) << list.out << list.err;
}

INSTANTIATE_TEST_SUITE_P(Files, Containers, testing::ValuesIn(Cases()), testutil::CaseName());

// --index counts the listing's lines, --largest looks at the whole file,
// --group and --frame narrow the choice, -o - takes one image.
TEST(Containers, Choices)
{
    TempDir dir;
    testutil::WriteFile(dir / "p.exe", Pe(Resources()));
    Animation ani;
    ani.frames = {kCursor, kIcon};
    testutil::WriteFile(dir / "a.ani", AniFile(ani));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> outputs;
    } cases[] = {
        {{"--index=4", "p.exe"}, 0, {"p_7_32X32_32bpp.png"}},
        {{"--largest", "p.exe"}, 0, {"p_main_32X32_32bpp.png"}},
        {{"--group=7", "--largest", "p.exe"}, 0, {"p_7_32X32_32bpp.png"}},
        {{"--group=main", "-w", "16", "p.exe"}, 0, {"p_main_16X16_4bpp.png"}},
        {{"--group=none", "p.exe"}, 2, {}},
        {{"--frame=2", "a.ani"}, 0, {"a_f02_16X16_4bpp.png", "a_f02_32X32_32bpp.png"}},
        {{"--frame=2", "--index=2", "a.ani"}, 0, {"a_f02_16X16_4bpp.png"}},
        {{"--frame=2", "--index=1", "a.ani"}, 2, {}},
        {{"--frame=3", "a.ani"}, 2, {}},
    };
    for (const Case& c : cases) {
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().extension() == ".png")
                fs::remove(e.path());
        std::vector<std::string> argv = {kPngsmith};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        RunResult r = RunProgram(argv, testutil::InDir(dir.path().string()));
        EXPECT_EQ(r.status, c.status) << c.args.front() << r.err;
        std::vector<std::string> written;
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().extension() == ".png")
                written.push_back(e.path().filename().string());
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, c.outputs) << c.args.front();
    }
    RunResult one = RunProgram({"/bin/sh", "-c", kPngsmith + " -o - --group=main --largest p.exe > one.png"},
                               testutil::InDir(dir.path().string()));
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(Png(dir / "one.png").width(), 32);
    RunResult many = RunProgram({"/bin/sh", "-c", kPngsmith + " -o - --group=main p.exe > two.png"},
                                testutil::InDir(dir.path().string()));
    EXPECT_EQ(many.status, 2);
}

// Every prefix of each good container, listed and converted in one run:
// no crash, no hang, status 0 or 2.
TEST(Containers, EveryTruncation)
{
    const IconPicture small = Picture(1, 8);
    const std::string ico = IconFile({BitmapData(small)}), cur = IconFile({BitmapData(small)}, 2);
    std::vector<ExeResource> all = IconGroup(ico, "A", 0, 1);
    for (const auto& more : {IconGroup(cur, "", 5, 9)})
        all.insert(all.end(), more.begin(), more.end());
    Animation ani;
    ani.frames = {cur, cur};
    ani.rates = {1, 2};
    for (const std::string& file : {AniFile(ani), Pe(all), Pe(all, true), NeFile(all)}) {
        TempDir dir;
        std::vector<std::string> argv = {kPngsmith, "--list"};
        for (size_t n = 0; n < file.size(); n++) {
            std::string name = dir / ("t" + std::to_string(n));
            testutil::WriteFile(name, file.substr(0, n));
            argv.push_back(name);
        }
        RunResult list = RunProgram(argv, testutil::Timeout(60));
        EXPECT_EQ(list.status, 2) << list.err.substr(0, 2000);
        argv.erase(argv.begin() + 1);
        RunResult convert = RunProgram(argv, testutil::Timeout(60));
        EXPECT_EQ(convert.status, 2) << convert.err.substr(0, 2000);
    }
}

// The real animated cursors: every frame converts, one PNG file for each
// line of the listing.
TEST(Containers, RealAnimatedCursors)
{
    const fs::path folder = fs::path(CORPUS_DIR) / "ani";
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "no corpus folder at " << folder;
    for (const auto& e : fs::directory_iterator(folder)) {
        if (e.path().extension() == ".md")
            continue;
        SCOPED_TRACE(e.path().filename().string());
        TempDir dir;
        fs::copy_file(e.path(), dir / "x.ani");
        RunResult list = RunProgram({kPngsmith, "--list", dir / "x.ani"});
        RunResult run = RunProgram({kPngsmith, dir / "x.ani"});
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        size_t images = std::count(list.out.begin(), list.out.end(), '\n') - 1, pngs = 0;
        for (const auto& out : fs::directory_iterator(dir.path()))
            if (out.path().extension() == ".png") {
                pngs++;
                EXPECT_TRUE(Png(out.path().string()).ok()) << out.path();
            }
        EXPECT_EQ(pngs, images) << list.out;
        EXPECT_NE(list.out.find(": animation: "), std::string::npos);
    }
}

// A real program made by GNU windres and ld, where they are installed.
TEST(Containers, ProgramMadeByBinutils)
{
    if (system("command -v x86_64-w64-mingw32-windres >/dev/null && command -v x86_64-w64-mingw32-ld >/dev/null") != 0)
        GTEST_SKIP() << "binutils-mingw-w64-x86-64 is not installed";
    TempDir dir;
    testutil::WriteFile(dir / "app.ico", kIcon);
    testutil::WriteFile(dir / "app.rc", "MAIN ICON \"app.ico\"\n7 ICON \"app.ico\"\n");
    RunResult build = RunProgram({"/bin/sh", "-c",
                                  "x86_64-w64-mingw32-windres --preprocessor=cat app.rc -O coff -o app.o && "
                                  "x86_64-w64-mingw32-ld app.o -o app.exe -e 0 --subsystem windows"},
                                 testutil::InDir(dir.path().string()));
    ASSERT_EQ(build.status, 0) << build.err;
    RunResult run = RunProgram({kPngsmith, dir / "app.exe"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    for (const char* name : {"app_main_16X16_4bpp.png", "app_main_32X32_32bpp.png", "app_7_32X32_32bpp.png"})
        EXPECT_TRUE(Png(dir / name).ok()) << name;
}

}  // namespace
