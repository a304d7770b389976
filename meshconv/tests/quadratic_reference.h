// A plain, obviously correct version of the optimizer's passes and the
// normals: every vertex checked against every face, elements removed one at
// a time. Slow (quadratic), and the yardstick for the real code in the
// differential test and the benchmark.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "model.h"

struct Mesh {
    std::vector<_Vertex> vertices;
    std::vector<_Face> faces;
};

inline std::string Summary(uint32_t u, uint32_t d, uint32_t n)
{
    return "Removing " + std::to_string(u) + " Unused Vertices, " + std::to_string(d) + " Duplicate Vertices, " +
           std::to_string(n) + " Null Faces\n";
}

struct Reference {
    Mesh mesh;
    uint32_t unused = 0, duplicates = 0, nulls = 0;
    std::string printed;
};

inline void RefStep(uint32_t* counter, uint32_t threshold, std::string* printed)
{
    if (*counter > threshold) {
        char digit[4];
        snprintf(digit, sizeof digit, "\b%x", rand() % 16);
        *printed += digit;
        *counter = 0;
    } else {
        (*counter)++;
    }
}

inline bool RefSame(const _Vertex& p, const _Vertex& q) { return p.x == q.x && p.y == q.y && p.z == q.z; }

inline void RefReplace(std::vector<_Face>& faces, uint32_t from, uint32_t to)
{
    for (_Face& f : faces) {
        if (f.a == from)
            f.a = to;
        if (f.b == from)
            f.b = to;
        if (f.c == from)
            f.c = to;
    }
}

inline Reference RefOptimize(Mesh m)
{
    Reference r;
    r.printed = "Optimizing Data... ";
    std::vector<_Vertex>& v = m.vertices;
    std::vector<_Face>& f = m.faces;
    uint32_t counter = 0;
    for (size_t j = 0; j < v.size();) {
        bool used = false;
        for (const _Face& face : f)
            used |= face.a == j || face.b == j || face.c == j;
        if (!used) {
            v.erase(v.begin() + static_cast<long>(j));
            for (_Face& face : f) {
                if (face.a > j)
                    face.a--;
                if (face.b > j)
                    face.b--;
                if (face.c > j)
                    face.c--;
            }
            r.unused++;
        } else {
            j++;
        }
        RefStep(&counter, 64, &r.printed);
    }
    counter = 0;
    uint32_t w = 0;
    const size_t n = v.size();
    for (size_t k = 0; k < n; k++) {
        if (v[k].flag != 0)
            continue;
        for (size_t l = k + 1; l < n; l++) {
            if (v[l].flag != 1 && RefSame(v[l], v[k])) {
                RefReplace(f, static_cast<uint32_t>(l), w);
                v[l].flag = 1;
            }
        }
        RefReplace(f, static_cast<uint32_t>(k), w);
        v[w] = v[k];
        w++;
        RefStep(&counter, 64, &r.printed);
    }
    r.duplicates = static_cast<uint32_t>(n - w);
    v.resize(w);
    counter = 0;
    for (size_t i = 0; i < f.size();) {
        const _Vertex &A = v[f[i].a], &B = v[f[i].b], &C = v[f[i].c];
        if (RefSame(A, B) || RefSame(A, C) || RefSame(B, C)) {
            f.erase(f.begin() + static_cast<long>(i));
            r.nulls++;
        } else {
            i++;
        }
        RefStep(&counter, 256, &r.printed);
    }
    r.printed += "\bDone!\n" + Summary(r.unused, r.duplicates, r.nulls);
    r.mesh = m;
    return r;
}

inline void RefNormals(Mesh& m)
{
    std::vector<bool> counted(m.faces.size());
    for (size_t i = 0; i < m.faces.size(); i++) {
        _Face& f = m.faces[i];
        const _Vertex &A = m.vertices[f.a], &B = m.vertices[f.b], &C = m.vertices[f.c];
        double ux = double(A.x) - double(B.x), uy = double(A.y) - double(B.y), uz = double(A.z) - double(B.z);
        double wx = double(C.x) - double(B.x), wy = double(C.y) - double(B.y), wz = double(C.z) - double(B.z);
        double nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
        float L = static_cast<float>(std::sqrt(nx * nx + ny * ny + nz * nz));
        counted[i] = L != 0.0f && std::isfinite(L);
        f.nx = counted[i] ? static_cast<float>(nx / double(L)) : 0.0f;
        f.ny = counted[i] ? static_cast<float>(ny / double(L)) : 0.0f;
        f.nz = counted[i] ? static_cast<float>(nz / double(L)) : 0.0f;
    }
    for (uint32_t i = 0; i < m.vertices.size(); i++) {
        double sx = 0.0, sy = 0.0, sz = 0.0, n = 0;
        for (size_t k = 0; k < m.faces.size(); k++) {
            const _Face& f = m.faces[k];
            if (counted[k] && (f.a == i || f.b == i || f.c == i)) {
                sx += f.nx;
                sy += f.ny;
                sz += f.nz;
                n += 1;
            }
        }
        _Vertex& v = m.vertices[i];
        v.nx = n == 0 ? 0.0f : static_cast<float>(sx / n);
        v.ny = n == 0 ? 0.0f : static_cast<float>(sy / n);
        v.nz = n == 0 ? 0.0f : static_cast<float>(sz / n);
    }
}
