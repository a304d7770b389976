// Reads a C7E0 model file (layout in model_format.h) one record at a time:
// nothing is held beyond one record, so any counts dump without allocating.
#include "dump.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "get_le.h"
#include "model_format.h"
#include "terminal_text.h"

enum : size_t { kNameBufferSize = kMaxNameLength + 1 };

static bool ReadExactly(FILE* input, unsigned char* buffer, size_t size)
{
    return fread(buffer, 1, size, input) == size;
}

// Reads the name up to and including its zero byte, or 256 bytes, whichever
// comes first; shows at most 255 characters. False at the end of the file.
static bool ReadName(FILE* input, char* name)
{
    for (size_t i = 0; i < kNameBufferSize; i++) {
        int c = getc(input);
        if (c == EOF)
            return false;
        name[i] = static_cast<char>(c);
        if (c == '\0')
            break;
    }
    name[kNameBufferSize - 1] = '\0';
    return true;
}

// Reports "\n Error : NAME WHAT!\n" and gives the status for it.
static int Failed(const char* what, const char* name, FILE* output, FILE* errors)
{
    fflush(output);
    fprintf(errors, "\n Error : %s %s!\n", name, what);
    return 2;
}

// A record that ends early: the file is cut short, or a read failed (an
// error, not the end of the file: "could not be read: REASON").
static int Truncated(const char* name, FILE* input, FILE* output, FILE* errors)
{
    if (!ferror(input))
        return Failed("is truncated", name, output, errors);
    char what[128];
    snprintf(what, sizeof what, "could not be read: %s", strerror(errno != 0 ? errno : EIO));
    return Failed(what, name, output, errors);
}

int DumpModel(FILE* input, const char* name, FILE* output, FILE* errors)
{
    const bool escape = isatty(fileno(output));
    unsigned char bytes[kVertexRecordSize] = {};
    // Too short for a magic counts as not a model file.
    size_t got = fread(bytes, 1, 2, input);
    if (got < 2 && ferror(input))
        return Truncated(name, input, output, errors);
    uint16_t magic = got == 2 ? static_cast<uint16_t>(bytes[0] | bytes[1] << 8) : 0;
    if (magic != kModelMagic)
        return Failed("is not a C7E0 format file", name, output, errors);
    fprintf(output, "C7E Format : %x\n", kModelMagic);
    if (!ReadExactly(input, bytes, 4))
        return Truncated(name, input, output, errors);
    uint32_t meshCount = GetLE32(bytes);
    fprintf(output, "Number Of Meshes : %u\n", meshCount);
    char meshName[kNameBufferSize];
    for (uint32_t mesh = 0; mesh < meshCount; mesh++) {
        if (!ReadName(input, meshName))
            return Truncated(name, input, output, errors);
        fprintf(output, "Mesh Name : ");
        PutName(output, meshName, escape);
        fprintf(output, "\n");
        if (!ReadExactly(input, bytes, 8))
            return Truncated(name, input, output, errors);
        uint32_t numVertices = GetLE32(bytes), numFaces = GetLE32(bytes + 4);
        fprintf(output, "%u Vertices, %u Faces\n", numVertices, numFaces);
        for (uint32_t i = 0; i < numVertices; i++) {
            if (!ReadExactly(input, bytes, kVertexRecordSize))
                return Truncated(name, input, output, errors);
            const unsigned char* p = bytes;
            fprintf(output, "Vertex : %.6f %.6f %.6f %.6f %.6f %.6f %.6f %.6f\n", GetLEFloat(p), GetLEFloat(p + 4),
                    GetLEFloat(p + 8), GetLEFloat(p + 12), GetLEFloat(p + 16), GetLEFloat(p + 20), GetLEFloat(p + 24),
                    GetLEFloat(p + 28));
        }
        for (uint32_t i = 0; i < numFaces; i++) {
            if (!ReadExactly(input, bytes, kFaceRecordSize))
                return Truncated(name, input, output, errors);
            const unsigned char* p = bytes;
            fprintf(output, "Face %u %u %u %.6f %.6f %.6f\n", GetLE32(p), GetLE32(p + 4), GetLE32(p + 8),
                    GetLEFloat(p + 12), GetLEFloat(p + 16), GetLEFloat(p + 20));
        }
    }
    return 0;
}
