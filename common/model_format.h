// The C7E0 model file, for the converter that writes it, the dump tool that
// reads it and the tests' builder and reader. Little-endian, packed:
//   header      u16 magic 0xC7E0, u32 meshCount
//   per mesh    name (bytes up to and including its zero, 1 to 256 bytes),
//               u32 numVertices, u32 numFaces,
//               numVertices x (f32 x, y, z, u, v, nx, ny, nz)     32 bytes
//               numFaces    x (u32 a, b, c, f32 nx, ny, nz)       24 bytes
// Floats are stored with their exact bits.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint16_t { kModelMagic = 0xC7E0 };
// A mesh name's characters at most; with its zero byte, 256 bytes.
enum : size_t { kMaxNameLength = 255 };
enum : long { kMeshCountOffset = 2 };
enum : size_t {
    kVertexRecordSize = 32,  // f32 x, y, z, u, v, nx, ny, nz
    kFaceRecordSize = 24,  // u32 a, b, c, f32 nx, ny, nz
};
