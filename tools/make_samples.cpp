// Writes the project's sample input files into the folder given as the
// only argument: small 3DS scenes made here from values, so that the
// samples carry no third-party content.
#include <cmath>
#include <cstdio>
#include <string>

#include "forge3ds.h"

using namespace forge3ds;

static bool Save(const std::string& dir, const char* name, const std::string& bytes)
{
    std::string path = dir + "/" + name;
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
        fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

static std::string Version3ds()
{
    std::string body;
    PutU32(body, 3);
    return Chunk(0x0002, body);
}

// A unit cube as editors export it: four corners per side, so that each side
// has its own texture coordinates; the shared corners repeat positions.
static std::string Cube()
{
    std::vector<Position> positions;
    std::vector<TexCoord> coords;
    std::vector<Corners> faces;
    const float s = 1.0f;
    const Position corners[6][4] = {
        {{-s, -s, s}, {s, -s, s}, {s, s, s}, {-s, s, s}},
        {{s, -s, -s}, {-s, -s, -s}, {-s, s, -s}, {s, s, -s}},
        {{-s, -s, -s}, {-s, -s, s}, {-s, s, s}, {-s, s, -s}},
        {{s, -s, s}, {s, -s, -s}, {s, s, -s}, {s, s, s}},
        {{-s, s, s}, {s, s, s}, {s, s, -s}, {-s, s, -s}},
        {{-s, -s, -s}, {s, -s, -s}, {s, -s, s}, {-s, -s, s}},
    };
    for (int side = 0; side < 6; side++) {
        uint16_t base = static_cast<uint16_t>(positions.size());
        for (int k = 0; k < 4; k++) {
            positions.push_back(corners[side][k]);
            coords.push_back({k == 1 || k == 2 ? 1.0f : 0.0f, k >= 2 ? 1.0f : 0.0f});
        }
        faces.push_back({base, static_cast<uint16_t>(base + 1), static_cast<uint16_t>(base + 2)});
        faces.push_back({base, static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)});
    }
    std::vector<uint16_t> all;
    for (uint16_t i = 0; i < faces.size(); i++)
        all.push_back(i);
    std::string mesh = Mesh(VertexList(positions) + MappingList(coords) +
                            FaceList(faces, MaterialGroup("Crate", all)));
    return Main(Version3ds() + Editor(MeshVersion(3) + Object("Cube", mesh)));
}

// A scene of several objects: a pyramid, a ground plane with texture
// coordinates, a light and a camera, and a mesh with an unused vertex and a
// degenerate face for the cleaning to remove.
static std::string Scene()
{
    std::string pyramid = Mesh(
        VertexList({{0, 0, 2}, {-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}}) +
        FaceList({{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 1}, {1, 3, 2}, {1, 4, 3}},
                 MaterialGroup("Stone", {0, 1, 2, 3, 4, 5})));
    std::string ground = Mesh(
        VertexList({{-4, -4, 0}, {4, -4, 0}, {4, 4, 0}, {-4, 4, 0}}) +
        MappingList({{0, 0}, {4, 0}, {4, 4}, {0, 4}}) +
        FaceList({{0, 2, 1}, {0, 3, 2}}, MaterialGroup("Grass", {0, 1})));
    std::string rough = Mesh(
        VertexList({{0, 0, 3}, {9, 9, 9}, {1, 0, 3}, {0, 1, 3}, {1, 0, 3}, {1, 1, 3}}) +
        FaceList({{0, 2, 3}, {4, 5, 3}, {0, 2, 4}}));
    std::string editor = MeshVersion(3) + Object("Pyramid", pyramid) + Object("Ground", ground) +
                         Object("Rough", rough) + Object("Light01", Light({5, -5, 10})) +
                         Object("Camera01", Camera({10, -10, 6}, {0, 0, 0}, 35.0f));
    std::string keyframer = Chunk(0xB000, Chunk(0xB00A, std::string("\0\0MAXSCENE\0", 11)));
    return Main(Version3ds() + Editor(editor) + keyframer);
}

// A torus of 24 x 12 segments, its seam vertices repeated as exporters do.
static std::string Torus()
{
    const int rings = 24, sides = 12;
    const float pi = 3.14159265f;
    std::vector<Position> positions;
    std::vector<TexCoord> coords;
    for (int i = 0; i <= rings; i++) {
        for (int j = 0; j <= sides; j++) {
            float a = 2 * pi * static_cast<float>(i % rings) / rings;
            float b = 2 * pi * static_cast<float>(j % sides) / sides;
            float r = 3.0f + std::cos(b);
            positions.push_back({r * std::cos(a), r * std::sin(a), std::sin(b)});
            coords.push_back({static_cast<float>(i) / rings, static_cast<float>(j) / sides});
        }
    }
    std::vector<Corners> faces;
    for (int i = 0; i < rings; i++) {
        for (int j = 0; j < sides; j++) {
            uint16_t p = static_cast<uint16_t>(i * (sides + 1) + j);
            uint16_t q = static_cast<uint16_t>(p + sides + 1);
            faces.push_back({p, q, static_cast<uint16_t>(q + 1)});
            faces.push_back({p, static_cast<uint16_t>(q + 1), static_cast<uint16_t>(p + 1)});
        }
    }
    std::string mesh = Mesh(VertexList(positions) + MappingList(coords) + FaceList(faces));
    return Main(Version3ds() + Editor(MeshVersion(3) + Object("Torus", mesh)));
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_samples <folder>\n");
        return 1;
    }
    std::string dir = argv[1];
    bool ok = Save(dir, "cube.3ds", Cube()) && Save(dir, "scene.3ds", Scene()) &&
              Save(dir, "torus.3ds", Torus());
    return ok ? 0 : 1;
}
