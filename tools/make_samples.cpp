// Writes the project's sample input files into the folder given as the
// only argument: small 3DS scenes and an icon made here from values, so
// that the samples carry no third-party content.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "forge3ds.h"
#include "forgeico.h"
#include "save_file.h"

using namespace forge3ds;

static bool Save(const std::string& dir, const char* name, const std::string& bytes)
{
    return SaveFile(dir + "/" + name, bytes);
}

static std::string Version3ds()
{
    std::string body;
    U32(body, 3);
    return Chunk(kVersionChunk, body);
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
        {{-s, -s, s}, {s, -s, s}, {s, s, s}, {-s, s, s}},     {{s, -s, -s}, {-s, -s, -s}, {-s, s, -s}, {s, s, -s}},
        {{-s, -s, -s}, {-s, -s, s}, {-s, s, s}, {-s, s, -s}}, {{s, -s, s}, {s, -s, -s}, {s, s, -s}, {s, s, s}},
        {{-s, s, s}, {s, s, s}, {s, s, -s}, {-s, s, -s}},     {{-s, -s, -s}, {s, -s, -s}, {s, -s, s}, {-s, -s, s}},
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
    std::string mesh = Mesh(VertexList(positions) + MappingList(coords) + FaceList(faces, MaterialGroup("Crate", all)));
    return Main(Version3ds() + Editor(MeshVersion(3) + Object("Cube", mesh)));
}

// A scene of several objects: a pyramid, a ground plane with texture
// coordinates, a light and a camera, and a mesh with an unused vertex and a
// degenerate face for the cleaning to remove.
static std::string Scene()
{
    std::string pyramid = Mesh(VertexList({{0, 0, 2}, {-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}}) +
                               FaceList({{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 1}, {1, 3, 2}, {1, 4, 3}},
                                        MaterialGroup("Stone", {0, 1, 2, 3, 4, 5})));
    std::string ground = Mesh(VertexList({{-4, -4, 0}, {4, -4, 0}, {4, 4, 0}, {-4, 4, 0}}) +
                              MappingList({{0, 0}, {4, 0}, {4, 4}, {0, 4}}) +
                              FaceList({{0, 2, 1}, {0, 3, 2}}, MaterialGroup("Grass", {0, 1})));
    std::string rough = Mesh(VertexList({{0, 0, 3}, {9, 9, 9}, {1, 0, 3}, {0, 1, 3}, {1, 0, 3}, {1, 1, 3}}) +
                             FaceList({{0, 2, 3}, {4, 5, 3}, {0, 2, 4}}));
    std::string editor = MeshVersion(3) + Object("Pyramid", pyramid) + Object("Ground", ground) +
                         Object("Rough", rough) + Object("Light01", Light({5, -5, 10})) +
                         Object("Camera01", Camera({10, -10, 6}, {0, 0, 0}, 35.0f));
    std::string keyframer = Chunk(kKeyframerChunk, Chunk(kKeyframerHeaderChunk, std::string("\0\0MAXSCENE\0", 11)));
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

// An icon of five images at 1, 4, 8, 24 and 32 bits: a disc with a ring
// and a highlight, transparent outside the disc (through the mask, or the
// alpha channel at 32 bits).
static std::string SampleIcon()
{
    std::vector<std::string> images;
    auto shape = [](int size) {
        return [size](int x, int y) {
            float c = (size - 1) / 2.0f, dx = x - c, dy = y - c;
            return std::sqrt(dx * dx + dy * dy) / (size / 2.0f);  // 0 centre, 1 rim
        };
    };
    struct Layout {
        int size, bits;
    } layouts[] = {{16, 1}, {32, 4}, {32, 8}, {48, 24}, {48, 32}};
    for (const Layout& layout : layouts) {
        IconPicture p;
        p.width = p.height = layout.size;
        p.bits = layout.bits;
        auto radius = shape(layout.size);
        if (layout.bits <= 8) {
            int colours = 1 << layout.bits;
            for (int i = 0; i < colours; i++) {
                float t = colours == 2 ? static_cast<float>(i) : static_cast<float>(i) / (colours - 1);
                p.palette.push_back(Rgba{static_cast<uint8_t>(30 + 200 * t), static_cast<uint8_t>(60 + 120 * t),
                                         static_cast<uint8_t>(200 - 150 * t), 0});
            }
            p.pixel = [radius, colours](int x, int y) {
                float r = radius(x, y);
                int i = static_cast<int>((1.0f - r) * colours);
                if (r > 0.55f && r < 0.7f)
                    i = colours - 1;  // the ring
                return static_cast<uint32_t>(std::clamp(i, 0, colours - 1));
            };
            p.masked = [radius](int x, int y) { return radius(x, y) > 1.0f; };
        } else {
            p.pixel = [radius, layout](int x, int y) {
                float r = radius(x, y);
                uint32_t red = static_cast<uint32_t>(std::clamp(255.0f * (1.2f - r), 0.0f, 255.0f));
                uint32_t green = static_cast<uint32_t>(std::clamp(160.0f * r, 0.0f, 255.0f));
                uint32_t blue = r > 0.55f && r < 0.7f ? 255u : 90u;
                // At 32 bits the rim fades out through the alpha channel.
                uint32_t alpha =
                    layout.bits == 32 ? static_cast<uint32_t>(std::clamp(255.0f * (1.0f - r) * 4.0f, 0.0f, 255.0f)) : 0;
                return alpha << 24 | red << 16 | green << 8 | blue;
            };
            if (layout.bits == 24)
                p.masked = [radius](int x, int y) { return radius(x, y) > 1.0f; };
        }
        size_t paletteBytes = layout.bits <= 8 ? (size_t{4} << layout.bits) : 0;
        p.imageSize = static_cast<int32_t>(BitmapData(p).size() - 40 - paletteBytes);
        images.push_back(BitmapData(p));
    }
    return IconFile(images);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_samples <folder>\n");
        return 1;
    }
    std::string dir = argv[1];
    bool ok = Save(dir, "cube.3ds", Cube()) && Save(dir, "scene.3ds", Scene()) && Save(dir, "torus.3ds", Torus()) &&
              Save(dir, "app.ico", SampleIcon());
    return ok ? 0 : 1;
}
