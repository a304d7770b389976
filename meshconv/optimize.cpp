// Each pass does one sweep over the faces and one over the vertices (the
// duplicate pass finds equal positions in a hash table keyed per run), so a
// mesh costs time in proportion to its size whatever its values; the
// results are the ones that examining every vertex against every face
// would give. Working memory is
// allocated per pass and released before it returns; a pass that cannot
// have it works in place instead, comparing every vertex with every face.
#include "optimize.h"

#include <sys/random.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

namespace {

// The hash's key, drawn once per run, so that a file cannot be made whose
// positions all land in one slot: the table's cost stays linear whatever
// the values (the hash-flooding attacks on fixed hashes).
struct _HashKey {
    uint64_t k[2];
};

_HashKey hashKey;
bool hashKeyDrawn = false;

// Draws the key on first use.
const _HashKey& HashKey()
{
    if (hashKeyDrawn)
        return hashKey;
    if (getrandom(hashKey.k, sizeof hashKey.k, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof hashKey.k)) {
        // No entropy yet (early boot): the clock and the process, which a
        // file made beforehand cannot know either.
        uint64_t seed = static_cast<uint64_t>(time(nullptr)) ^ static_cast<uint64_t>(getpid()) << 32 ^
                        static_cast<uint64_t>(clock());
        for (uint64_t& word : hashKey.k) {
            seed += 0x9E3779B97F4A7C15u;
            uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
            word = z ^ (z >> 31);
        }
    }
    hashKeyDrawn = true;
    return hashKey;
}

// The 128-bit product of a and b folded to 64 bits: every bit of either
// factor reaches every bit of the result.
uint64_t Mix(uint64_t a, uint64_t b)
{
    unsigned __int128 m = static_cast<unsigned __int128>(a) * b;
    return static_cast<uint64_t>(m) ^ static_cast<uint64_t>(m >> 64);
}

uint32_t Bits(float f)
{
    // -0.0 hashes as 0.0, since the two are equal.
    float g = f == 0.0f ? 0.0f : f;
    uint32_t bits;
    memcpy(&bits, &g, sizeof bits);
    return bits;
}

// A position's hash, keyed by the run's key: the 128-bit product of the
// keyed halves reaches every bit of the table's index.
uint64_t HashPosition(const _Vertex& v)
{
    const _HashKey& key = HashKey();
    uint64_t xy = static_cast<uint64_t>(Bits(v.x)) | static_cast<uint64_t>(Bits(v.y)) << 32;
    uint64_t z = Bits(v.z);
    return Mix(xy ^ key.k[0], z ^ key.k[1]);
}

}  // namespace

uint32_t _RemoveDuplicateVertices(_Model* model)
{
    const uint32_t n = model->numVertices;
    // Open addressing at most half full; slots hold a kept vertex's new
    // index plus 1, 0 for empty.
    uint32_t slots = 2;
    while (slots < 2 * n)
        slots *= 2;
    uint32_t* table = static_cast<uint32_t*>(AllocateArray(slots, sizeof(uint32_t)));
    uint32_t* newIndex = static_cast<uint32_t*>(AllocateArray(n, sizeof(uint32_t)));
    if (table == nullptr || newIndex == nullptr) {
        free(table);
        free(newIndex);
        return RemoveDuplicateVerticesInPlace(model);
    }
    _Vertex* v = model->vertices;
    uint32_t counter = 0, kept = 0;
    for (uint32_t k = 0; k < n; k++) {
        const _Vertex vertex = v[k];
        // A NaN coordinate equals nothing, so such a vertex is never merged
        // and needs no place in the table.
        if (!HasNaN(vertex)) {
            uint32_t mask = slots - 1, s = static_cast<uint32_t>(HashPosition(vertex)) & mask;
            while (table[s] != 0 && !_SamePosition(v[table[s] - 1], vertex))
                s = (s + 1) & mask;
            if (table[s] != 0) {
                newIndex[k] = table[s] - 1;
                continue;
            }
            table[s] = kept + 1;
        }
        newIndex[k] = kept;
        v[kept++] = vertex;
        _CountStep(&counter, kDuplicateThreshold);
    }
    RenumberFaces(model, newIndex);
    model->numVertices = kept;
    free(table);
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
