// C7E0 model files for the tests, the seeds and the fuzzing harnesses: one
// builder and one reader of the layout that common/model_format.h names.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "get_le.h"
#include "model_format.h"
#include "put_le.h"

namespace forgec7e {

using Vertex = std::array<float, 8>;  // x y z u v nx ny nz

struct Face {
    uint32_t a, b, c;
    float nx, ny, nz;
};

struct Mesh {
    std::string name;
    std::vector<Vertex> vertices;
    std::vector<Face> faces;
};

// One mesh record: the name and its zero, the counts, the records.
inline std::string Record(const Mesh& mesh)
{
    std::string b = mesh.name + '\0';
    put_le::U32(b, static_cast<uint32_t>(mesh.vertices.size()));
    put_le::U32(b, static_cast<uint32_t>(mesh.faces.size()));
    for (const Vertex& v : mesh.vertices)
        for (float f : v)
            put_le::Float(b, f);
    for (const Face& f : mesh.faces) {
        for (uint32_t i : {f.a, f.b, f.c})
            put_le::U32(b, i);
        for (float n : {f.nx, f.ny, f.nz})
            put_le::Float(b, n);
    }
    return b;
}

// The header with the count given, then the records as they are (which
// need not match it).
inline std::string ModelFile(uint32_t count, const std::string& records)
{
    std::string b;
    put_le::U16(b, kModelMagic);
    put_le::U32(b, count);
    return b + records;
}

inline std::string ModelFile(const std::vector<Mesh>& meshes)
{
    std::string records;
    for (const Mesh& m : meshes)
        records += Record(m);
    return ModelFile(static_cast<uint32_t>(meshes.size()), records);
}

struct ParsedModel {
    bool ok = false;  // the header is right and the records fill the file exactly
    uint32_t meshCount = 0;
    std::vector<Mesh> meshes;  // the records read, as far as they are whole
};

// Reads a model file back into values; names longer than 255 bytes, counts
// that the bytes do not hold, or bytes after the last record leave ok false.
inline ParsedModel ParseModel(const std::string& file)
{
    ParsedModel model;
    const auto* bytes = reinterpret_cast<const unsigned char*>(file.data());
    if (file.size() < 6 || GetLE16(bytes) != kModelMagic)
        return model;
    model.meshCount = GetLE32(bytes + kMeshCountOffset);
    size_t at = 6;
    for (uint32_t m = 0; m < model.meshCount; m++) {
        size_t zero = file.find('\0', at);
        if (zero == std::string::npos || zero - at > kMaxNameLength)
            return model;
        Mesh mesh;
        mesh.name = file.substr(at, zero - at);
        at = zero + 1;
        if (file.size() - at < 8)
            return model;
        uint64_t v = GetLE32(bytes + at), f = GetLE32(bytes + at + 4);
        at += 8;
        if (file.size() - at < v * kVertexRecordSize + f * kFaceRecordSize)
            return model;
        for (uint64_t i = 0; i < v; i++, at += kVertexRecordSize) {
            Vertex vertex;
            for (size_t k = 0; k < vertex.size(); k++)
                vertex[k] = GetLEFloat(bytes + at + 4 * k);
            mesh.vertices.push_back(vertex);
        }
        for (uint64_t i = 0; i < f; i++, at += kFaceRecordSize)
            mesh.faces.push_back({GetLE32(bytes + at), GetLE32(bytes + at + 4), GetLE32(bytes + at + 8),
                                  GetLEFloat(bytes + at + 12), GetLEFloat(bytes + at + 16),
                                  GetLEFloat(bytes + at + 20)});
        model.meshes.push_back(mesh);
    }
    model.ok = at == file.size();
    return model;
}

}  // namespace forgec7e
