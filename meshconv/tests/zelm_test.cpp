// zelm.exe run as a process on files forged in the test: messages, exit
// statuses and output bytes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "forge3ds.h"
#include "forgec7e.h"
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

const char* const kBanner = "**************************************\n"
                            "ZELM - 3DS to Ostralune File COnverter\n"
                            "            Version " CONVERTER_VERSION "              \n"
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
    return "Optimizing Data... Done!\n"
           "Removing 0 Unused Vertices, 0 Duplicate Vertices, 0 Null Faces\n"
           "Calculating Normals...Done!\n"
           "Writing Model [" +
           name + "], " + std::to_string(vertices) + " vertices, " + std::to_string(faces) + " faces...Done!\n\n";
}

const std::vector<Position> kTriangle = {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}};

const std::string kTriMesh = Mesh(VertexList(kTriangle) + FaceList({{0, 1, 2}}));
const std::string kTriFile = Main(Editor(Object("Tri", kTriMesh)));
const std::string kTriLog =
    "Reading Mesh : Tri\nReading 3 Vertices...Done!\nReading 1 Faces...Done!\n" + CleanMeshTail("Tri", 3, 1);
const std::string kUsage = "Error : Too Many Arguments!\n     Usage : ZELM <Input> <Output>\n";
const std::string kNotRead = "Error : Input File Could Not Be Read!\n";
const std::string kSame = "Error : Input and Output are the same File!";

std::string TriModel()
{
    forgec7e::Mesh tri{"Tri", {}, {{0, 1, 2, 0, 0, 1}}};
    for (const Position& p : kTriangle)
        tri.vertices.push_back({p[0], p[1], p[2], 0, 0, 0, 0, 1});
    return forgec7e::ModelFile({tri});
}

// A mesh of count vertices in a strip, none of which the cleaning removes.
std::string StripFile(uint16_t count)
{
    std::vector<Position> strip;
    std::vector<Corners> faces;
    for (uint16_t i = 0; i < count; i++) {
        strip.push_back({static_cast<float>(i), static_cast<float>(i % 2), 0});
        if (i >= 2)
            faces.push_back({static_cast<uint16_t>(i - 2), static_cast<uint16_t>(i - 1), i});
    }
    return Main(Editor(Object("Big", Mesh(VertexList(strip) + FaceList(faces)))));
}

struct DriverCase {
    const char* name;
    std::string input;  // written to in.3ds (with the links link.3ds and hard.3ds)
    std::string command;  // run by the shell in the folder; Z stands for zelm.exe
    int status;
    std::string out;  // exact standard output
    std::string model;  // out.c7e afterwards; "-" when it must not exist
};

void PrintTo(const DriverCase& c, std::ostream* os) { *os << c.name; }

std::vector<DriverCase> DriverCases()
{
    return {
        {"no arguments", kTriFile, "Z", 0, kBanner, "-"},
        {"one argument", kTriFile, "Z in.3ds", 0, kBanner, "-"},
        {"help", kTriFile, "Z --help", 0, kBanner, "-"},
        {"version", kTriFile, "Z --version", 0, kBanner, "-"},
        {"three vertex file is exact", kTriFile, "Z in.3ds out.c7e", 0, kTriLog, TriModel()},
        {"missing input", kTriFile, "Z missing.3ds out.c7e", 1, "Error : Input File Could Not Be Opened!", "-"},
        {"uncreatable output", kTriFile, "Z in.3ds no/such/dir/out.c7e", 1, "Error : Output File Could Not Be Created!",
         "-"},
        // A glob such as *.3ds must not turn a second model into the output.
        {"surplus arguments", kTriFile, "Z in.3ds link.3ds out.c7e", 1, kUsage, "-"},
        {"empty file", "", "Z in.3ds out.c7e", 3, kNotRead, kEmptyModel},
        {"one byte", "M", "Z in.3ds out.c7e", 3, kNotRead, kEmptyModel},
        {"wrong second id byte", std::string("MX\6\0\0\0", 6), "Z in.3ds out.c7e", 3, kNotRead, kEmptyModel},
        {"editor chunk first", Editor(""), "Z in.3ds out.c7e", 3, kNotRead, kEmptyModel},
        // The walk seeks; a pipe is read into memory first.
        {"input from a pipe", kTriFile, "cat in.3ds | Z /dev/stdin out.c7e", 0, kTriLog, TriModel()},
        {"empty pipe", kTriFile, "Z /dev/stdin out.c7e < /dev/null", 3, kNotRead, kEmptyModel},
        // Of a pipe no more is read than the main chunk and one byte.
        {"endless pipe", kTriFile, "(printf 'MM\\6\\0\\0\\0'; cat /dev/zero) | Z /dev/stdin out.c7e", 4,
         "\nWarning : File Size Exceeds Main Chunk Size 6!\n", kEmptyModel},
        // The progress text appended to the input would change it.
        {"standard output is the input", kTriFile, "Z in.3ds out.c7e >> in.3ds", 1, "", "-"},
        // Closed descriptors are not taken by the files, so the progress
        // text never lands in the model.
        {"closed standard descriptors", kTriFile, "Z in.3ds out.c7e <&- >&- 2>&-", 0, "", TriModel()},
        {"output is the input", kTriFile, "Z in.3ds in.3ds", 1, kSame, "-"},
        {"output is a link to the input", kTriFile, "Z in.3ds link.3ds", 1, kSame, "-"},
        {"output is a hard link to the input", kTriFile, "Z in.3ds hard.3ds", 1, kSame, "-"},
        {"output is the input through a dot", kTriFile, "Z in.3ds ./in.3ds", 1, kSame, "-"},
        {"one device for both", kTriFile, "Z /dev/null /dev/null", 1, kSame, "-"},
        // The message goes to standard error; the shell made the file.
        {"output is also standard output", kTriFile, "Z in.3ds out.c7e > out.c7e", 1, "", ""},
        {"output names standard output", kTriFile, "Z in.3ds /dev/stdout > out.c7e", 1, "", ""},
        {"a folder as input", kTriFile, "mkdir d && Z d out.c7e", 1, "Error : Input File Could Not Be Opened!", "-"},
        // A failing read is an error, and the earlier output survives
        // (LeakSanitizer cannot run under strace's ptrace).
        {"failing read", kTriFile,
         "echo old > out.c7e && ASAN_OPTIONS=detect_leaks=0 strace -o /dev/null -P \"$(pwd)/in.3ds\" -e "
         "inject=read:error=EIO:when=1 Z in.3ds "
         "out.c7e",
         2, "\nError : Input File Read Failed: Input/output error!\n", "old\n"},
        {"damaged file", Main(Editor("")) + "xy", "Z in.3ds out.c7e", 4,
         "\nWarning : File Size 14 Does Not Match Main Chunk Size 12!\n", kEmptyModel},
        {"damaged file with a mesh", kTriFile + "xy", "Z in.3ds out.c7e", 0,
         kTriLog + "\nWarning : File Size " + std::to_string(kTriFile.size() + 2) + " Does Not Match Main Chunk Size " +
             std::to_string(kTriFile.size()) + "!\n",
         TriModel()},
    };
}

class ZelmDriver : public testing::TestWithParam<DriverCase> { };

TEST_P(ZelmDriver, StatusOutputAndFiles)
{
    const DriverCase& c = GetParam();
    TempDir dir;
    testutil::WriteFile(dir / "in.3ds", c.input);
    std::filesystem::create_symlink(dir / "in.3ds", dir / "link.3ds");
    std::filesystem::create_hard_link(dir / "in.3ds", dir / "hard.3ds");
    std::string command = c.command;
    command.replace(command.find('Z'), 1, kZelm);
    RunResult r = RunProgram({"/bin/sh", "-c", command}, testutil::InDir(dir.path().string()));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    if (c.model == "-")
        EXPECT_FALSE(std::filesystem::exists(dir / "out.c7e"));
    else
        EXPECT_EQ(testutil::ReadFile(dir / "out.c7e"), c.model);
    EXPECT_EQ(testutil::ReadFile(dir / "in.3ds"), c.input);
}

INSTANTIATE_TEST_SUITE_P(Cases, ZelmDriver, testing::ValuesIn(DriverCases()), testutil::CaseName());

// Output that cannot be written: the message, status 2, and a regular file
// removed; a device is never removed.
TEST(ZelmWriteFailure, ReportedAndARegularOutputRemoved)
{
    TempDir dir;
    testutil::WriteFile(dir / "in.3ds", StripFile(3000));
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

TEST(ZelmWriteFailure, OutputSymlinkIsNeverRemoved)
{
    TempDir dir;
    testutil::WriteFile(dir / "in.3ds", Main(""));
    std::filesystem::create_symlink("/dev/full", dir / "full-link");
    RunResult r = RunProgram({kZelm, dir / "in.3ds", dir / "full-link"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "full-link"));
}

// A name with control bytes: on a terminal (script gives the programs one)
// they are escaped, in logs and pipes and in the model they stay.
TEST(ZelmOutput, NamesEscapedOnATerminal)
{
    TempDir dir;
    const std::string name = "A\x1b]0;x\a\rB\\\xc3\xa9\xc2\x9b";
    testutil::WriteFile(dir / "in.3ds", Main(Editor(Object(name, kTriMesh))));
    const std::string escaped = "A\\033]0;x\\007\\015B\\\\\xc3\xa9\\302\\233";
    struct Case {
        const char* name;
        std::string command;
        std::string shown;  // what the output must hold
    } cases[] = {
        {"zelm on a terminal", "script -qec '" + kZelm + " in.3ds out.c7e' /dev/null", "Reading Mesh : " + escaped},
        {"written model on a terminal", "script -qec '" + kZelm + " in.3ds out.c7e' /dev/null",
         "Writing Model [" + escaped + "]"},
        {"zelm into a pipe", kZelm + " in.3ds out.c7e | cat", "Reading Mesh : " + name + "\n"},
        {"c7e2txt on a terminal", "script -qec '" + kDump + " out.c7e' /dev/null", "Mesh Name : " + escaped},
        {"c7e2txt into a file", kDump + " out.c7e > dump.txt && cat dump.txt", "Mesh Name : " + name + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunResult r = RunProgram({"/bin/sh", "-c", c.command}, testutil::InDir(dir.path().string()));
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find(c.shown), std::string::npos) << r.out;
    }
    EXPECT_NE(testutil::ReadFile(dir / "out.c7e").find(name + '\0'), std::string::npos);
}

// Two runs naming one output, each writing many meshes as it goes: it ends
// as one whole model, never a mixture of the two.
TEST(ZelmOutput, ConcurrentRunsLeaveOneWholeModel)
{
    TempDir dir;
    std::string models[2];
    for (int k = 0; k < 2; k++) {
        std::string objects;
        for (int i = 0; i < 300 + 100 * k; i++)
            objects += Object("O" + std::to_string(k) + "_" + std::to_string(i), kTriMesh);
        const std::string name = "in" + std::to_string(k) + ".3ds";
        testutil::WriteFile(dir / name, Main(Editor(objects)));
        ASSERT_EQ(RunProgram({kZelm, dir / name, dir / "alone.c7e"}).status, 0);
        models[k] = testutil::ReadFile(dir / "alone.c7e");
    }
    for (int round = 0; round < 3; round++) {
        RunResult r = RunProgram(
            {"/bin/sh", "-c", kZelm + " in0.3ds out.c7e > /dev/null & " + kZelm + " in1.3ds out.c7e > /dev/null; wait"},
            testutil::InDir(dir.path().string()));
        std::string out = testutil::ReadFile(dir / "out.c7e");
        EXPECT_TRUE(out == models[0] || out == models[1]) << "round " << round << ": " << out.size() << " bytes";
    }
}

// A signal while the model is written (standard output, a FIFO nobody
// reads, holds the run): the program dies of it, the earlier output stays
// and no temporary file is left.
TEST(ZelmOutput, SignalLeavesNoPartialModel)
{
    std::string objects;
    for (int i = 0; i < 1000; i++)
        objects += Object("O" + std::to_string(i), kTriMesh);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        TempDir dir;
        testutil::WriteFile(dir / "in.3ds", Main(Editor(objects)));
        testutil::WriteFile(dir / "out.c7e", "old");
        ASSERT_EQ(mkfifo((dir / "log").c_str(), 0600), 0);
        int fifo = open((dir / "log").c_str(), O_RDONLY | O_NONBLOCK);
        ASSERT_GE(fifo, 0);
        int how = testutil::InterruptWhen(
            "exec " + kZelm + " in.3ds out.c7e > log", dir.path().string(),
            [&] {
                int queued = 0;
                return ioctl(fifo, FIONREAD, &queued) == 0 && queued >= 65536 - 4096;
            },
            sig);
        close(fifo);
        EXPECT_EQ(how, 128 + sig);
        EXPECT_EQ(testutil::ReadFile(dir / "out.c7e"), "old");
        size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            files += e.path().filename() != "." ? 1 : 0;
        EXPECT_EQ(files, 3u) << "in.3ds, log and out.c7e only";
    }
}

}  // namespace
