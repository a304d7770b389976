// zelm.exe run as a process on files forged in the test: messages, exit
// statuses and output bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "forge3ds.h"
#include "testutil.h"

using namespace forge3ds;
using testutil::Bytes;
using testutil::RunProgram;
using testutil::RunResult;
using testutil::TempDir;

namespace {

const std::string kZelm = BIN_DIR "/zelm.exe";
const std::string kDump = BIN_DIR "/c7e2txt.exe";
const std::string kEmptyModel("\xE0\xC7\0\0\0\0", 6);

const char* const kBanner =
    "**************************************\n"
    "ZELM - 3DS to Ostralune File COnverter\n"
    "            Version 1.01              \n"
    "**************************************\n"
    "     Usage : ZELM <Input> <Output>    \n"
    "**************************************\n"
    "Notes :\n"
    "  Input should be a valid 3DS R4\n"
    "  file. Output can be any filename.\n"
    "  Both arguments are required.\n"
    "  Extensions will not be assumed.\n"
    "  Vertex, Face and Mapping data is\n"
    "  written. Vertex and Face normals are\n"
    "  also calculated and written. Multiple\n"
    "  objects are supported.\n"
    "**************************************\n";

// The log of a mesh that is written with nothing removed.
std::string CleanMeshTail(const std::string& name, int vertices, int faces)
{
    return "Optimizing Data... \bDone!\n"
           "Removing 0 Unused Vertices, 0 Duplicate Vertices, 0 Null Faces\n"
           "Calculating Normals...Done!\n"
           "Writing Model [" + name + "], " + std::to_string(vertices) + " vertices, " +
           std::to_string(faces) + " faces...Done!\n\n";
}

const std::vector<Position> kTriangle = {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}};

struct Converted {
    RunResult run;
    std::string model;  // the output file's bytes
};

Converted Convert(const TempDir& dir, const std::string& input)
{
    testutil::WriteFile(dir / "in.3ds", input);
    std::filesystem::remove(dir / "out.c7e");
    Converted c;
    c.run = RunProgram({kZelm, dir / "in.3ds", dir / "out.c7e"});
    c.model = testutil::ReadFile(dir / "out.c7e");
    return c;
}

TEST(ZelmDriver, BannerForFewerThanTwoArguments)
{
    TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{kZelm}, std::vector<std::string>{kZelm, dir / "x.3ds"}}) {
        RunResult r = RunProgram(args, testutil::InDir(dir.path().string()));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, kBanner);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ZelmDriver, MissingInputCreatesNoOutput)
{
    TempDir dir;
    RunResult r = RunProgram({kZelm, dir / "missing.3ds", dir / "out.c7e"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error : Input File Could Not Be Opened!");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.c7e"));
}

TEST(ZelmDriver, UncreatableOutput)
{
    TempDir dir;
    testutil::WriteFile(dir / "in.3ds", Main(""));
    RunResult r = RunProgram({kZelm, dir / "in.3ds", dir / "no/such/dir/out.c7e"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Error : Output File Could Not Be Created!");
}

TEST(ZelmDriver, NotA3dsFileLeavesAnEmptyModel)
{
    TempDir dir;
    for (const std::string& input : {std::string(), std::string("M"), std::string("MX\6\0\0\0"),
                                    std::string("\x4D\x4C", 2), Editor("")}) {
        Converted c = Convert(dir, input);
        EXPECT_EQ(c.run.status, 0);
        EXPECT_EQ(c.run.out, "Error : Input File Could Not Be Read!\n");
        EXPECT_EQ(c.model, kEmptyModel);
    }
}

TEST(ZelmDriver, ThreeVertexFileIsExact)
{
    TempDir dir;
    Converted c = Convert(
        dir, Main(Editor(Object("Tri", Mesh(VertexList(kTriangle) + FaceList({{0, 1, 2}}))))));
    EXPECT_EQ(c.run.status, 0);
    EXPECT_EQ(c.run.out, "Reading Mesh : Tri\nReading 3 Vertices...Done!\nReading 1 Faces...Done!\n" +
                             CleanMeshTail("Tri", 3, 1));
    Bytes expected;
    expected.u16(0xC7E0).u32(1).cstr("Tri").u32(3).u32(1);
    for (const Position& p : kTriangle)
        expected.f32(p[0]).f32(p[1]).f32(p[2]).f32(0).f32(0).f32(0).f32(0).f32(1);
    expected.u32(0).u32(1).u32(2).f32(0).f32(0).f32(1);
    ASSERT_EQ(c.model.size(), 138u);
    EXPECT_EQ(c.model, expected.str());
}

TEST(ZelmDriver, ExtraArgumentsAreIgnored)
{
    TempDir dir;
    testutil::WriteFile(dir / "in.3ds", Main(""));
    RunResult r = RunProgram({kZelm, dir / "in.3ds", dir / "out.c7e", dir / "third"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(testutil::ReadFile(dir / "out.c7e"), kEmptyModel);
    EXPECT_FALSE(std::filesystem::exists(dir / "third"));
}

TEST(ZelmDriver, SameFileForInputAndOutputIsRefused)
{
    TempDir dir;
    const std::string input = Main(Editor(Object("T", Mesh(VertexList(kTriangle) + FaceList({{0, 1, 2}})))));
    testutil::WriteFile(dir / "in.3ds", input);
    std::filesystem::create_symlink(dir / "in.3ds", dir / "link.3ds");
    std::filesystem::create_hard_link(dir / "in.3ds", dir / "hard.3ds");
    for (const std::string& out : {dir / "in.3ds", dir / "link.3ds", dir / "hard.3ds",
                                   dir.path().string() + "/./in.3ds"}) {
        RunResult r = RunProgram({kZelm, dir / "in.3ds", out});
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_EQ(r.out, "Error : Input and Output are the same File!") << out;
        EXPECT_EQ(testutil::ReadFile(dir / "in.3ds"), input) << out;
    }
}

// Output that cannot be written: the message, status 2, and a regular file
// removed; a device is never removed.
TEST(ZelmDriver, WriteFailuresAreReported)
{
    TempDir dir;
    // A strip of 3000 vertices, none of which the cleaning removes.
    std::vector<Position> strip;
    std::vector<Corners> faces;
    for (uint16_t i = 0; i < 3000; i++) {
        strip.push_back({static_cast<float>(i), static_cast<float>(i % 2), 0});
        if (i >= 2)
            faces.push_back({static_cast<uint16_t>(i - 2), static_cast<uint16_t>(i - 1), i});
    }
    std::string mesh = Object("Big", Mesh(VertexList(strip) + FaceList(faces)));
    testutil::WriteFile(dir / "in.3ds", Main(Editor(mesh)));
    testutil::WriteFile(dir / "empty.3ds", Main(""));
    struct Case {
        const char* name;
        std::string input, output;
        long limit;
    } cases[] = {
        {"record larger than the limit", dir / "in.3ds", dir / "out.c7e", 100},
        {"header beyond the limit", dir / "empty.3ds", dir / "out.c7e", 3},
        {"device that is always full", dir / "in.3ds", "/dev/full", -1},
        {"full device without meshes", dir / "empty.3ds", "/dev/full", -1},
    };
    for (const Case& c : cases) {
        RunResult r = RunProgram({kZelm, c.input, c.output}, testutil::FileSizeLimit(c.limit));
        EXPECT_EQ(r.status, 2) << c.name;
        EXPECT_NE(r.out.find("\nError : Output File Could Not Be Written!\n"), std::string::npos)
            << c.name << ": " << r.out;
        EXPECT_EQ(r.out.find("Done!\n\n"), std::string::npos) << c.name;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out.c7e"));
    struct stat st;
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(ZelmDriver, OutputSymlinkIsNeverRemoved)
{
    TempDir dir;
    testutil::WriteFile(dir / "in.3ds", Main(""));
    std::filesystem::create_symlink("/dev/full", dir / "full-link");
    RunResult r = RunProgram({kZelm, dir / "in.3ds", dir / "full-link"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "full-link"));
}

}  // namespace

namespace {

// The committed samples are what the generator writes, so that a change to
// either shows.
TEST(Samples, CommittedFilesAreTheGeneratorsOutput)
{
    TempDir dir;
    ASSERT_EQ(RunProgram({MAKE_SAMPLES, dir.path().string()}).status, 0);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        files++;
        EXPECT_EQ(testutil::ReadFile(entry.path()),
                  testutil::ReadFile(std::filesystem::path(SAMPLES_DIR) / entry.path().filename()))
            << entry.path().filename();
    }
    EXPECT_GE(files, 4);
}

}  // namespace
