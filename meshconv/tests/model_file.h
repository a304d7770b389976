// Reads a C7E0 model file back into values, for checking what the
// converter wrote.
#pragma once

#include <string>
#include <vector>

#include "testutil.h"

struct ParsedMesh {
    std::string name;
    std::vector<std::array<float, 8>> vertices;  // x y z u v nx ny nz
    struct Face {
        uint32_t a, b, c;
        float nx, ny, nz;
    };
    std::vector<Face> faces;
};

struct ParsedModel {
    bool ok = false;  // the header is right and the records fill the file exactly
    uint32_t meshCount = 0;
    std::vector<ParsedMesh> meshes;
};

inline ParsedModel ParseModel(const std::string& bytes)
{
    using testutil::GetF32;
    using testutil::GetU32;
    ParsedModel model;
    if (bytes.size() < 6 || testutil::GetU16(bytes, 0) != 0xC7E0)
        return model;
    model.meshCount = GetU32(bytes, 2);
    size_t at = 6;
    for (uint32_t m = 0; m < model.meshCount; m++) {
        size_t zero = bytes.find('\0', at);
        if (zero == std::string::npos || zero - at > 255)
            return model;
        ParsedMesh mesh;
        mesh.name = bytes.substr(at, zero - at);
        at = zero + 1;
        if (bytes.size() - at < 8)
            return model;
        uint64_t v = GetU32(bytes, at), f = GetU32(bytes, at + 4);
        at += 8;
        if (bytes.size() - at < v * 32 + f * 24)
            return model;
        for (uint64_t i = 0; i < v; i++, at += 32) {
            std::array<float, 8> vertex;
            for (int k = 0; k < 8; k++)
                vertex[k] = GetF32(bytes, at + 4 * k);
            mesh.vertices.push_back(vertex);
        }
        for (uint64_t i = 0; i < f; i++, at += 24)
            mesh.faces.push_back({GetU32(bytes, at), GetU32(bytes, at + 4), GetU32(bytes, at + 8),
                                  GetF32(bytes, at + 12), GetF32(bytes, at + 16), GetF32(bytes, at + 20)});
        model.meshes.push_back(mesh);
    }
    model.ok = at == bytes.size();
    return model;
}
