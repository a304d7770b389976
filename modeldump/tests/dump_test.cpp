// c7e2txt.exe run as a process on model files forged in the test.
#include <gtest/gtest.h>

#include "forgec7e.h"
#include "testutil.h"

namespace {

using testutil::Bytes;
using testutil::RunProgram;
using testutil::RunResult;
using testutil::TempDir;

const std::string kDump = BIN_DIR "/c7e2txt.exe";

// One mesh record: name, then vertices of 8 floats and faces, all with the
// normal n.
Bytes Record(const std::string& name, const std::vector<forgec7e::Vertex>& vertices,
             const std::vector<std::array<uint32_t, 3>>& faces, const std::array<float, 3>& n = {0, 0, 1})
{
    forgec7e::Mesh mesh{name, vertices, {}};
    for (const auto& f : faces)
        mesh.faces.push_back({f[0], f[1], f[2], n[0], n[1], n[2]});
    return Bytes().str(forgec7e::Record(mesh));
}

Bytes Model(uint32_t count, const Bytes& records) { return Bytes().str(forgec7e::ModelFile(count, records.str())); }

const std::vector<std::array<float, 8>> kTri = {
    {1, 0, 0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 0, 0, 0, 1}};

const std::string kTriText = "C7E Format : c7e0\nNumber Of Meshes : 1\nMesh Name : Tri\n3 Vertices, 1 Faces\n"
                             "Vertex : 1.000000 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 1.000000\n"
                             "Vertex : 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 0.000000 1.000000\n"
                             "Vertex : 0.000000 1.000000 0.000000 0.000000 0.000000 0.000000 0.000000 1.000000\n"
                             "Face 0 1 2 0.000000 0.000000 1.000000\n";

struct DumpCase {
    const char* name;
    std::string file;
    int status;
    std::string text;  // with %s standing for the file's path
};

void PrintTo(const DumpCase& c, std::ostream* os) { *os << c.name; }

std::vector<DumpCase> DumpCases()
{
    std::string name255(255, 'x'), name256(256, 'y');
    Bytes twoMeshes = Model(2, Record("Tri", kTri, {{0, 1, 2}}).add(Record("B", {}, {})));
    return {
        {"empty file", "", 2, "\n Error : %s is not a C7E0 format file!\n"},
        {"one byte", "\xE0", 2, "\n Error : %s is not a C7E0 format file!\n"},
        {"magic stored big-endian", std::string("\xC7\xE0\0\0\0\0", 6), 2,
         "\n Error : %s is not a C7E0 format file!\n"},
        {"no meshes", Model(0, Bytes()), 0, "C7E Format : c7e0\nNumber Of Meshes : 0\n"},
        {"three-vertex file", Model(1, Record("Tri", kTri, {{0, 1, 2}})), 0, kTriText},
        {"bytes after the last mesh", Model(1, Record("Tri", kTri, {{0, 1, 2}}).str("trailing")), 0, kTriText},
        {"count smaller than the records", Model(0, Record("Tri", kTri, {{0, 1, 2}})), 0,
         "C7E Format : c7e0\nNumber Of Meshes : 0\n"},
        {"empty name and no faces", Model(1, Record("", {{1, 2, 3, 4, 5, 6, 7, 8}}, {})), 0,
         "C7E Format : c7e0\nNumber Of Meshes : 1\nMesh Name : \n1 Vertices, 0 Faces\n"
         "Vertex : 1.000000 2.000000 3.000000 4.000000 5.000000 6.000000 7.000000 8.000000\n"},
        {"name of 255", Model(1, Record(name255, {}, {})), 0,
         "C7E Format : c7e0\nNumber Of Meshes : 1\nMesh Name : " + name255 + "\n0 Vertices, 0 Faces\n"},
        // 256 bytes are taken for the name; the bytes after them are the counts.
        {"name of 256 without a zero", Model(1, Bytes().str(name256).u32(0).u32(0)), 0,
         "C7E Format : c7e0\nNumber Of Meshes : 1\nMesh Name : " + name256.substr(0, 255) + "\n0 Vertices, 0 Faces\n"},
        {"face indices beyond the vertices are printed",
         Model(1, Record("M", {}, {{7, 8, 4000000000u}}, {-1.5f, 0.25f, 0})), 0,
         "C7E Format : c7e0\nNumber Of Meshes : 1\nMesh Name : M\n0 Vertices, 1 Faces\n"
         "Face 7 8 4000000000 -1.500000 0.250000 0.000000\n"},
        {"two meshes", twoMeshes, 0,
         "C7E Format : c7e0\nNumber Of Meshes : 2\n" + kTriText.substr(kTriText.find("Mesh Name")) +
             "Mesh Name : B\n0 Vertices, 0 Faces\n"},
        // A file that ends early: every complete line, then the message.
        {"magic only", "\xE0\xC7", 2, "C7E Format : c7e0\n\n Error : %s is truncated!\n"},
        {"count of four billion on a short file", Model(4000000000u, Bytes().cstr("A")), 2,
         "C7E Format : c7e0\nNumber Of Meshes : 4000000000\nMesh Name : A\n\n Error : %s is truncated!\n"},
        {"vertex count without its vertices", Model(1, Bytes().cstr("A").u32(2).u32(0).f32(1)), 2,
         "C7E Format : c7e0\nNumber Of Meshes : 1\nMesh Name : A\n2 Vertices, 0 Faces\n\n Error : %s is truncated!\n"},
    };
}

class Dump : public testing::TestWithParam<DumpCase> { };

TEST_P(Dump, TextAndStatus)
{
    const DumpCase& c = GetParam();
    TempDir dir;
    std::string path = dir / "model.c7e";
    testutil::WriteFile(path, c.file);
    RunResult r = RunProgram({kDump, path, "ignored"});
    std::string want = c.text;
    for (size_t at = want.find("%s"); at != std::string::npos; at = want.find("%s"))
        want.replace(at, 2, path);
    EXPECT_EQ(r.status, c.status);
    // Messages go to standard error, after every complete line of the dump.
    EXPECT_EQ(r.out + r.err, want);
    EXPECT_EQ(r.err.empty(), c.status == 0) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, Dump, testing::ValuesIn(DumpCases()), testutil::CaseName());

// The command line through the shell: arguments, statuses and which stream
// gets what.
TEST(DumpCommandLine, ArgumentsStatusesAndStreams)
{
    TempDir dir;
    testutil::WriteFile(dir / "m.c7e", Model(1, Record("Tri", kTri, {{0, 1, 2}})));
    const std::string usage = "\n usage : C7E2TXT <input>\n           Where <input> is a valid C7E0 format file.\n";
    struct Case {
        const char* name;
        std::string command;  // D stands for c7e2txt.exe
        int status;
        std::string out, err;
    } cases[] = {
        {"no argument", "D", 1, "", usage},
        {"help", "D --help", 0, usage, ""},
        {"version", "D --version", 0, "C7E2TXT " CONVERTER_VERSION "\n", ""},
        {"missing file", "D /no/such/file.c7e", 2, "", "\n Error : /no/such/file.c7e could not be opened!\n"},
        {"dump to a file", "D m.c7e > dump.txt", 0, "", ""},
        {"full disk", "D m.c7e > /dev/full", 2, "",
         "\n Error : the dump could not be written: No space left on device!\n"},
        {"closed standard output", "D m.c7e >&-", 0, "", ""},
        {"dump appended to its model", "D m.c7e >> m.c7e", 2, "", "\n Error : m.c7e is also standard output!\n"},
        {"a folder", "D .", 2, "", "\n Error : . could not be read: Is a directory!\n"},
        // LeakSanitizer cannot run under strace's ptrace.
        {"a failing read",
         "ASAN_OPTIONS=detect_leaks=0 strace -o /dev/null -P \"$(pwd)/m.c7e\" -e inject=read:error=EIO:when=1 D m.c7e",
         2, "", "\n Error : m.c7e could not be read: Input/output error!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string command = c.command;
        command.replace(command.find('D'), 1, kDump);
        RunResult r = RunProgram({"/bin/sh", "-c", command}, testutil::InDir(dir.path().string()));
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(testutil::ReadFile(dir / "dump.txt"), kTriText);
    EXPECT_EQ(testutil::ReadFile(dir / "m.c7e"), Model(1, Record("Tri", kTri, {{0, 1, 2}})).str());
}

// Every prefix of a two-mesh file prints a prefix of the whole file's lines,
// then the truncation message; never a value it did not read.
TEST(DumpTruncation, EveryLength)
{
    TempDir dir;
    std::string path = dir / "m.c7e";
    std::string file = Model(2, Record("A", kTri, {{0, 1, 2}}).add(Record("B", kTri, {{2, 1, 0}})));
    testutil::WriteFile(path, file);
    std::string whole = RunProgram({kDump, path}).out;
    for (size_t n = 2; n < file.size(); n++) {
        testutil::WriteFile(path, file.substr(0, n));
        RunResult r = RunProgram({kDump, path});
        ASSERT_EQ(r.status, 2) << n;
        ASSERT_EQ(r.err, "\n Error : " + path + " is truncated!\n") << n;
        const std::string& lines = r.out;
        EXPECT_EQ(whole.compare(0, lines.size(), lines), 0) << n;
        EXPECT_TRUE(lines.empty() || lines.back() == '\n') << n;
    }
}

}  // namespace
