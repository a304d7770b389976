// Allocation failures inside the converter, provoked through its allocation
// seam: a list that cannot be held is reported, consumed and its mesh
// dropped; the cleaning and the normals work in place instead, with the
// same bytes written.
#include <gtest/gtest.h>

#include "chunk.h"
#include "forge3ds.h"
#include "model.h"
#include "testutil.h"

using namespace forge3ds;

namespace {

int allocationsMade, failingAllocation;

// Fails only the allocation numbered failingAllocation, counting from 0.
void* FailOne(size_t count, size_t size)
{
    if (allocationsMade++ == failingAllocation)
        return nullptr;
    return calloc(count == 0 ? 1 : count, size);
}

struct Result {
    std::string printed;
    uint32_t meshes;
    std::string model;  // the bytes written
};

// Converts the file in process with one allocation failing.
Result ConvertWith(const std::string& file, int failing)
{
    FILE* in = fmemopen(const_cast<char*>(file.data()), file.size(), "rb");
    FILE* out = tmpfile();
    numMeshes = 0;
    allocationsMade = 0;
    failingAllocation = failing;
    AllocateArray = FailOne;
    testing::internal::CaptureStdout();
    uint32_t mainLength;
    ReadMainChunk(in, out, &mainLength);
    fflush(stdout);
    Result r{testing::internal::GetCapturedStdout(), numMeshes, ""};
    AllocateArray = [](size_t count, size_t size) { return calloc(count == 0 ? 1 : count, size); };
    fclose(in);
    rewind(out);
    for (int c; (c = getc(out)) != EOF;)
        r.model.push_back(static_cast<char>(c));
    fclose(out);
    return r;
}

const std::vector<Position> kTri = {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}};
// Mesh A gives every pass work: vertex 2 is unused, 4 to 6 repeat 0, 1 and
// 3, and the third face turns null after merging.
const std::string kFile = Main(Editor(
    Object("A",
           Mesh(VertexList({{1, 0, 0}, {0, 0, 0}, {5, 5, 5}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}, {0, 1, 0}, {2, 2, 2}}) +
                FaceList({{0, 1, 3}, {4, 5, 6}, {0, 4, 1}, {7, 1, 3}}))) +
    Object("B", Mesh(VertexList(kTri) + FaceList({{0, 1, 2}})))));

const std::string kReadA = "Reading Mesh : A\nReading 8 Vertices...Done!\nReading 4 Faces...Done!\n";
const std::string kWrittenA =
    kReadA + "Optimizing Data... \bDone!\nRemoving 1 Unused Vertices, 3 Duplicate Vertices, 1 Null Faces\n"
             "Calculating Normals...Done!\nWriting Model [A], 4 vertices, 3 faces...Done!\n\n";
const std::string kWrittenB =
    "Reading Mesh : B\nReading 3 Vertices...Done!\nReading 1 Faces...Done!\n"
    "Optimizing Data... \bDone!\nRemoving 0 Unused Vertices, 0 Duplicate Vertices, 0 Null Faces\n"
    "Calculating Normals...Done!\nWriting Model [B], 3 vertices, 1 faces...Done!\n\n";

// Mesh A's allocations, in order: vertices, faces, the unused-vertex pass,
// the duplicate pass's table and index, the normal sums.
TEST(AllocationFailure, ListsDropTheirMeshPassesWorkInPlace)
{
    const Result whole = ConvertWith(kFile, -1);
    ASSERT_EQ(whole.printed, kWrittenA + kWrittenB);
    struct Case {
        const char* name;
        int failing;
        std::string meshA;  // empty: written as without the failure
    } cases[] = {
        {"vertex array", 0,
         "Reading Mesh : A\nReading 8 Vertices...\nWarning : Insufficient Memory to Load Vertices!\n"
         "Reading 4 Faces...Done!\n"},
        {"face array", 1,
         "Reading Mesh : A\nReading 8 Vertices...Done!\nReading 4 Faces...\n"
         "Warning : Insufficient Memory to Load Faces!\n"},
        {"unused-vertex pass", 2, ""},
        {"duplicate pass's table", 3, ""},
        {"duplicate pass's index", 4, ""},
        {"normal sums", 5, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Result r = ConvertWith(kFile, c.failing);
        if (c.meshA.empty()) {
            EXPECT_EQ(r.printed, whole.printed);
            EXPECT_EQ(r.meshes, 2u);
            EXPECT_EQ(r.model, whole.model);
        } else {
            EXPECT_EQ(r.printed, c.meshA + kWrittenB);
            EXPECT_EQ(r.meshes, 1u);
        }
    }
}

}  // namespace
