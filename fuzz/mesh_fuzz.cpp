// The mesh converter's whole reading and mesh completion (chunk walk, list
// readers, cleaning, normals, writer) on an in-memory 3DS file. Beyond
// crashes it checks what the output must be: a model file that the dump
// tool reads whole, whose count is the meshes written, whose face indices
// lie below their vertex counts, and with no NaN normal at a finite position.
// The input's length also picks a run in which memory runs out from some
// allocation on (the cleaning and the normals then work in place), or one
// whose output stream fails; those runs are checked for not crashing only.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "chunk.h"
#include "dump.h"
#include "file_input.h"
#include "forgec7e.h"
#include "model.h"
#include "writer.h"

static FILE* output;
static FILE* devNull;

// Allocations of the run so far, and the first one that fails (0: none).
static unsigned allocations, firstFailing;

static void* FailingFrom(size_t count, size_t size)
{
    if (firstFailing != 0 && ++allocations >= firstFailing)
        return nullptr;
    return calloc(count == 0 ? 1 : count, size);
}

// A stream that takes nothing: every write fails.
static FILE* RefusingStream()
{
    cookie_io_functions_t refuse = {};
    refuse.write = [](void*, const char*, size_t) -> ssize_t { return -1; };
    return fopencookie(nullptr, "w", refuse);
}

static void Require(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "mesh_fuzz: %s\n", what);
        abort();
    }
}

// Reads the model file back and checks each record.
static void CheckModel(const std::string& bytes, uint32_t meshes)
{
    forgec7e::ParsedModel model = forgec7e::ParseModel(bytes);
    Require(model.ok, "not a whole model file (header, names within 256 bytes, records, nothing after)");
    Require(model.meshCount == meshes, "mesh count differs from the meshes written");
    for (const forgec7e::Mesh& m : model.meshes) {
        Require(m.vertices.size() <= 65535 && m.faces.size() <= 65535, "count above 65535");
        for (const forgec7e::Vertex& v : m.vertices) {
            bool finite = std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
            bool nanNormal = std::isnan(v[5]) || std::isnan(v[6]) || std::isnan(v[7]);
            Require(!(finite && nanNormal), "NaN vertex normal at a finite position");
        }
        for (const forgec7e::Face& f : m.faces) {
            Require(f.a < m.vertices.size() && f.b < m.vertices.size() && f.c < m.vertices.size(),
                    "face index at or beyond the vertex count");
            Require(!std::isnan(f.nx) && !std::isnan(f.ny) && !std::isnan(f.nz), "NaN face normal");
        }
    }
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The converter reports on standard output; keep it quiet.
    if (freopen("/dev/null", "w", stdout) == nullptr)
        abort();
    output = tmpfile();
    devNull = fopen("/dev/null", "w");
    return output == nullptr || devNull == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* in = OpenAsFile(data, size);
    if (in == nullptr)
        return 0;
    // One length in eight runs short of memory from its first, second, ...
    // allocation on; one in nine writes into a stream that fails.
    allocations = 0;
    firstFailing = size % 8 == 7 ? static_cast<unsigned>(size / 8 % 6 + 1) : 0;
    AllocateArray = FailingFrom;
    if (size % 9 == 4) {
        FILE* refusing = RefusingStream();
        numMeshes = 0;
        WriteFileHeader(refusing, numMeshes);
        uint32_t mainLength;
        ReadMainChunk(in, refusing, &mainLength);
        fclose(refusing);
        fclose(in);
        return 0;
    }
    if (ftruncate(fileno(output), 0) != 0)
        abort();
    rewind(output);
    numMeshes = 0;
    WriteFileHeader(output, numMeshes);
    uint32_t mainLength;
    ReadMainChunk(in, output, &mainLength);
    PatchMeshCount(output, numMeshes);
    fflush(output);
    fclose(in);
    if (firstFailing != 0)
        return 0;

    // The count patch left the position at byte 6.
    fseeko(output, 0, SEEK_END);
    std::string model(static_cast<size_t>(ftello(output)), '\0');
    rewind(output);
    Require(fread(model.data(), 1, model.size(), output) == model.size(), "cannot read the output back");
    CheckModel(model, numMeshes);
    rewind(output);
    Require(DumpModel(output, "fuzz", devNull, devNull) == 0, "the dump tool does not read the output whole");
    return 0;
}
