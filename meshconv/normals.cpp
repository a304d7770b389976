#include "normals.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct _NormalSum {
    double x, y, z;
    uint32_t count;
};

void AddNormal(_NormalSum& sum, const _Face& face)
{
    sum.x += face.nx;
    sum.y += face.ny;
    sum.z += face.nz;
    sum.count++;
}

// A face whose normal counts for its vertices: a unit normal is never
// (0, 0, 0), so that value marks the faces that do not.
bool Counts(const _Face& f) { return !(f.nx == 0.0f && f.ny == 0.0f && f.nz == 0.0f); }

void StoreMean(_Vertex& out, const _NormalSum& s)
{
    if (s.count == 0) {
        out.nx = out.ny = out.nz = 0.0f;
        return;
    }
    out.nx = static_cast<float>(s.x / s.count);
    out.ny = static_cast<float>(s.y / s.count);
    out.nz = static_cast<float>(s.z / s.count);
}

// The vertex means without working memory: each vertex adds the counted
// faces that use it, in ascending face order, once per face.
void MeansInPlace(_Model* model)
{
    for (uint32_t i = 0; i < model->numVertices; i++) {
        _NormalSum sum = {};
        for (uint32_t k = 0; k < model->numFaces; k++) {
            const _Face& f = model->faces[k];
            if (Counts(f) && (f.a == i || f.b == i || f.c == i))
                AddNormal(sum, f);
        }
        StoreMean(model->vertices[i], sum);
    }
}

}  // namespace

void CalcNormals(_Model* model)
{
    printf("Calculating Normals...");
    const uint32_t numVertices = model->numVertices;
    const _Vertex* v = model->vertices;
    for (uint32_t i = 0; i < model->numFaces; i++) {
        _Face& f = model->faces[i];
        const _Vertex &A = v[f.a], &B = v[f.b], &C = v[f.c];
        double ux = double(A.x) - B.x, uy = double(A.y) - B.y, uz = double(A.z) - B.z;
        double wx = double(C.x) - B.x, wy = double(C.y) - B.y, wz = double(C.z) - B.z;
        double nx = uy * wz - uz * wy;
        double ny = uz * wx - ux * wz;
        double nz = ux * wy - uy * wx;
        float length = static_cast<float>(std::sqrt(nx * nx + ny * ny + nz * nz));
        if (length == 0.0f || !std::isfinite(length)) {
            f.nx = f.ny = f.nz = 0.0f;
            continue;
        }
        f.nx = static_cast<float>(nx / length);
        f.ny = static_cast<float>(ny / length);
        f.nz = static_cast<float>(nz / length);
    }
    // Vertex sums in a second sweep, reading the normals as stored: GCC 12's
    // SLP vectorizer, given the store and the sum in one loop, adds the
    // unrounded quotients instead.
    // Ascending face order, each counted face added to each of its distinct
    // corners: the order in which a scan of all faces per vertex adds them.
    _NormalSum* sums = static_cast<_NormalSum*>(AllocateArray(numVertices, sizeof(_NormalSum)));
    if (sums == nullptr) {
        MeansInPlace(model);
        printf("Done!\n");
        return;
    }
    for (uint32_t i = 0; i < model->numFaces; i++) {
        const _Face& f = model->faces[i];
        if (!Counts(f))
            continue;
        AddNormal(sums[f.a], f);
        if (f.b != f.a)
            AddNormal(sums[f.b], f);
        if (f.c != f.a && f.c != f.b)
            AddNormal(sums[f.c], f);
    }
    for (uint32_t i = 0; i < numVertices; i++)
        StoreMean(model->vertices[i], sums[i]);
    free(sums);
    printf("Done!\n");
}
