// Allocation failures inside the converter, provoked through its allocation
// seam: each is reported, its list is still consumed, and the mesh dropped.
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
    ReadMainChunk(in, out);
    fflush(stdout);
    Result r{testing::internal::GetCapturedStdout(), numMeshes};
    AllocateArray = [](size_t count, size_t size) { return calloc(count == 0 ? 1 : count, size); };
    fclose(in);
    fclose(out);
    return r;
}

const std::vector<Position> kTri = {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}};
const std::string kFile =
    Main(Editor(Object("A", Mesh(VertexList(kTri) + FaceList({{0, 1, 2}}))) +
                Object("B", Mesh(VertexList(kTri) + FaceList({{0, 1, 2}})))));

const std::string kWrittenB =
    "Reading Mesh : B\nReading 3 Vertices...Done!\nReading 1 Faces...Done!\n"
    "Optimizing Data... \bDone!\nRemoving 0 Unused Vertices, 0 Duplicate Vertices, 0 Null Faces\n"
    "Calculating Normals...Done!\nWriting Model [B], 3 vertices, 1 faces...Done!\n\n";

// Mesh A's allocations, in order: vertices, faces, the unused-vertex pass,
// the duplicate pass's table and index, the normal sums.
TEST(AllocationFailure, EachAllocationDropsOnlyItsMesh)
{
    const std::string read = "Reading Mesh : A\nReading 3 Vertices...Done!\nReading 1 Faces...Done!\n";
    struct Case {
        const char* name;
        int failing;
        std::string meshA;
    } cases[] = {
        {"vertex array", 0,
         "Reading Mesh : A\nReading 3 Vertices...\nWarning : Insufficient Memory to Load Vertices!\n"
         "Reading 1 Faces...Done!\n"},
        {"face array", 1,
         "Reading Mesh : A\nReading 3 Vertices...Done!\nReading 1 Faces...\n"
         "Warning : Insufficient Memory to Load Faces!\n"},
        {"unused-vertex pass", 2,
         read + "Optimizing Data... \nWarning : Insufficient Memory to Process Mesh!\n"},
        {"duplicate pass", 3,
         read + "Optimizing Data... \nWarning : Insufficient Memory to Process Mesh!\n"},
        {"normal sums", 5,
         read + "Optimizing Data... \bDone!\nRemoving 0 Unused Vertices, 0 Duplicate Vertices, 0 Null Faces\n"
                "Calculating Normals...\nWarning : Insufficient Memory to Process Mesh!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Result r = ConvertWith(kFile, c.failing);
        EXPECT_EQ(r.printed, c.meshA + kWrittenB);
        EXPECT_EQ(r.meshes, 1u);
    }
}

}  // namespace
