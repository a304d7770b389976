// Writes small crafted seed inputs for the fuzzing harnesses into
// fuzz/corpus/{mesh,dump,icon}/ under the folder given (the repository's
// fuzz/ folder). fuzz/run.sh adds the samples and the expected model files
// of the golden tests beside them.
#include <string>
#include <vector>

#include "forge3ds.h"
#include "forgeico.h"
#include "model_format.h"
#include "put_le.h"
#include "save_file.h"

using namespace forge3ds;

static std::string Model(const std::vector<std::string>& records)
{
    std::string b;
    put_le::U16(b, kModelMagic);
    put_le::U32(b, static_cast<uint32_t>(records.size()));
    for (const std::string& r : records)
        b += r;
    return b;
}

static std::string Record(const std::string& name, uint32_t vertices, uint32_t faces)
{
    std::string b = name + '\0';
    put_le::U32(b, vertices);
    put_le::U32(b, faces);
    for (uint32_t i = 0; i < vertices * 8; i++)
        put_le::Float(b, static_cast<float>(i % 3));
    for (uint32_t i = 0; i < faces; i++) {
        for (uint32_t k = 0; k < 3; k++)
            put_le::U32(b, k % (vertices == 0 ? 1 : vertices));
        for (int k = 0; k < 3; k++)
            put_le::Float(b, k == 2 ? 1.0f : 0.0f);
    }
    return b;
}

static IconPicture Picture(int size, int bits, bool mask)
{
    IconPicture p;
    p.width = size;
    p.height = size;
    p.bits = bits;
    if (bits <= 8)
        for (int i = 0; i < (1 << bits); i++)
            p.palette.push_back(Rgba{static_cast<uint8_t>(i * 40), static_cast<uint8_t>(i * 3), 7, 0});
    p.pixel = [bits](int x, int y) -> uint32_t {
        return bits <= 8 ? static_cast<uint32_t>(x + y) % (1u << bits) : 0x80102030u + static_cast<uint32_t>(x * 9 + y);
    };
    if (mask)
        p.masked = [](int x, int y) { return (x ^ y) & 1; };
    return p;
}

static std::string PngData()
{
    std::string b("\x89PNG\r\n\x1a\n", 8);
    b += std::string("\0\0\0\x0dIHDR", 8);
    b += std::string("\0\0\0\x04\0\0\0\x04\x08\x06\0\0\0", 13);
    b += std::string("\0\0\0\0\0\0\0\0IEND\xae\x42\x60\x82", 16);
    return b;
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 1;
    std::string dir = argv[1];
    const std::vector<Position> tri = {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}};
    std::string triMesh =
        Mesh(VertexList(tri) + MappingList({{0, 0}, {1, 0}, {0, 1}}) + FaceList({{0, 1, 2}}, MaterialGroup("m", {0})));
    bool ok = SaveFile(dir + "/corpus/mesh/triangle.3ds", Main(Editor(Object("T", triMesh)))) &&
              SaveFile(dir + "/corpus/mesh/two-objects.3ds",
                       Main(Editor(Object("A", triMesh) + Object("B", triMesh + triMesh)))) &&
              SaveFile(dir + "/corpus/mesh/long-name.3ds", Main(Editor(Object(std::string(300, 'n'), triMesh)))) &&
              SaveFile(dir + "/corpus/mesh/missing-vertex.3ds",
                       Main(Editor(Object("M", Mesh(VertexList(tri) + FaceList({{0, 1, 7}, {2, 2, 1}})))))) &&
              SaveFile(dir + "/corpus/mesh/zero-length.3ds", Main(Editor(Header(0x3D3E, 0) + Object("Z", triMesh)))) &&
              SaveFile(dir + "/corpus/dump/empty.c7e", Model({})) &&
              SaveFile(dir + "/corpus/dump/two-meshes.c7e", Model({Record("A", 3, 1), Record("", 2, 0)})) &&
              SaveFile(dir + "/corpus/dump/long-name.c7e", Model({Record(std::string(256, 'x'), 0, 0)})) &&
              SaveFile(dir + "/corpus/icon/depths.ico",
                       IconFile({BitmapData(Picture(4, 1, true)), BitmapData(Picture(3, 2, true)),
                                 BitmapData(Picture(5, 4, true)), BitmapData(Picture(2, 8, false)),
                                 BitmapData(Picture(3, 24, true)), BitmapData(Picture(2, 32, false))})) &&
              SaveFile(dir + "/corpus/icon/png-entry.ico", IconFile({PngData()})) &&
              SaveFile(dir + "/corpus/icon/cursor.cur", IconFile({BitmapData(Picture(8, 4, true))}, 2));
    IconPicture v5 = Picture(4, 8, true);
    v5.headerSize = 124;
    ok = ok && SaveFile(dir + "/corpus/icon/header124.ico", IconFile({BitmapData(v5)}));
    return ok ? 0 : 1;
}
