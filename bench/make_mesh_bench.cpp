// Writes the mesh converter's benchmark inputs into the given folder:
//   worst.3ds  one object at the format's limit: 65535 vertices (about 30%
//              repeating an earlier position), 65535 faces, a mapping list
//   many.3ds   200 objects of 1000 vertices and 2000 faces each
//   collide.3ds, nested.3ds   the hostile inputs of crafted_meshes.h
//   random.3ds one mesh of random positions of collide.3ds's shape, the
//              yardstick for both
#include <cstdio>
#include <random>
#include <string>

#include "save_file.h"

#include "crafted_meshes.h"
#include "forge3ds.h"

using namespace forge3ds;

static std::string Grid(std::mt19937& rng, int vertices, int faces, const std::string& name)
{
    std::vector<Position> positions;
    std::vector<TexCoord> coords;
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < vertices; i++) {
        if (i > 0 && unit(rng) < 0.3f) {
            positions.push_back(positions[rng() % i]);
        } else {
            float x = static_cast<float>(i % 256), y = static_cast<float>(i / 256);
            positions.push_back({x + unit(rng) * 0.5f, y + unit(rng) * 0.5f, unit(rng)});
        }
        coords.push_back({unit(rng), unit(rng)});
    }
    std::vector<Corners> list;
    for (int i = 0; i < faces; i++) {
        int a = i % vertices;
        list.push_back({static_cast<uint16_t>(a), static_cast<uint16_t>((a + 1) % vertices),
                        static_cast<uint16_t>((a + 257) % vertices)});
    }
    return Object(name, Mesh(VertexList(positions) + MappingList(coords) + FaceList(list)));
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: make_mesh_bench <folder>\n");
        return 1;
    }
    std::string dir = argv[1];
    std::mt19937 rng(7);
    std::string worst = Main(Editor(Grid(rng, 65535, 65535, "Worst")));
    std::string objects;
    for (int i = 0; i < 200; i++)
        objects += Grid(rng, 1000, 2000, "Part" + std::to_string(i));
    std::string many = Main(Editor(objects));
    bool saved =
        SaveFile(dir + "/worst.3ds", worst) && SaveFile(dir + "/many.3ds", many) &&
        SaveFile(dir + "/collide.3ds", crafted::OneMesh("Collide", crafted::CollidingPositions(65535), 21845)) &&
        SaveFile(dir + "/random.3ds", crafted::OneMesh("Random", crafted::RandomPositions(65535), 21845)) &&
        SaveFile(dir + "/nested.3ds", crafted::Nested(980 * 1024));
    return saved ? 0 : 1;
}
