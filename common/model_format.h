// The C7E0 model file's numbers, for the converter that writes it and the
// dump tool that reads it. Layout (little-endian, packed): u16 magic, u32
// mesh count, then per mesh a zero-terminated name, u32 vertex count, u32
// face count, the vertex records and the face records.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint16_t { kModelMagic = 0xC7E0 };
enum : long { kMeshCountOffset = 2 };
enum : size_t {
    kVertexRecordSize = 32,  // f32 x, y, z, u, v, nx, ny, nz
    kFaceRecordSize = 24,  // u32 a, b, c, f32 nx, ny, nz
};
