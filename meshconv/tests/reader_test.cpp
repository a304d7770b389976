// The chunk walk and the list readers, through zelm.exe on forged files:
// which meshes come out, and the exact progress text.
#include <gtest/gtest.h>

#include "forge3ds.h"
#include "seekable_stream.h"
#include "forgec7e.h"
#include "testutil.h"

using namespace forge3ds;
using testutil::RunProgram;
using testutil::RunResult;
using testutil::TempDir;

namespace {

const std::string kZelm = BIN_DIR "/zelm.exe";
const std::vector<Position> kTri = {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}};
const std::vector<Corners> kFace = {{0, 1, 2}};
const std::string kTriMesh = Mesh(VertexList(kTri) + FaceList(kFace));

std::string ReadingMesh(const std::string& name) { return "Reading Mesh : " + name + "\n"; }
std::string Vertices(int n) { return "Reading " + std::to_string(n) + " Vertices...Done!\n"; }
std::string Faces(int n) { return "Reading " + std::to_string(n) + " Faces...Done!\n"; }
std::string Coords(int n) { return "Reading " + std::to_string(n) + " Texture Coordinates...Done!\n"; }
// The warnings of a walk that damaged lengths cut short.
std::string ListCut(int read, int announced, const std::string& what)
{
    return "\nWarning : Only " + std::to_string(read) + " of " + std::to_string(announced) + " " + what +
           " Lie Within the Mesh!\n";
}
std::string LevelCut(const char* id, uint64_t offset, bool pastEnd)
{
    return std::string("\nWarning : Chunk ") + id + " at Offset " + std::to_string(offset) +
           (pastEnd ? " Runs Past the End of Its Parent!\n"
                    : " Has an Invalid Length, the Rest of Its Parent Is Skipped!\n");
}

std::string Written(const std::string& name, int v, int f, int unused = 0)
{
    return "Optimizing Data... Done!\nRemoving " + std::to_string(unused) +
           " Unused Vertices, 0 Duplicate Vertices, 0 Null Faces\n"
           "Calculating Normals...Done!\nWriting Model [" +
           name + "], " + std::to_string(v) + " vertices, " + std::to_string(f) + " faces...Done!\n\n";
}

// A triangle mesh read and written whole.
std::string TriLog(const std::string& name) { return ReadingMesh(name) + Vertices(3) + Faces(1) + Written(name, 3, 1); }

struct MeshSummary {
    std::string name;
    size_t vertices, faces;
    bool operator==(const MeshSummary&) const = default;
};

struct WalkCase {
    const char* name;
    std::string input;
    std::string log;  // exact standard output
    std::vector<MeshSummary> meshes;  // what the model file holds
};

// The last line for a file whose main chunk does not span it.
std::string SizeWarning(size_t size, size_t length)
{
    return "\nWarning : File Size " + std::to_string(size) + " Does Not Match Main Chunk Size " +
           std::to_string(length) + "!\n";
}

std::string Truncated(const std::string& file, const std::string& marker)
{
    size_t at = file.find(marker);
    EXPECT_NE(at, std::string::npos);
    return file.substr(0, at + marker.size() / 2);
}

std::vector<WalkCase> WalkCases()
{
    std::string name10(10, 'n'), name254(254, 'a'), name255(255, 'b'), name300(300, 'c');
    std::string twoObjects = Main(Editor(
        Object("A", kTriMesh) + Object("B", Mesh(VertexList(std::vector<Position>(50, {1, 2, 3})) + FaceList(kFace)))));
    std::string cutVertexList = VertexList(std::vector<Position>(50, {1, 2, 3}));
    // An object of 14 bytes: header, one-letter name, and the header of a
    // mesh whose length runs over the next object and the triangle's lists.
    const std::string kTriLists = VertexList(kTri) + FaceList(kFace);
    auto pastObject = [&](const std::string& name) {
        return Header(kObjectChunk, 14) + name + '\0' +
               Header(kMeshChunk, static_cast<uint32_t>(6 + 14 + kTriLists.size()));
    };
    return {
        {"main chunk without editor", Main(MeshVersion(3)), "", {}},
        {"light and camera objects",
         Main(Editor(Object("Light01", Light({1, 2, 3})) + Object("Cam", Camera({1, 1, 1}, {0, 0, 0}, 50)))),
         "",
         {}},
        {"lists in file order",
         Main(Editor(Object("M", Mesh(VertexList(kTri) + MappingList({{0, 0}, {1, 0}, {0, 1}}) + FaceList(kFace))))),
         ReadingMesh("M") + Vertices(3) + Coords(3) + Faces(1) + Written("M", 3, 1),
         {{"M", 3, 1}}},
        {"mapping list one short",
         Main(Editor(Object("M", Mesh(VertexList(kTri) + MappingList({{0, 0}, {1, 0}}) + FaceList(kFace))))),
         ReadingMesh("M") + Vertices(3) +
             "Reading 2 Texture Coordinates...\nWarning : Number of Vertices and Mapping Data do not match!\n" +
             Faces(1) + Written("M", 3, 1),
         {{"M", 3, 1}}},
        {"mapping list before the vertex list",
         Main(Editor(Object("M", Mesh(MappingList({{0, 0}, {1, 0}, {0, 1}}) + VertexList(kTri) + FaceList(kFace))))),
         ReadingMesh("M") +
             "Reading 3 Texture Coordinates...\nWarning : Number of Vertices and Mapping Data do not match!\n" +
             Vertices(3) + Faces(1) + Written("M", 3, 1),
         {{"M", 3, 1}}},
        {"empty mapping list without vertices",
         Main(Editor(Object("M", Mesh(MappingList({}) + VertexList(kTri) + FaceList(kFace))))),
         ReadingMesh("M") + Coords(0) + Vertices(3) + Faces(1) + Written("M", 3, 1),
         {{"M", 3, 1}}},
        {"empty vertex list drops the mesh",
         Main(Editor(Object("M", Mesh(VertexList({}) + FaceList(kFace))))),
         ReadingMesh("M") + Vertices(0) + Faces(1),
         {}},
        {"vertices without faces drop the mesh",
         Main(Editor(Object("M", Mesh(VertexList(kTri))) + Object("N", kTriMesh))),
         ReadingMesh("M") + Vertices(3) + TriLog("N"),
         {{"N", 3, 1}}},
        {"face list children are skipped",
         Main(Editor(Object(
             "M", Mesh(VertexList(kTri) + FaceList(kFace, MaterialGroup("Red", {0}) + Chunk(0x4150, "\1\0\0\0")))))),
         TriLog("M"),
         {{"M", 3, 1}}},
        {"second mesh chunk of an object is not read",
         Main(Editor(Object("A", kTriMesh + kTriMesh) + Object("B", kTriMesh))),
         TriLog("A") + TriLog("B"),
         {{"A", 3, 1}, {"B", 3, 1}}},
        {"second list of a kind replaces the first",
         Main(Editor(Object("M", Mesh(VertexList({{9, 9, 9}}) + VertexList(kTri) + FaceList(kFace))))),
         ReadingMesh("M") + Vertices(1) + Vertices(3) + Faces(1) + Written("M", 3, 1),
         {{"M", 3, 1}}},
        {"empty name", Main(Editor(Object("", kTriMesh))), TriLog(""), {{"", 3, 1}}},
        {"name of 10", Main(Editor(Object(name10, kTriMesh))), TriLog(name10), {{name10, 3, 1}}},
        {"name of 254", Main(Editor(Object(name254, kTriMesh))), TriLog(name254), {{name254, 3, 1}}},
        // A longer name keeps its first 255 characters and the object's
        // chunks are still found after it.
        {"name of 255", Main(Editor(Object(name255, kTriMesh))), TriLog(name255), {{name255, 3, 1}}},
        {"name of 300",
         Main(Editor(Object(name300, kTriMesh))),
         TriLog(name300.substr(0, 255)),
         {{name300.substr(0, 255), 3, 1}}},
        {"file ends inside a name", Main(Editor(Header(kObjectChunk, 100) + "Unfinish")), "", {}},
        {"file ends inside the second mesh's vertex list",
         Truncated(twoObjects, cutVertexList),
         TriLog("A") + ReadingMesh("B") + Vertices(50) +
             SizeWarning(Truncated(twoObjects, cutVertexList).size(), twoObjects.size()),
         {{"A", 3, 1}}},
        {"faces naming missing vertices are removed",
         Main(Editor(Object("M", Mesh(VertexList(kTri) + FaceList({{0, 1, 3}, {0, 1, 2}, {7, 1, 2}}))))),
         ReadingMesh("M") + Vertices(3) + Faces(3) + "\nWarning : 2 Faces Refer to Missing Vertices!\n" +
             Written("M", 3, 1),
         {{"M", 3, 1}}},
        {"mesh whose faces all name missing vertices is written empty",
         Main(Editor(Object("M", Mesh(VertexList(kTri) + FaceList({{0, 1, 3}}))))),
         ReadingMesh("M") + Vertices(3) + Faces(1) + "\nWarning : 1 Faces Refer to Missing Vertices!\n" +
             Written("M", 0, 0, 3),
         {{"M", 0, 0}}},
        // Lengths that would not move the walk forward end their level.
        {"zero length at the main level", Main(Header(0x0002, 0) + Editor(Object("M", kTriMesh))), "", {}},
        {"overflowing length at the main level",
         Main(Header(0x0002, 0xFFFFFFF0) + Editor(Object("M", kTriMesh))),
         "",
         {}},
        {"zero length in the editor",
         Main(Editor(Header(0x3D3E, 0) + Object("M", kTriMesh))),
         LevelCut("3D3E", 12, false),
         {}},
        {"zero length in an object",
         Main(Editor(Object("A", Header(0x4010, 5) + kTriMesh) + Object("B", kTriMesh))),
         LevelCut("4010", 20, false) + TriLog("B"),
         {{"B", 3, 1}}},
        {"zero length in a mesh",
         Main(
             Editor(Object("A", Mesh(VertexList(kTri) + Header(0x4150, 0) + FaceList(kFace))) + Object("B", kTriMesh))),
         ReadingMesh("A") + Vertices(3) + LevelCut("4150", 70, false) + TriLog("B"),
         {{"B", 3, 1}}},
        {"length beyond the end of the file",
         Main(Editor(Object("A", kTriMesh)) + Header(0xB000, 0x7FFFFFFF)),
         TriLog("A"),
         {{"A", 3, 1}}},
        // No child is read past its parent's end: meshes that claim to run
        // past their objects over lists shared after them make no mesh, and
        // each object is read once.
        {"meshes running past their objects",
         Main(Editor(pastObject("a") + pastObject("b") + kTriLists)),
         LevelCut("4100", 20, true) + ReadingMesh("a") + LevelCut("4100", 34, true) + ReadingMesh("b"),
         {}},
        // The editor claims more than the file holds, and an unknown chunk
        // ends past the end of the file: the seek there succeeds and the
        // walk ends, from a pipe as from a file.
        {"seek past the end of the file",
         Main(Header(kEditorChunk, static_cast<uint32_t>(6 + Object("A", kTriMesh).size() + 6 +
                                                         Editor(Object("B", kTriMesh)).size() + 1000)) +
              Object("A", kTriMesh) +
              Header(0x1234, static_cast<uint32_t>(6 + Editor(Object("B", kTriMesh)).size() + 500)) +
              Editor(Object("B", kTriMesh))),
         TriLog("A"),
         {{"A", 3, 1}}},
        {"mesh one byte short",
         Main(Editor(Object("M", Header(kMeshChunk, static_cast<uint32_t>(kTriMesh.size() - 1)) + kTriMesh.substr(6)) +
                     Object("B", kTriMesh))),
         ReadingMesh("M") + Vertices(3) + Faces(0) + ListCut(0, 1, "Faces") + TriLog("B"),
         {{"B", 3, 1}}},
        {"list cut at its mesh's end",
         Main(Editor(Object("M", Header(kMeshChunk, 6 + 8 + 12) + kTriLists) + Object("B", kTriMesh))),
         ReadingMesh("M") + Vertices(1) + ListCut(1, 3, "Vertices") + TriLog("B"),
         {{"B", 3, 1}}},
    };
}

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class ChunkWalk : public testing::TestWithParam<WalkCase> { };

TEST_P(ChunkWalk, MeshesAndLog)
{
    const WalkCase& c = GetParam();
    TempDir dir;
    testutil::WriteFile(dir / "in.3ds", c.input);
    RunResult r = RunProgram({kZelm, dir / "in.3ds", dir / "out.c7e"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.log);
    std::string bytes = testutil::ReadFile(dir / "out.c7e");
    // The same bytes through a pipe give the same log and model.
    RunResult piped =
        RunProgram({"/bin/sh", "-c", "cat in.3ds | " + kZelm + " /dev/stdin piped.c7e"}, testutil::InDir(dir.path()));
    EXPECT_EQ(piped.out, r.out);
    EXPECT_EQ(testutil::ReadFile(dir / "piped.c7e"), bytes);
    forgec7e::ParsedModel model = forgec7e::ParseModel(bytes);
    ASSERT_TRUE(model.ok);
    std::vector<MeshSummary> meshes;
    for (const forgec7e::Mesh& m : model.meshes)
        meshes.push_back({m.name, m.vertices.size(), m.faces.size()});
    EXPECT_EQ(meshes, c.meshes);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChunkWalk, testing::ValuesIn(WalkCases()), testutil::CaseName());

// A mapping list with one entry fewer leaves u and v at 0; a matching one
// is stored; entries past the end of the file read as 0.
TEST(ListReaders, ValuesAsStoredAndZeroPastTheEnd)
{
    TempDir dir;
    std::string file = Main(Editor(
        Object("M", Mesh(VertexList(kTri) + FaceList(kFace) + MappingList({{0.25f, 0.5f}, {0.75f, 1}, {2, 3}})))));
    testutil::WriteFile(dir / "in.3ds", file);
    ASSERT_EQ(RunProgram({kZelm, dir / "in.3ds", dir / "out.c7e"}).status, 0);
    forgec7e::ParsedModel model = forgec7e::ParseModel(testutil::ReadFile(dir / "out.c7e"));
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].vertices[0][3], 0.25f);
    EXPECT_EQ(model.meshes[0].vertices[2][4], 3.0f);

    // Cut inside the third vertex's z: it reads as 0 from the missing bytes
    // on, and the mesh (without faces) is dropped.
    std::string cut = Main(Editor(Object("M", Mesh(VertexList(kTri) + FaceList(kFace)))));
    size_t z3 = cut.find(VertexList(kTri)) + 6 + 2 + 2 * 12 + 8;
    testutil::WriteFile(dir / "in.3ds", cut.substr(0, z3 + 2));
    RunResult r = RunProgram({kZelm, dir / "in.3ds", dir / "out.c7e"});
    EXPECT_EQ(r.out, ReadingMesh("M") + Vertices(3) + SizeWarning(z3 + 2, cut.size()));
    EXPECT_EQ(r.status, 4);
}

// The walk ends on every damaged header: each container's length replaced
// by values that would send it back or nowhere.
TEST(ChunkWalkTermination, BadLengthsAtEveryLevel)
{
    TempDir dir;
    const std::string file =
        Main(Editor(MeshVersion(3) + Object("A", Mesh(VertexList(kTri) + FaceList(kFace, MaterialGroup("m", {0})))) +
                    Object("B", kTriMesh)));
    // Offsets of every chunk header in the file.
    std::vector<size_t> headers;
    for (const std::string& part : {Editor(""), MeshVersion(3), Object("A", ""), Mesh(""), VertexList(kTri),
                                    FaceList(kFace), MaterialGroup("m", {0}), Object("B", "")}) {
        size_t at = file.find(part.substr(0, 2));
        while (at != std::string::npos) {
            headers.push_back(at);
            at = file.find(part.substr(0, 2), at + 1);
        }
    }
    for (size_t at : headers) {
        for (uint32_t length : {0u, 1u, 5u, 6u, 0x7FFFFFFFu, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
            std::string broken = file;
            for (int k = 0; k < 4; k++)
                broken[at + 2 + k] = static_cast<char>(length >> (8 * k));
            testutil::WriteFile(dir / "in.3ds", broken);
            RunResult r = RunProgram({kZelm, dir / "in.3ds", dir / "out.c7e"}, testutil::Timeout(10));
            ASSERT_EQ(r.status, 0) << "header at " << at << " length " << length;
            EXPECT_TRUE(forgec7e::ParseModel(testutil::ReadFile(dir / "out.c7e")).ok);
        }
    }
}

// Every prefix of a small valid file converts to a well-formed model whose
// count is the number of meshes written.
TEST(ChunkWalkTermination, EveryTruncationOfASample)
{
    TempDir dir;
    const std::string file = testutil::ReadFile(SAMPLES_DIR "/scene.3ds");
    ASSERT_GT(file.size(), 100u);
    for (size_t n = 0; n <= file.size(); n++) {
        testutil::WriteFile(dir / "in.3ds", file.substr(0, n));
        RunResult r = RunProgram({kZelm, dir / "in.3ds", dir / "out.c7e"}, testutil::Timeout(10));
        forgec7e::ParsedModel model = forgec7e::ParseModel(testutil::ReadFile(dir / "out.c7e"));
        ASSERT_TRUE(model.ok) << n;
        size_t written = 0;
        for (size_t at = r.out.find("Writing Model"); at != std::string::npos; at = r.out.find("Writing Model", at + 1))
            written++;
        EXPECT_EQ(model.meshCount, written) << n;
        // Under two bytes there is no main chunk id: not a 3DS file. A cut
        // file says so last, and fails when it gave no mesh.
        ASSERT_EQ(r.status, n < 2 ? 3 : n == file.size() || written > 0 ? 0 : 4) << n;
        if (n >= 6 && n < file.size()) {
            std::string warning = SizeWarning(n, file.size());
            ASSERT_EQ(r.out.substr(r.out.size() - std::min(r.out.size(), warning.size())), warning) << n;
        }
    }
}

// A list announced to run past 4 GiB, then a chunk whose 32-bit end points
// back at the list: a walk that kept positions in 32 bits read that list
// forever. The list is read only up to its mesh's end, 4 vertices here, and
// the walk ends. The sparse file costs no disk.
TEST(ChunkWalkTermination, PositionBeyond4GiBEndsTheWalk)
{
    TempDir dir;
    const uint64_t list = (uint64_t{1} << 32) - 100;
    const uint64_t after = list + 8 + 65535 * 12;  // past the 4 GiB mark
    const uint32_t back = static_cast<uint32_t>(list - (after - (uint64_t{1} << 32)));
    std::string head = Header(kMainChunk, 0xFFFFFFF0) + Header(kEditorChunk, 0xFFFFFFE0) +
                       Header(kObjectChunk, 0xFFFFFFD0) + std::string("S", 2) + Header(kMeshChunk, 0xFFFFFFC0);
    head += Header(0x1234, static_cast<uint32_t>(list - head.size() - 0));
    std::string listHead = Header(kVerticesChunk, 6) + std::string("\xFF\xFF", 2);
    std::string tail = Header(0x1235, back);
    FILE* f = fopen((dir / "in.3ds").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(head.data(), 1, head.size(), f);
    fseeko(f, static_cast<off_t>(list), SEEK_SET);
    fwrite(listHead.data(), 1, listHead.size(), f);
    fseeko(f, static_cast<off_t>(after), SEEK_SET);
    fwrite(tail.data(), 1, tail.size(), f);
    ASSERT_EQ(fclose(f), 0);
    RunResult r = RunProgram({kZelm, dir / "in.3ds", dir / "out.c7e"}, testutil::Timeout(20));
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, ReadingMesh("S") + Vertices(4) + ListCut(4, 65535, "Vertices") +
                         LevelCut("0000", 4294967260u, false) + SizeWarning(after + tail.size(), 0xFFFFFFF0));
    EXPECT_EQ(testutil::ReadFile(dir / "out.c7e"), std::string("\xE0\xC7\0\0\0\0", 6));
}

// A pipe read through the seekable stream reads at most its limit: reads
// beyond it give the end of the file, and the end of a longer pipe cannot be
// told, so that an endless pipe costs bounded time; what lies beyond the
// memory part comes back from the temporary file alike.
TEST(SeekableStream, KeepsAtMostItsLimit)
{
    for (size_t length : {80u, 1000u})
        for (size_t memory : {100u, 30u}) {
            SCOPED_TRACE(std::to_string(length) + " bytes, " + std::to_string(memory) + " in memory");
            int fds[2];
            ASSERT_EQ(pipe(fds), 0);
            std::string bytes;
            for (size_t i = 0; i < length; i++)
                bytes += static_cast<char>('a' + i % 26);
            ASSERT_EQ(write(fds[1], bytes.data(), length), static_cast<ssize_t>(length));
            close(fds[1]);
            FILE* stream = SeekableStream(fdopen(fds[0], "rb"), 100, memory);
            ASSERT_NE(stream, nullptr);
            char buffer[200];
            ASSERT_EQ(fseeko(stream, 50, SEEK_SET), 0);
            size_t got = fread(buffer, 1, sizeof buffer, stream);
            ASSERT_EQ(got, std::min<size_t>(length, 100) - 50);
            EXPECT_EQ(std::string(buffer, got), bytes.substr(50, got));
            ASSERT_EQ(fseeko(stream, 10, SEEK_SET), 0);
            EXPECT_EQ(fread(buffer, 1, 40, stream), 40u);
            EXPECT_EQ(std::string(buffer, 40), bytes.substr(10, 40));
            errno = 0;
            if (length <= 100) {
                EXPECT_EQ(fseeko(stream, 0, SEEK_END), 0);
                EXPECT_EQ(ftello(stream), static_cast<off_t>(length));
            } else {
                EXPECT_NE(fseeko(stream, 0, SEEK_END), 0);
                EXPECT_EQ(errno, EFBIG);
            }
            fclose(stream);
        }
}

}  // namespace
