// 3DS chunk walk.
//
// Every chunk starts with a 6-byte header, little-endian:
//   0  u16  id
//   2  u32  length of the whole chunk, header included
// The walk of each level reads headers one after another: a chunk it acts on
// is read in place (no seek afterwards, except that a named object is always
// left at its end); any other chunk stops the walk when it reaches the
// level's limit, and is otherwise skipped by seeking to its end. A chunk
// whose length is below 6 or whose end overflows 32 bits would send the walk
// back; where the walk would seek to such an end, that level ends instead.
// Positions are kept in 64 bits; a header at or beyond 4 GiB, where a 32-bit
// end would wrap, ends the walk of its level.
//
// List chunks, read from just past their header:
//   vertices  u16 n, then n x (f32 x, f32 y, f32 z)            2 + 12n bytes
//   faces     u16 n, then n x (u16 a, u16 b, u16 c, u16 flags)  2 + 8n bytes
//   mapping   u16 n, then n x (f32 u, f32 v)                   2 + 8n bytes
// Bytes past the end of the file read as 0, whole fields or parts of them.
#include "chunk.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "chunk_ids.h"
#include "get_le.h"
#include "model.h"
#include "terminal_text.h"
#include "normals.h"
#include "optimize.h"
#include "writer.h"

enum : size_t {
    kChunkHeaderSize = 6,
    kVertexEntrySize = 12,
    kFaceEntrySize = 8,
    kMappingEntrySize = 8,
};

// The errno of the first read of the input that failed, or 0.
static int readError;

int InputReadError() { return readError; }

// Notes a failed read: a read that fails is an error, not the end of the
// file, and every walk ends at its next header.
static void NoteReadError(FILE* input)
{
    if (readError == 0 && ferror(input))
        readError = errno != 0 ? errno : EIO;
}

// Reads size bytes; what the file does not hold reads as 0.
static void ReadZeroFilled(FILE* input, unsigned char* buffer, size_t size)
{
    size_t got = fread(buffer, 1, size, input);
    if (got < size)
        NoteReadError(input);
    memset(buffer + got, 0, size - got);
}

// Reads count entries of entrySize bytes in blocks and hands each entry to
// take(index, bytes).
template <typename Take> static void ReadEntries(FILE* input, uint32_t count, size_t entrySize, Take take)
{
    unsigned char block[48 * 1024];
    const uint32_t perBlock = static_cast<uint32_t>(sizeof block / entrySize);
    for (uint32_t done = 0; done < count;) {
        uint32_t n = count - done < perBlock ? count - done : perBlock;
        ReadZeroFilled(input, block, n * entrySize);
        for (uint32_t i = 0; i < n; i++)
            take(done + i, block + i * entrySize);
        done += n;
    }
}

// Whether the last list read lost entries to its mesh's end: nothing of
// the mesh follows it then.
static bool listCut;

// Reads a list's count: the entries it announces (*announced), as many of
// them as lie before limit (the end of the list's mesh).
static uint16_t ReadCount(FILE* input, uint32_t limit, size_t entrySize, uint16_t* announced)
{
    unsigned char bytes[2];
    ReadZeroFilled(input, bytes, sizeof bytes);
    uint16_t count = GetLE16(bytes);
    *announced = count;
    off_t at = ftello(input);
    uint64_t room = at >= 0 && static_cast<uint64_t>(at) < limit ? (limit - static_cast<uint64_t>(at)) / entrySize : 0;
    listCut = count > room;
    return listCut ? static_cast<uint16_t>(room) : count;
}

// Says that a list lost entries to its mesh's end: the file's lengths are
// damaged, and the mesh is written with what lies inside it.
static void WarnListCut(const char* what, uint16_t read, uint16_t announced)
{
    if (read < announced)
        printf("\nWarning : Only %u of %u %s Lie Within the Mesh!\n", read, announced, what);
}

// Says that a level's walk ends before its parent's end, at a chunk that
// runs past that end or whose length is not valid: what follows in the
// parent is not read.
static void WarnLevelCut(const _Chunk& chunk, bool pastEnd)
{
    printf(pastEnd
               ? "\nWarning : Chunk %04X at Offset %llu Runs Past the End of Its Parent!\n"
               : "\nWarning : Chunk %04X at Offset %llu Has an Invalid Length, the Rest of Its Parent Is Skipped!\n",
           chunk.id, static_cast<unsigned long long>(chunk.start));
}

int ReadChunk(FILE* input, _Chunk* chunk)
{
    if (feof(input) || ferror(input))
        return -1;
    chunk->id = 0;
    chunk->length = 0;
    chunk->start = static_cast<uint64_t>(ftello(input));
    unsigned char header[kChunkHeaderSize];
    ReadZeroFilled(input, header, sizeof header);
    chunk->id = GetLE16(header);
    chunk->length = GetLE32(header + 2);
    chunk->end = static_cast<uint32_t>(chunk->length + chunk->start);
    return 0;
}

// Seeks to the chunk's end. Returns false, without moving, for a chunk
// whose end would not lie beyond its header, or when the seek fails.
static bool SeekToEnd(FILE* input, const _Chunk& chunk)
{
    if (chunk.length < kChunkHeaderSize || chunk.end < chunk.start)
        return false;
    return fseeko(input, static_cast<off_t>(chunk.end), SEEK_SET) == 0;
}

enum class _Step { kNotMine, kNext, kStop };

// The walk of one level. act(chunk) reads a chunk that this level acts on
// and says how the walk goes on; kNotMine leaves the chunk to the walk.
template <typename Act> static void WalkChunks(FILE* input, bool hasLimit, uint32_t limit, Act act)
{
    _Chunk chunk = {};
    for (;;) {
        // A header at or beyond 4 GiB (or at a position that cannot be
        // told) ends the level: a 32-bit end would wrap. So does one at or
        // beyond the level's limit: no child is read past its parent's end.
        if (ReadChunk(input, &chunk) != 0 || feof(input) || chunk.start >= kPositionLimit ||
            (hasLimit && chunk.start >= limit))
            return;
        _Step step = act(chunk);
        if (step == _Step::kNext)
            continue;
        if (step == _Step::kStop)
            return;
        bool wraps = chunk.length < kChunkHeaderSize || chunk.end < chunk.start;
        if (hasLimit && !wraps && chunk.end >= limit) {
            if (chunk.end > limit)
                WarnLevelCut(chunk, true);
            return;
        }
        if (!SeekToEnd(input, chunk)) {
            if (hasLimit && ferror(input) == 0)
                WarnLevelCut(chunk, !wraps);
            return;
        }
    }
}

int ReadMainChunk(FILE* input, FILE* output, uint32_t* mainLength)
{
    readError = 0;
    _Chunk main = {};
    ReadChunk(input, &main);
    if (main.id != kMainChunk)
        return -1;
    *mainLength = main.length;
    int result = 0;
    WalkChunks(input, false, 0, [&](const _Chunk& chunk) {
        if (chunk.id != kEditorChunk)
            return _Step::kNotMine;
        result = Read3DChunk(input, chunk.end, output);
        return result == 0 ? _Step::kNext : _Step::kStop;
    });
    return result;
}

int Read3DChunk(FILE* input, uint32_t limit, FILE* output)
{
    int result = 0;
    WalkChunks(input, true, limit, [&](const _Chunk& chunk) {
        if (chunk.id != kObjectChunk)
            return _Step::kNotMine;
        result = ReadObjectChunk(input, chunk.end, output);
        // The walks inside the object may have read past its end (a mesh
        // whose last child is a list reads the next header before it
        // stops); the object is left at its own end all the same.
        return result == 0 && SeekToEnd(input, chunk) ? _Step::kNext : _Step::kStop;
    });
    return result;
}

int ReadObjectChunk(FILE* input, uint32_t limit, FILE* output)
{
    char name[kMaxNameLength + 1] = {};
    ReadASCIIZ(input, name);
    int result = 0;
    WalkChunks(input, true, limit, [&](const _Chunk& chunk) {
        if (chunk.id != kMeshChunk)
            return _Step::kNotMine;
        // A mesh that claims to end past its object ends with it.
        if (chunk.end > limit || chunk.end < chunk.start)
            WarnLevelCut(chunk, true);
        result = ReadMeshChunk(input, chunk.end < limit ? chunk.end : limit, name, output);
        // An object's first mesh is its only one: the mesh's walk stops
        // inside its last child or past its end, where no sibling of the
        // mesh begins, and the object's walk ends with it.
        return _Step::kStop;
    });
    return result;
}

// Runs at the end of every mesh chunk: writes currentModel to output if it
// has vertices and faces (after cleaning it and computing its normals, which
// need no memory beyond the mesh's own), then releases and clears it.
// Returns -1 when the record could not be written.
static int CompleteMesh(FILE* output)
{
    _Model* model = &currentModel;
    int result = 0;
    if (model->numVertices != 0 && model->numFaces != 0 && model->vertices != nullptr && model->faces != nullptr) {
        // Checked once here, so that nothing after this indexes the vertex
        // array with a face index read from the file.
        uint32_t missing = RemoveFacesOfMissingVertices(model);
        if (missing != 0)
            printf("\nWarning : %u Faces Refer to Missing Vertices!\n", missing);
        OptimizeModel(model);
        CalcNormals(model);
        result = WriteModelB(model, output);
        numMeshes++;
    }
    free(model->vertices);
    free(model->faces);
    model->vertices = nullptr;
    model->faces = nullptr;
    model->numVertices = 0;
    model->numFaces = 0;
    memset(model->name, 0, sizeof model->name);
    return result;
}

int ReadMeshChunk(FILE* input, uint32_t limit, const char* name, FILE* output)
{
    // The previous completion released everything.
    currentModel.vertices = nullptr;
    currentModel.faces = nullptr;
    currentModel.numVertices = 0;
    currentModel.numFaces = 0;
    memcpy(currentModel.name, name, sizeof currentModel.name);
    printf("Reading Mesh : ");
    PutName(stdout, currentModel.name, escapeNames);
    printf("\n");
    WalkChunks(input, true, limit, [&](const _Chunk& chunk) {
        switch (chunk.id) {
        case kVerticesChunk:
            ReadVerticesChunk(input, limit);
            break;
        case kFacesChunk:
            ReadFacesChunk(input, limit);
            break;
        case kMappingChunk:
            ReadMappingChunk(input, limit);
            break;
        default:
            return _Step::kNotMine;
        }
        return listCut ? _Step::kStop : _Step::kNext;
    });
    return CompleteMesh(output) == 0 ? 0 : kWriteFailed;
}

// A kind of list that the mesh holds in an array: its name in the log, its
// entries' size in the file, the warning when its array cannot be had, and
// how an entry becomes an element.
template <typename T> struct _ListKind {
    const char* what;
    size_t entrySize;
    const char* noMemory;
    T (*decode)(const unsigned char* entry);
};

const _ListKind<_Vertex> kVertexList = {
    "Vertices", kVertexEntrySize, "\nWarning : Insufficient Memory to Load Vertices!\n", [](const unsigned char* p) {
        return _Vertex{GetLEFloat(p), GetLEFloat(p + 4), GetLEFloat(p + 8), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0};
    }};
// The fourth word of each face entry holds edge flags, which the model
// format does not carry.
const _ListKind<_Face> kFaceList = {
    "Faces", kFaceEntrySize, "\nWarning : Insufficient Memory to Load Faces!\n",
    [](const unsigned char* p) { return _Face{GetLE16(p), GetLE16(p + 2), GetLE16(p + 4), 0.0f, 0.0f, 0.0f}; }};

// Reads a list of entries into a new array, which replaces the previous
// list of its kind in the mesh (array, count entries). When the array
// cannot be allocated the list is consumed all the same and the mesh is
// left without it.
template <typename T>
static int LoadList(FILE* input, uint32_t limit, const _ListKind<T>& kind, T*& array, uint32_t& count)
{
    uint16_t announced;
    uint16_t n = ReadCount(input, limit, kind.entrySize, &announced);
    printf("Reading %i %s...", n, kind.what);
    free(array);
    array = static_cast<T*>(AllocateArray(n, sizeof(T)));
    if (array == nullptr) {
        ReadEntries(input, n, kind.entrySize, [](uint32_t, const unsigned char*) {});
        printf("%s", kind.noMemory);
        return -1;
    }
    T* out = array;
    ReadEntries(input, n, kind.entrySize, [&](uint32_t i, const unsigned char* p) { out[i] = kind.decode(p); });
    count = n;
    printf("Done!\n");
    WarnListCut(kind.what, n, announced);
    return 0;
}

int ReadVerticesChunk(FILE* input, uint32_t limit)
{
    return LoadList(input, limit, kVertexList, currentModel.vertices, currentModel.numVertices);
}

int ReadFacesChunk(FILE* input, uint32_t limit)
{
    return LoadList(input, limit, kFaceList, currentModel.faces, currentModel.numFaces);
}

int ReadMappingChunk(FILE* input, uint32_t limit)
{
    uint16_t announced;
    uint16_t n = ReadCount(input, limit, kMappingEntrySize, &announced);
    printf("Reading %i Texture Coordinates...", n);
    _Vertex* vertices = currentModel.vertices;
    // An empty list matches a mesh without vertices: 0 equals 0.
    if (n != currentModel.numVertices || (vertices == nullptr && n != 0)) {
        ReadEntries(input, n, kMappingEntrySize, [](uint32_t, const unsigned char*) {});
        printf("\nWarning : Number of Vertices and Mapping Data do not match!\n");
        return -1;
    }
    ReadEntries(input, n, kMappingEntrySize, [&](uint32_t i, const unsigned char* p) {
        vertices[i].u = GetLEFloat(p);
        vertices[i].v = GetLEFloat(p + 4);
    });
    printf("Done!\n");
    WarnListCut("Texture Coordinates", n, announced);
    return 0;
}

void ReadASCIIZ(FILE* input, char* buffer)
{
    for (int i = 0;;) {
        int c = getc(input);
        if (c == EOF) {
            NoteReadError(input);
            buffer[i] = '\0';
            return;
        }
        buffer[i++] = static_cast<char>(c);
        if (c == '\0')
            return;
        if (i == kMaxNameLength) {
            buffer[kMaxNameLength] = '\0';
            // Discard the rest of the name, so that the object's chunks are
            // read from where they really begin.
            while ((c = getc(input)) != EOF && c != '\0') { }
            NoteReadError(input);
            return;
        }
    }
}
