// Writes the C7E0 model file whose layout model_format.h gives: the header,
// then one record per mesh, floats with their exact bits.
#include "writer.h"

#include <bit>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "terminal_text.h"

namespace {

// Collects little-endian bytes and hands them to the stream in large
// blocks, remembering whether every block was taken.
class _RecordBuffer {
public:
    explicit _RecordBuffer(FILE* output) : fOutput(output) { }

    void PutBytes(const void* data, size_t size)
    {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        while (size > 0) {
            if (fUsed == sizeof fBuffer)
                Flush();
            size_t n = size < sizeof fBuffer - fUsed ? size : sizeof fBuffer - fUsed;
            memcpy(fBuffer + fUsed, p, n);
            fUsed += n;
            p += n;
            size -= n;
        }
    }

    void PutU32(uint32_t v)
    {
        if (sizeof fBuffer - fUsed < 4)
            Flush();
        unsigned char* p = fBuffer + fUsed;
        p[0] = static_cast<unsigned char>(v);
        p[1] = static_cast<unsigned char>(v >> 8);
        p[2] = static_cast<unsigned char>(v >> 16);
        p[3] = static_cast<unsigned char>(v >> 24);
        fUsed += 4;
    }

    void PutFloat(float f)
    {
        uint32_t bits;
        memcpy(&bits, &f, sizeof bits);
        PutU32(bits);
    }

    // Hands what is collected to the stream; returns false if any block so
    // far was not taken whole.
    bool Flush()
    {
        if (fUsed > 0 && fwrite(fBuffer, 1, fUsed, fOutput) != fUsed)
            fOk = false;
        fUsed = 0;
        return fOk;
    }

private:
    FILE* fOutput;
    unsigned char fBuffer[32 * 1024];
    size_t fUsed = 0;
    bool fOk = true;
};

}  // namespace

int WriteFileHeader(FILE* output, uint32_t meshCount)
{
    _RecordBuffer out(output);
    unsigned char magic[2] = {kModelMagic & 0xFF, kModelMagic >> 8};
    out.PutBytes(magic, sizeof magic);
    out.PutU32(meshCount);
    return out.Flush() ? 0 : -1;
}

int PatchMeshCount(FILE* output, uint32_t meshCount)
{
    if (fseeko(output, kMeshCountOffset, SEEK_SET) != 0)
        return -1;
    _RecordBuffer out(output);
    out.PutU32(meshCount);
    return out.Flush() ? 0 : -1;
}

int WriteModelB(_Model* model, FILE* output)
{
    if (model == nullptr)
        return -1;
    printf("Writing Model [");
    PutName(stdout, model->name, escapeNames);
    printf("], %u vertices, %u faces...", model->numVertices, model->numFaces);
    _RecordBuffer out(output);
    // The reader always terminates the name inside its buffer; the bound
    // keeps the write inside it regardless.
    out.PutBytes(model->name, strnlen(model->name, kMaxNameLength) + 1);
    out.PutU32(model->numVertices);
    out.PutU32(model->numFaces);
    // On a little-endian host the records' fields lie in memory as the
    // file stores them: each record is copied whole.
    constexpr bool kLittle = std::endian::native == std::endian::little;
    static_assert(offsetof(_Vertex, nz) + sizeof(float) == kVertexRecordSize);
    static_assert(sizeof(_Face) == kFaceRecordSize && offsetof(_Face, nz) + sizeof(float) == kFaceRecordSize);
    for (uint32_t i = 0; i < model->numVertices; i++) {
        const _Vertex& v = model->vertices[i];
        if constexpr (kLittle) {
            out.PutBytes(&v, kVertexRecordSize);
        } else {
            for (float f : {v.x, v.y, v.z, v.u, v.v, v.nx, v.ny, v.nz})
                out.PutFloat(f);
        }
    }
    for (uint32_t i = 0; i < model->numFaces; i++) {
        const _Face& f = model->faces[i];
        if constexpr (kLittle) {
            out.PutBytes(&f, kFaceRecordSize);
        } else {
            out.PutU32(f.a);
            out.PutU32(f.b);
            out.PutU32(f.c);
            out.PutFloat(f.nx);
            out.PutFloat(f.ny);
            out.PutFloat(f.nz);
        }
    }
    // The whole record reaches the file before the next mesh is read.
    if (!out.Flush() || fflush(output) != 0)
        return -1;
    printf("Done!\n\n");
    return 0;
}
