// Each pass does one sweep over the faces and one over the vertices (the
// duplicate pass finds equal positions by sorting them), so a mesh costs
// time in proportion to its size, times log n for the sort, whatever its
// values; the results are the ones that examining every vertex against
// every face would give. Working memory is
// allocated per pass and released before it returns; a pass that cannot
// have it works in place instead, comparing every vertex with every face.
#include "optimize.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

bool showProgressDigits = true;

void _CountStep(uint32_t* counter, uint32_t threshold)
{
    if (*counter > threshold) {
        if (showProgressDigits)
            printf("\b%x", rand() % 16);
        *counter = 0;
    } else {
        (*counter)++;
    }
}

bool _SamePosition(const _Vertex& p, const _Vertex& q) { return p.x == q.x && p.y == q.y && p.z == q.z; }

void _ReplaceVertexIndex(_Model* model, uint32_t oldIndex, uint32_t newIndex)
{
    for (uint32_t i = 0; i < model->numFaces; i++) {
        _Face& f = model->faces[i];
        if (f.a == oldIndex)
            f.a = newIndex;
        if (f.b == oldIndex)
            f.b = newIndex;
        if (f.c == oldIndex)
            f.c = newIndex;
    }
}

static void RenumberFaces(_Model* model, const uint32_t* newIndex)
{
    for (uint32_t i = 0; i < model->numFaces; i++) {
        _Face& f = model->faces[i];
        f.a = newIndex[f.a];
        f.b = newIndex[f.b];
        f.c = newIndex[f.c];
    }
}

static bool IsUsed(const _Model* model, uint32_t index)
{
    for (uint32_t i = 0; i < model->numFaces; i++) {
        const _Face& f = model->faces[i];
        if (f.a == index || f.b == index || f.c == index)
            return true;
    }
    return false;
}

// Pass 1 without working memory. Vertex j moves to place kept and its
// corners are renamed at once: corners already renamed are below kept and
// those not yet are above j, so no two names meet.
static uint32_t RemoveUnusedVerticesInPlace(_Model* model)
{
    const uint32_t before = model->numVertices;
    uint32_t counter = 0, kept = 0;
    for (uint32_t j = 0; j < before; j++) {
        if (IsUsed(model, j)) {
            model->vertices[kept] = model->vertices[j];
            _ReplaceVertexIndex(model, j, kept++);
        }
        _CountStep(&counter, kUnusedThreshold);
    }
    model->numVertices = kept;
    return before - kept;
}

uint32_t _RemoveUnusedVertices(_Model* model)
{
    const uint32_t before = model->numVertices;
    uint32_t* newIndex = static_cast<uint32_t*>(AllocateArray(before, sizeof(uint32_t)));
    if (newIndex == nullptr)
        return RemoveUnusedVerticesInPlace(model);
    // Mark the used vertices, then give them their places in order.
    for (uint32_t i = 0; i < model->numFaces; i++) {
        const _Face& f = model->faces[i];
        newIndex[f.a] = newIndex[f.b] = newIndex[f.c] = 1;
    }
    uint32_t counter = 0, kept = 0;
    for (uint32_t j = 0; j < before; j++) {
        if (newIndex[j] != 0) {
            newIndex[j] = kept;
            model->vertices[kept++] = model->vertices[j];
        }
        _CountStep(&counter, kUnusedThreshold);
    }
    RenumberFaces(model, newIndex);
    model->numVertices = kept;
    free(newIndex);
    return before - kept;
}

static bool HasNaN(const _Vertex& v) { return std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z); }

// Pass 2 without working memory: each vertex is compared with every kept
// one, and its corners renamed at once, as in pass 1.
static uint32_t RemoveDuplicateVerticesInPlace(_Model* model)
{
    const uint32_t n = model->numVertices;
    uint32_t counter = 0, kept = 0;
    for (uint32_t k = 0; k < n; k++) {
        const _Vertex v = model->vertices[k];
        uint32_t first = 0;
        while (first < kept && !_SamePosition(model->vertices[first], v))
            first++;
        if (first < kept) {
            _ReplaceVertexIndex(model, k, first);
            continue;
        }
        model->vertices[kept] = v;
        _ReplaceVertexIndex(model, k, kept++);
        _CountStep(&counter, kDuplicateThreshold);
    }
    model->numVertices = kept;
    return n - kept;
}

// Orders positions by x, then y, then z, with -0.0 taken as 0.0 (the two
// are equal); positions with a NaN never reach it.
static bool PositionBefore(const _Vertex& p, const _Vertex& q)
{
    float a[3] = {p.x + 0.0f, p.y + 0.0f, p.z + 0.0f}, b[3] = {q.x + 0.0f, q.y + 0.0f, q.z + 0.0f};
    return std::lexicographical_compare(a, a + 3, b, b + 3);
}

uint32_t _RemoveDuplicateVertices(_Model* model)
{
    const uint32_t n = model->numVertices;
    uint32_t* order = static_cast<uint32_t*>(AllocateArray(n, sizeof(uint32_t)));
    uint32_t* newIndex = static_cast<uint32_t*>(AllocateArray(n, sizeof(uint32_t)));
    if (order == nullptr || newIndex == nullptr) {
        free(order);
        free(newIndex);
        return RemoveDuplicateVerticesInPlace(model);
    }
    // Sorting the indices by position, the first index breaking ties, puts
    // every group of equal positions together behind the vertex that
    // survives, whatever the input: time n log n, where a hash table keyed
    // by the file's values can be made to collide. A NaN coordinate equals
    // nothing, so such a vertex stays out of the sort and is its own.
    _Vertex* v = model->vertices;
    uint32_t sorted = 0;
    for (uint32_t k = 0; k < n; k++) {
        newIndex[k] = k;
        if (!HasNaN(v[k]))
            order[sorted++] = k;
    }
    std::sort(order, order + sorted, [v](uint32_t i, uint32_t j) {
        return PositionBefore(v[i], v[j]) || (!PositionBefore(v[j], v[i]) && i < j);
    });
    for (uint32_t i = 1; i < sorted; i++)
        if (_SamePosition(v[order[i]], v[order[i - 1]]))
            newIndex[order[i]] = newIndex[order[i - 1]];
    // newIndex now names each vertex's survivor, an index no larger than
    // its own; in file order the survivors take their places.
    uint32_t counter = 0, kept = 0;
    for (uint32_t k = 0; k < n; k++) {
        if (newIndex[k] != k) {
            newIndex[k] = newIndex[newIndex[k]];
            continue;
        }
        newIndex[k] = kept;
        v[kept++] = v[k];
        _CountStep(&counter, kDuplicateThreshold);
    }
    RenumberFaces(model, newIndex);
    model->numVertices = kept;
    free(order);
    free(newIndex);
    return n - kept;
}

uint32_t _RemoveNullFaces(_Model* model)
{
    const uint32_t before = model->numFaces;
    const _Vertex* v = model->vertices;
    uint32_t counter = 0, kept = 0;
    for (uint32_t i = 0; i < before; i++) {
        const _Face f = model->faces[i];
        bool null = _SamePosition(v[f.a], v[f.b]) || _SamePosition(v[f.a], v[f.c]) || _SamePosition(v[f.b], v[f.c]);
        if (!null)
            model->faces[kept++] = f;
        _CountStep(&counter, kNullFaceThreshold);
    }
    model->numFaces = kept;
    if (showProgressDigits)
        printf("\b");
    return before - kept;
}

void OptimizeModel(_Model* model)
{
    printf("Optimizing Data... ");
    uint32_t unused = _RemoveUnusedVertices(model);
    uint32_t duplicates = _RemoveDuplicateVertices(model);
    uint32_t nullFaces = _RemoveNullFaces(model);
    printf("Done!\n");
    printf("Removing %u Unused Vertices, %u Duplicate Vertices, %u Null Faces\n", unused, duplicates, nullFaces);
}
