// The in-memory mesh shared by the reader, optimizer, normals and writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "model_format.h"

struct _Vertex {
    float x, y, z;  // position, exactly as read
    float u, v;  // texture coordinate; 0 without a matching mapping list
    float nx, ny, nz;  // vertex normal
    uint32_t flag;  // read by nothing and never written; 0 as the reader leaves it
};

struct _Face {
    uint32_t a, b, c;  // corner indices into the same mesh's vertices
    float nx, ny, nz;  // face normal
};

struct _Model {
    char name[kMaxNameLength + 1];  // zero-terminated
    _Vertex* vertices;  // owned; null while the mesh has none
    _Face* faces;  // owned; null while the mesh has none
    uint32_t numVertices;  // valid entries of vertices
    uint32_t numFaces;  // valid entries of faces
};

// The one mesh being read or completed, and the number of meshes written.
extern _Model currentModel;
extern uint32_t numMeshes;

// Whether mesh names are printed with their control bytes escaped: the
// driver sets it when standard output is a terminal.
extern bool escapeNames;

// Allocates count zero-filled elements of size bytes, or returns null. A
// count of 0 still yields a valid (empty) array. Tests replace it to provoke
// allocation failures.
extern void* (*AllocateArray)(size_t count, size_t size);

// Removes, in order, every face that names a vertex at or beyond
// numVertices. Returns the number of faces removed.
uint32_t RemoveFacesOfMissingVertices(_Model* model);
