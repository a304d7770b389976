// Builds 3DS chunks from values, for the sample generator, the benchmarks
// and the tests. Every builder returns the chunk's bytes with its header's
// length filled in from the body.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "chunk_ids.h"
#include "put_le.h"

namespace forge3ds {

using put_le::Float;
using put_le::U16;
using put_le::U32;

// A chunk with the given id and body; the length covers header and body.
inline std::string Chunk(uint16_t id, const std::string& body)
{
    std::string s;
    U16(s, id);
    U32(s, static_cast<uint32_t>(body.size() + 6));
    return s + body;
}

// A chunk header with a length of one's choosing, for broken files.
inline std::string Header(uint16_t id, uint32_t length)
{
    std::string s;
    U16(s, id);
    U32(s, length);
    return s;
}

using Position = std::array<float, 3>;
using Corners = std::array<uint16_t, 3>;
using TexCoord = std::array<float, 2>;

inline std::string VertexList(const std::vector<Position>& positions)
{
    std::string body;
    U16(body, static_cast<uint32_t>(positions.size()));
    for (const Position& p : positions)
        for (float f : p)
            Float(body, f);
    return Chunk(kVerticesChunk, body);
}

// A face list; children (such as material groups) follow the face data
// inside the chunk.
inline std::string FaceList(const std::vector<Corners>& faces, const std::string& children = "")
{
    std::string body;
    U16(body, static_cast<uint32_t>(faces.size()));
    for (const Corners& f : faces) {
        for (uint16_t i : f)
            U16(body, i);
        U16(body, 7);  // edge flags
    }
    return Chunk(kFacesChunk, body + children);
}

inline std::string MappingList(const std::vector<TexCoord>& coords)
{
    std::string body;
    U16(body, static_cast<uint32_t>(coords.size()));
    for (const TexCoord& t : coords)
        for (float f : t)
            Float(body, f);
    return Chunk(kMappingChunk, body);
}

// A material group naming the faces that use a material (kept inside a face list).
inline std::string MaterialGroup(const std::string& material, const std::vector<uint16_t>& faces)
{
    std::string body = material + '\0';
    U16(body, static_cast<uint32_t>(faces.size()));
    for (uint16_t f : faces)
        U16(body, f);
    return Chunk(kMaterialGroupChunk, body);
}

inline std::string Mesh(const std::string& children) { return Chunk(kMeshChunk, children); }

inline std::string Object(const std::string& name, const std::string& children)
{
    return Chunk(kObjectChunk, name + '\0' + children);
}

inline std::string Editor(const std::string& children) { return Chunk(kEditorChunk, children); }
inline std::string Main(const std::string& children) { return Chunk(kMainChunk, children); }

// A light at a position, as a named object holds it.
inline std::string Light(const Position& at)
{
    std::string body;
    for (float f : at)
        Float(body, f);
    return Chunk(kLightChunk, body);
}

// A camera: position, target, bank angle and lens.
inline std::string Camera(const Position& at, const Position& target, float lens)
{
    std::string body;
    for (float f : at)
        Float(body, f);
    for (float f : target)
        Float(body, f);
    Float(body, 0.0f);
    Float(body, lens);
    return Chunk(kCameraChunk, body);
}

// The mesh-version chunk that editors put first in the editor chunk.
inline std::string MeshVersion(uint32_t version)
{
    std::string body;
    U32(body, version);
    return Chunk(kMeshVersionChunk, body);
}

}  // namespace forge3ds
