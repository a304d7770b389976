#include "model.h"

#include <cstdlib>
#include <cstring>

#include "normals.h"
#include "optimize.h"
#include "writer.h"

_Model currentModel;
uint32_t numMeshes;

static void* CallocArray(size_t count, size_t size) { return calloc(count == 0 ? 1 : count, size); }

void* (*AllocateArray)(size_t, size_t) = CallocArray;

uint32_t RemoveFacesOfMissingVertices(_Model* model)
{
    uint32_t kept = 0;
    for (uint32_t i = 0; i < model->numFaces; i++) {
        const _Face& face = model->faces[i];
        if (face.a < model->numVertices && face.b < model->numVertices && face.c < model->numVertices)
            model->faces[kept++] = face;
    }
    uint32_t removed = model->numFaces - kept;
    model->numFaces = kept;
    return removed;
}

int CompleteMesh(FILE* output)
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
