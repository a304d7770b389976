// Hostile 3DS inputs of about 1 MB for the mesh converter's benchmarks,
// each beside a random mesh of its size:
//   Colliding: 65535 distinct positions that all share one value of the
//              FNV-1a hash of their three coordinates' bits (the key of a
//              duplicate pass built on a hash table), and 21845 faces.
//   Nested:    thousands of small objects, each holding a mesh chunk whose
//              length runs to the end of the file, over one shared pair of
//              lists there: a walk that lets a child end past its parent
//              loads and cleans the shared mesh once per object.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "forge3ds.h"

namespace crafted {

using namespace forge3ds;

inline std::vector<Corners> Strip(int faces, int vertices)
{
    std::vector<Corners> list;
    for (int i = 0; i < faces; i++) {
        int a = (3 * i) % (vertices - 2);
        list.push_back({static_cast<uint16_t>(a), static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + 2)});
    }
    return list;
}

inline uint32_t Bits(float f)
{
    uint32_t b;
    memcpy(&b, &f, sizeof b);
    return b;
}

// Positions whose FNV-1a hash (offset basis 2166136261, prime 16777619, one
// 32-bit word per coordinate) is the same: x and y are chosen, z is solved
// for, since multiplying by the odd prime can be undone.
inline std::vector<Position> CollidingPositions(int count)
{
    const uint32_t prime = 16777619u, target = 0x2468ACE1u;
    uint32_t inverse = prime;
    for (int i = 0; i < 5; i++)
        inverse *= 2u - prime * inverse;
    std::vector<Position> positions;
    for (uint32_t i = 1; static_cast<int>(positions.size()) < count; i++) {
        float x = static_cast<float>(i), y = 0.25f;
        uint32_t h = (((2166136261u ^ Bits(x)) * prime) ^ Bits(y)) * prime;
        uint32_t zBits = (target * inverse) ^ h;
        float z;
        memcpy(&z, &zBits, sizeof z);
        if (std::isfinite(z))
            positions.push_back({x, y, z});
    }
    return positions;
}

inline std::vector<Position> RandomPositions(int count)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> unit(0.0f, 256.0f);
    std::vector<Position> positions;
    for (int i = 0; i < count; i++)
        positions.push_back({unit(rng), unit(rng), unit(rng)});
    return positions;
}

inline std::string OneMesh(const std::string& name, const std::vector<Position>& positions, int faces)
{
    int n = static_cast<int>(positions.size());
    return Main(Editor(Object(name, Mesh(VertexList(positions) + FaceList(Strip(faces, n))))));
}

// About bytes long: objects of 14 bytes (header, a one-letter name, a mesh
// header) before lists of 30000 vertices and faces.
inline std::string Nested(size_t bytes)
{
    const std::string lists = VertexList(RandomPositions(30000)) + FaceList(Strip(30000, 30000));
    const size_t objectSize = 6 + 2 + 6, objects = (bytes - lists.size()) / objectSize;
    std::string body;
    for (size_t i = 0; i < objects; i++) {
        size_t meshStart = body.size() + 8;
        size_t end = objects * objectSize + lists.size();
        body += Header(kObjectChunk, static_cast<uint32_t>(objectSize)) + std::string("o", 2) +
                Header(kMeshChunk, static_cast<uint32_t>(end - meshStart));
    }
    return Main(Editor(body + lists));
}

}  // namespace crafted
