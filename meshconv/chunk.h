// The 3DS chunk reader: walks a 3DS file and loads each named object's
// triangle mesh into currentModel, completing every mesh as its chunk ends
// (cleaned, given normals and written).
#pragma once

#include <cstdint>
#include <cstdio>

struct _Chunk {
    uint16_t id;
    uint64_t start;  // stream position of the header's first byte
    uint32_t length;  // as read, header included
    uint32_t end;  // start + length in 32 bits
};

// Chunk ends are 32-bit numbers, so no walk reads a header at or beyond
// this position: the walk of that level ends there.
enum : uint64_t { kPositionLimit = uint64_t{1} << 32 };

// Reads a 6-byte header at the current position. Returns -1 (leaving chunk
// as it was) when the end-of-file or error indicator is already set, else
// 0; bytes past the end of the file read as 0.
int ReadChunk(FILE* input, _Chunk* chunk);

// Reads the whole file, its main chunk's length (as read) into *mainLength.
// Returns 0; -1 when it does not begin with a main chunk; kWriteFailed when
// a mesh could not be written, which stops every walk at once.
enum { kWriteFailed = -2 };
int ReadMainChunk(FILE* input, FILE* output, uint32_t* mainLength);
// The errno of the first read of the input that failed (which ended every
// walk), or 0 when none did.
int InputReadError();
// The walks inside the file: 0, or kWriteFailed passed up from a mesh.
int Read3DChunk(FILE* input, uint32_t limit, FILE* output);
int ReadObjectChunk(FILE* input, uint32_t limit, FILE* output);
int ReadMeshChunk(FILE* input, uint32_t limit, const char* name, FILE* output);

// List readers: each consumes the list its count announces, as far as it
// lies before limit (the end of its mesh), and writes into currentModel.
int ReadVerticesChunk(FILE* input, uint32_t limit);
int ReadFacesChunk(FILE* input, uint32_t limit);
int ReadMappingChunk(FILE* input, uint32_t limit);

// Reads a zero-terminated name into a 256-byte buffer, keeping at most 255
// characters; the rest of a longer name is read and discarded.
void ReadASCIIZ(FILE* input, char* buffer);
