// Writes small crafted seed inputs for the fuzzing harnesses into
// fuzz/corpus/{mesh,dump,icon,gd2,ani,pe,ne}/ under the folder given (the repository's
// fuzz/ folder). fuzz/run.sh adds the samples and the expected model files
// of the golden tests beside them.
#include <string>
#include <vector>

#include "forge3ds.h"
#include "forgeexe.h"
#include "forgeico.h"
#include "forgec7e.h"
#include "forgegd2.h"
#include "put_le.h"
#include "save_file.h"

using namespace forge3ds;

// A mesh of the given counts whose values repeat a small pattern.
static forgec7e::Mesh Filled(const std::string& name, uint32_t vertices, uint32_t faces)
{
    forgec7e::Mesh m{name, {}, {}};
    for (uint32_t i = 0; i < vertices; i++) {
        forgec7e::Vertex v;
        for (uint32_t k = 0; k < 8; k++)
            v[k] = static_cast<float>((i * 8 + k) % 3);
        m.vertices.push_back(v);
    }
    uint32_t n = vertices == 0 ? 1 : vertices;
    for (uint32_t i = 0; i < faces; i++)
        m.faces.push_back({0 % n, 1 % n, 2 % n, 0, 0, 1});
    return m;
}

// A GD2 picture of 70 x 65 pixels in chunks of 64, so that edge chunks
// are cut.

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

// OS/2 images: a monochrome icon, colour icons of 4 and 24 bits (the
// second with a 2.x header) and a colour pointer.
static std::vector<Os2Image> Os2Seeds()
{
    std::vector<Os2Image> images(4);
    images[0].type = "IC", images[0].picture = Picture(4, 1, true);
    images[1].type = "CI", images[1].picture = Picture(4, 4, true);
    images[2].type = "CI", images[2].picture = Picture(3, 24, true), images[2].infoSize = 64;
    images[3].type = "CP", images[3].picture = Picture(4, 8, true), images[3].infoSize = 40;
    images[3].hotspotX = 1, images[3].hotspotY = 2;
    return images;
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 1;
    std::string dir = argv[1];
    const std::vector<Position> tri = {{1, 0, 0}, {0, 0, 0}, {0, 1, 0}};
    std::string triMesh =
        Mesh(VertexList(tri) + MappingList({{0, 0}, {1, 0}, {0, 1}}) + FaceList({{0, 1, 2}}, MaterialGroup("m", {0})));
    bool ok =
        SaveFile(dir + "/corpus/mesh/triangle.3ds", Main(Editor(Object("T", triMesh)))) &&
        SaveFile(dir + "/corpus/mesh/two-objects.3ds",
                 Main(Editor(Object("A", triMesh) + Object("B", triMesh + triMesh)))) &&
        SaveFile(dir + "/corpus/mesh/long-name.3ds", Main(Editor(Object(std::string(300, 'n'), triMesh)))) &&
        SaveFile(dir + "/corpus/mesh/missing-vertex.3ds",
                 Main(Editor(Object("M", Mesh(VertexList(tri) + FaceList({{0, 1, 7}, {2, 2, 1}})))))) &&
        SaveFile(dir + "/corpus/mesh/zero-length.3ds", Main(Editor(Header(0x3D3E, 0) + Object("Z", triMesh)))) &&
        SaveFile(dir + "/corpus/dump/empty.c7e", forgec7e::ModelFile(std::vector<forgec7e::Mesh>{})) &&
        SaveFile(dir + "/corpus/dump/two-meshes.c7e", forgec7e::ModelFile({Filled("A", 3, 1), Filled("", 2, 0)})) &&
        SaveFile(dir + "/corpus/dump/long-name.c7e", forgec7e::ModelFile({Filled(std::string(256, 'x'), 0, 0)})) &&
        SaveFile(dir + "/corpus/icon/depths.ico",
                 IconFile({BitmapData(Picture(4, 1, true)), BitmapData(Picture(3, 2, true)),
                           BitmapData(Picture(5, 4, true)), BitmapData(Picture(2, 8, false)),
                           BitmapData(Picture(3, 24, true)), BitmapData(Picture(2, 32, false))})) &&
        SaveFile(dir + "/corpus/gd2/palette.gd2", forgegd2::File(forgegd2::Sample(2, 2))) &&
        SaveFile(dir + "/corpus/gd2/true-colour-raw.gd2", forgegd2::File(forgegd2::Sample(3, 2))) &&
        SaveFile(dir + "/corpus/gd2/true-colour-compressed.gd2", forgegd2::File(forgegd2::Sample(4, 2))) &&
        SaveFile(dir + "/corpus/gd2/version1.gd2", forgegd2::File(forgegd2::Sample(1, 1))) &&
        SaveFile(dir + "/corpus/icon/png-entry.ico", IconFile({PngData(4, 4, 8, 6)})) &&
        SaveFile(dir + "/corpus/icon/cursor.cur", IconFile({BitmapData(Picture(8, 4, true))}, 2));
    IconPicture v5 = Picture(4, 8, true);
    v5.headerSize = 124;
    ok = ok && SaveFile(dir + "/corpus/icon/header124.ico", IconFile({BitmapData(v5)}));
    // The other kinds: a short palette, 16 bits with bit fields, OS/2
    // arrays and pointers, Windows 1.x.
    IconPicture shortPalette = Picture(4, 8, true), sixteen = Picture(3, 16, true), mono = Picture(4, 1, true);
    shortPalette.coloursUsed = 7;
    sixteen.bitFields = {0xF800, 0x07E0, 0x001F};
    sixteen.pixel = [](int x, int y) { return static_cast<uint32_t>(x * 4099 + y * 77); };
    ok = ok &&
         SaveFile(dir + "/corpus/icon/short-palette-16-bits.ico",
                  IconFile({BitmapData(shortPalette), BitmapData(sixteen)})) &&
         SaveFile(dir + "/corpus/icon/os2-array.ico", Os2Array(Os2Seeds())) &&
         SaveFile(dir + "/corpus/icon/os2-pointer.ptr", Os2Bitmap(Os2Seeds()[3], 0)) &&
         SaveFile(dir + "/corpus/icon/win1.ico", Win1File(mono, 1, 2));
    // Containers of small icons and cursors: an animation with rates and a
    // sequence, another whose RIFF size is 0 and whose header names a frame
    // more; programs with a named group, a numbered one in two languages, a
    // cursor group and an icon no group names.
    const std::string ico = IconFile({BitmapData(Picture(4, 4, true)), BitmapData(Picture(2, 32, false))});
    const std::string cur = IconFile({BitmapData(Picture(3, 1, true))}, 2);
    Animation ani;
    ani.frames = {cur, ico};
    ani.rates = {3, 4, 5};
    ani.sequence = {0, 1, 0};
    Animation odd = ani;
    odd.riffSize = 0;
    odd.frameCount = 3;
    odd.rates.clear();
    std::vector<ExeResource> resources = IconGroup(ico, "APP", 0, 1);
    for (const auto& more : {IconGroup(ico, "", 2, 5, 1031), IconGroup(ico, "", 2, 8, 1033), IconGroup(cur, "", 9, 11),
                             std::vector<ExeResource>{{3, "", 40, 1033, BitmapData(Picture(2, 4, false))}}})
        resources.insert(resources.end(), more.begin(), more.end());
    Program pe32, pe64;
    pe32.resources = pe64.resources = resources;
    pe64.plus = true;
    ok = ok && SaveFile(dir + "/corpus/ani/frames.ani", AniFile(ani)) &&
         SaveFile(dir + "/corpus/ani/odd.ani", AniFile(odd)) && SaveFile(dir + "/corpus/pe/pe32.exe", PeFile(pe32)) &&
         SaveFile(dir + "/corpus/pe/pe64.dll", PeFile(pe64)) &&
         SaveFile(dir + "/corpus/ne/program.exe", NeFile(resources)) &&
         SaveFile(dir + "/corpus/ne/library.icl", NeFile(IconGroup(ico, "", 1, 1), 9)) &&
         // The icon harness reads every kind the program does.
         SaveFile(dir + "/corpus/icon/frames.ani", AniFile(ani)) &&
         SaveFile(dir + "/corpus/icon/program.exe", PeFile(pe32));
    return ok ? 0 : 1;
}
