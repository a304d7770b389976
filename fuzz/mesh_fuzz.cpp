// The mesh converter's whole reading and mesh completion (chunk walk, list
// readers, cleaning, normals, writer) on an in-memory 3DS file. Beyond
// crashes it checks what the output must be: a model file that the dump
// tool reads whole, whose count is the meshes written, whose face indices
// lie below their vertex counts, and with no NaN normal at a finite position.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "chunk.h"
#include "dump.h"
#include "model.h"
#include "writer.h"

static FILE* output;
static FILE* devNull;

static uint32_t Get32(const std::vector<unsigned char>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

static float GetFloat(const std::vector<unsigned char>& b, size_t at)
{
    uint32_t bits = Get32(b, at);
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

static void Require(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "mesh_fuzz: %s\n", what);
        abort();
    }
}

// Walks the model file's records and checks each one.
static void CheckModel(const std::vector<unsigned char>& b, uint32_t meshes)
{
    Require(b.size() >= 6 && b[0] == 0xE0 && b[1] == 0xC7, "bad header");
    Require(Get32(b, 2) == meshes, "mesh count differs from the meshes written");
    size_t at = 6;
    for (uint32_t m = 0; m < meshes; m++) {
        const unsigned char* zero = static_cast<const unsigned char*>(memchr(b.data() + at, 0, b.size() - at));
        Require(zero != nullptr && zero - (b.data() + at) <= 255, "name not terminated within 256 bytes");
        at = static_cast<size_t>(zero - b.data()) + 1;
        Require(b.size() - at >= 8, "counts missing");
        uint64_t v = Get32(b, at), f = Get32(b, at + 4);
        at += 8;
        Require(v <= 65535 && f <= 65535, "count above 65535");
        Require(b.size() - at >= v * 32 + f * 24, "records missing");
        for (uint64_t i = 0; i < v; i++, at += 32) {
            bool finite = std::isfinite(GetFloat(b, at)) && std::isfinite(GetFloat(b, at + 4)) &&
                          std::isfinite(GetFloat(b, at + 8));
            bool nanNormal = std::isnan(GetFloat(b, at + 20)) || std::isnan(GetFloat(b, at + 24)) ||
                             std::isnan(GetFloat(b, at + 28));
            Require(!(finite && nanNormal), "NaN vertex normal at a finite position");
        }
        for (uint64_t i = 0; i < f; i++, at += 24) {
            Require(Get32(b, at) < v && Get32(b, at + 4) < v && Get32(b, at + 8) < v,
                    "face index at or beyond the vertex count");
            Require(!std::isnan(GetFloat(b, at + 12)) && !std::isnan(GetFloat(b, at + 16)) &&
                        !std::isnan(GetFloat(b, at + 20)),
                    "NaN face normal");
        }
    }
    Require(at == b.size(), "bytes after the last record");
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
    std::vector<unsigned char> input(data, data + size);
    FILE* in = fmemopen(input.empty() ? nullptr : input.data(), input.size(), "rb");
    if (in == nullptr)
        return 0;
    if (ftruncate(fileno(output), 0) != 0)
        abort();
    rewind(output);
    numMeshes = 0;
    WriteFileHeader(output, numMeshes);
    ReadMainChunk(in, output);
    PatchMeshCount(output, numMeshes);
    fflush(output);
    fclose(in);

    // The count patch left the position at byte 6.
    fseeko(output, 0, SEEK_END);
    std::vector<unsigned char> model(static_cast<size_t>(ftello(output)));
    rewind(output);
    Require(fread(model.data(), 1, model.size(), output) == model.size(), "cannot read the output back");
    CheckModel(model, numMeshes);
    rewind(output);
    Require(DumpModel(output, "fuzz", devNull, devNull) == 0, "the dump tool does not read the output whole");
    return 0;
}
