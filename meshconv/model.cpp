#include "model.h"

#include <cstdlib>

_Model currentModel;
uint32_t numMeshes;
bool escapeNames;

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
