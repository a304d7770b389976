// The optimizer's passes and the normals, in process: exact results on the
// edge cases, and agreement with a plain quadratic reference on random
// meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "normals.h"
#include "optimize.h"
#include "quadratic_reference.h"
#include "testutil.h"

namespace {

using testutil::FloatBits;

_Vertex V(float x, float y, float z, float u = 0, float v = 0) { return _Vertex{x, y, z, u, v, 0, 0, 0, 0}; }

_Face F(uint32_t a, uint32_t b, uint32_t c) { return _Face{a, b, c, 0, 0, 0}; }

// Runs fn on a model made from the mesh and returns the mesh left in the
// model's counts, with what it printed.
template <typename Fn> Mesh RunOn(const Mesh& in, Fn fn, std::string* printed = nullptr)
{
    _Model model = {};
    model.vertices = static_cast<_Vertex*>(malloc(std::max<size_t>(1, in.vertices.size()) * sizeof(_Vertex)));
    model.faces = static_cast<_Face*>(malloc(std::max<size_t>(1, in.faces.size()) * sizeof(_Face)));
    std::copy(in.vertices.begin(), in.vertices.end(), model.vertices);
    std::copy(in.faces.begin(), in.faces.end(), model.faces);
    model.numVertices = static_cast<uint32_t>(in.vertices.size());
    model.numFaces = static_cast<uint32_t>(in.faces.size());
    testing::internal::CaptureStdout();
    fn(&model);
    fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    if (printed != nullptr)
        *printed = out;
    Mesh result{{model.vertices, model.vertices + model.numVertices}, {model.faces, model.faces + model.numFaces}};
    free(model.vertices);
    free(model.faces);
    return result;
}

std::vector<std::array<uint32_t, 3>> Corners(const Mesh& m)
{
    std::vector<std::array<uint32_t, 3>> out;
    for (const _Face& f : m.faces)
        out.push_back({f.a, f.b, f.c});
    return out;
}

std::vector<std::array<float, 5>> Positions(const Mesh& m)
{
    std::vector<std::array<float, 5>> out;
    for (const _Vertex& v : m.vertices)
        out.push_back({v.x, v.y, v.z, v.u, v.v});
    return out;
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

struct OptimizeCase {
    const char* name;
    Mesh in;
    std::vector<std::array<float, 5>> vertices;  // x y z u v afterwards
    std::vector<std::array<uint32_t, 3>> faces;  // corners afterwards
    uint32_t unused, duplicates, nulls;
};

void PrintTo(const OptimizeCase& c, std::ostream* os) { *os << c.name; }

class OptimizeCases : public testing::TestWithParam<OptimizeCase> { };

TEST_P(OptimizeCases, ResultAndSummary)
{
    const OptimizeCase& c = GetParam();
    std::string printed;
    Mesh out = RunOn(c.in, OptimizeModel, &printed);
    EXPECT_EQ(Positions(out).size(), c.vertices.size());
    for (size_t i = 0; i < std::min(out.vertices.size(), c.vertices.size()); i++)
        for (int k = 0; k < 5; k++)
            EXPECT_EQ(FloatBits(Positions(out)[i][k]), FloatBits(c.vertices[i][k])) << i << "," << k;
    EXPECT_EQ(Corners(out), c.faces);
    EXPECT_EQ(printed, "Optimizing Data... \bDone!\n" + Summary(c.unused, c.duplicates, c.nulls));
}

// One table row a case, as written.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    EdgeCases, OptimizeCases,
    testing::Values(
        OptimizeCase{"nothing to remove", {{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {F(0, 1, 2)}},
                     {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {{0, 1, 2}}, 0, 0, 0},
        OptimizeCase{"one unused vertex",
                     {{V(0, 0, 0), V(9, 9, 9), V(1, 0, 0), V(0, 1, 0)}, {F(0, 2, 3)}},
                     {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {{0, 1, 2}}, 1, 0, 0},
        // Both of two adjacent unused vertices go, not only the first.
        OptimizeCase{"run of unused vertices",
                     {{V(0, 0, 0), V(8, 8, 8), V(9, 9, 9), V(1, 0, 0), V(0, 1, 0)}, {F(0, 3, 4)}},
                     {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {{0, 1, 2}}, 2, 0, 0},
        OptimizeCase{"trailing unused vertices",
                     {{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(7, 7, 7), V(8, 8, 8), V(9, 9, 9)}, {F(2, 1, 0)}},
                     {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {{2, 1, 0}}, 3, 0, 0},
        OptimizeCase{"duplicate keeps the first texture coordinate",
                     {{V(0, 0, 0, 0.5f, 0.5f), V(1, 0, 0), V(0, 1, 0), V(0, 0, 0, 1, 1)}, {F(3, 1, 2), F(0, 2, 1)}},
                     {{0, 0, 0, 0.5f, 0.5f}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {{0, 1, 2}, {0, 2, 1}}, 0, 1, 0},
        OptimizeCase{"merged vertex between others",
                     {{V(0, 0, 0), V(1, 0, 0, 0.25f, 0), V(0, 1, 0), V(1, 0, 0, 0.75f, 1), V(1, 1, 0)},
                      {F(0, 1, 2), F(3, 2, 4)}},
                     {{0, 0, 0, 0, 0}, {1, 0, 0, 0.25f, 0}, {0, 1, 0, 0, 0}, {1, 1, 0, 0, 0}},
                     {{0, 1, 2}, {1, 2, 3}}, 0, 1, 0},
        OptimizeCase{"minus zero equals zero",
                     {{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(-0.0f, 0, -0.0f)}, {F(0, 1, 2), F(3, 2, 1)}},
                     {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {{0, 1, 2}, {0, 2, 1}}, 0, 1, 0},
        // NaN equals nothing: never merged, and a face using it twice is not null.
        OptimizeCase{"NaN is never merged",
                     {{V(kNaN, 0, 0), V(1, 0, 0), V(kNaN, 0, 0)}, {F(0, 1, 2), F(0, 1, 0)}},
                     {{kNaN, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {kNaN, 0, 0, 0, 0}}, {{0, 1, 2}, {0, 1, 0}}, 0, 0, 0},
        OptimizeCase{"face with a repeated corner is null",
                     {{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {F(0, 1, 2), F(1, 1, 2)}},
                     {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {{0, 1, 2}}, 0, 0, 1},
        OptimizeCase{"two adjacent null faces both go",
                     {{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}, {F(0, 0, 1), F(2, 1, 2), F(0, 1, 2)}},
                     {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}}, {{0, 1, 2}}, 0, 0, 2},
        // The null-face pass runs last: a vertex used only by a removed face stays.
        OptimizeCase{"only face null leaves its vertices",
                     {{V(0, 0, 0), V(1, 0, 0), V(1, 0, 0)}, {F(0, 1, 2)}},
                     {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}}, {}, 0, 1, 1},
        OptimizeCase{"face null only after merging",
                     {{V(0, 0, 0), V(2, 0, 0), V(2, 0, 0), V(0, 3, 0)}, {F(0, 1, 3), F(1, 2, 3)}},
                     {{0, 0, 0, 0, 0}, {2, 0, 0, 0, 0}, {0, 3, 0, 0, 0}}, {{0, 1, 2}}, 0, 1, 1}),
    testutil::CaseName());
// clang-format on

// A digit at every 66th vertex of pass 1 and 2, 258th face of pass 3.
TEST(OptimizeProgress, DigitsAtTheThresholds)
{
    struct Case {
        uint32_t vertices, faces;
        size_t digits;
    } cases[] = {{65, 1, 0}, {66, 1, 2}, {131, 1, 2}, {132, 1, 4}, {3, 257, 0}, {3, 258, 1}};
    for (const Case& c : cases) {
        Mesh m;
        for (uint32_t i = 0; i < c.vertices; i++)
            m.vertices.push_back(V(static_cast<float>(i), static_cast<float>(i * i), 1));
        for (uint32_t i = 0; i < c.faces; i++)
            m.faces.push_back(F(i % c.vertices, (i + 1) % c.vertices, (i + 2) % c.vertices));
        for (uint32_t i = c.faces; i < c.vertices; i++)
            m.faces.push_back(F(i, (i + 1) % c.vertices, (i + 2) % c.vertices));
        std::string printed;
        RunOn(m, OptimizeModel, &printed);
        size_t backspaces = std::count(printed.begin(), printed.end(), '\b');
        EXPECT_EQ(backspaces, c.digits + 1) << c.vertices << " vertices, " << m.faces.size() << " faces";
    }
}

struct NormalCase {
    const char* name;
    Mesh in;
    std::vector<std::array<float, 3>> faceNormals, vertexNormals;
};

void PrintTo(const NormalCase& c, std::ostream* os) { *os << c.name; }

class NormalCases : public testing::TestWithParam<NormalCase> { };

TEST_P(NormalCases, ExactValues)
{
    const NormalCase& c = GetParam();
    std::string printed;
    Mesh out = RunOn(c.in, CalcNormals, &printed);
    EXPECT_EQ(printed, "Calculating Normals...Done!\n");
    ASSERT_EQ(out.faces.size(), c.faceNormals.size());
    for (size_t i = 0; i < out.faces.size(); i++) {
        EXPECT_EQ(FloatBits(out.faces[i].nx), FloatBits(c.faceNormals[i][0])) << "face " << i;
        EXPECT_EQ(FloatBits(out.faces[i].ny), FloatBits(c.faceNormals[i][1])) << "face " << i;
        EXPECT_EQ(FloatBits(out.faces[i].nz), FloatBits(c.faceNormals[i][2])) << "face " << i;
    }
    ASSERT_EQ(out.vertices.size(), c.vertexNormals.size());
    for (size_t i = 0; i < out.vertices.size(); i++) {
        EXPECT_EQ(FloatBits(out.vertices[i].nx), FloatBits(c.vertexNormals[i][0])) << "vertex " << i;
        EXPECT_EQ(FloatBits(out.vertices[i].ny), FloatBits(c.vertexNormals[i][1])) << "vertex " << i;
        EXPECT_EQ(FloatBits(out.vertices[i].nz), FloatBits(c.vertexNormals[i][2])) << "vertex " << i;
    }
}

const float kHalf = 0.5f;

// One table row a case, as written.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    EdgeCases, NormalCases,
    testing::Values(
        NormalCase{"clockwise from the second corner",
                   {{V(1, 0, 0), V(0, 0, 0), V(0, 1, 0)}, {F(0, 1, 2)}},
                   {{0, 0, 1}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}},
        NormalCase{"reversed corners",
                   {{V(0, 1, 0), V(0, 0, 0), V(1, 0, 0)}, {F(0, 1, 2)}},
                   {{0, 0, -1}}, {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}}},
        NormalCase{"scaled down to unit length",
                   {{V(0, 0, 0), V(2, 0, 0), V(0, 2, 0)}, {F(0, 1, 2)}},
                   {{0, 0, -1}}, {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}}},
        NormalCase{"mean of two faces is not renormalised",
                   {{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(0, 0, 1)}, {F(1, 0, 2), F(3, 0, 1)}},
                   {{0, 0, 1}, {0, 1, 0}},
                   {{0, kHalf, kHalf}, {0, kHalf, kHalf}, {0, 0, 1}, {0, 1, 0}}},
        NormalCase{"opposite faces cancel",
                   {{V(1, 0, 0), V(0, 0, 0), V(0, 1, 0)}, {F(0, 1, 2), F(2, 1, 0)}},
                   {{0, 0, 1}, {0, 0, -1}}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
        // Degenerate faces get zeros and do not count; unused vertices get zeros.
        NormalCase{"collinear face",
                   {{V(0, 0, 0), V(1, 0, 0), V(2, 0, 0), V(0, 1, 0)}, {F(0, 1, 2), F(1, 0, 3)}},
                   {{0, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 0}, {0, 0, 1}}},
        NormalCase{"repeated corner counts once",
                   {{V(1, 0, 0), V(0, 0, 0), V(0, 1, 0)}, {F(0, 1, 2), F(0, 0, 1)}},
                   {{0, 0, 1}, {0, 0, 0}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}},
        NormalCase{"unused vertex", {{V(1, 0, 0), V(0, 0, 0), V(0, 1, 0), V(5, 5, 5)}, {F(0, 1, 2)}},
                   {{0, 0, 1}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 0}}},
        NormalCase{"no faces", {{V(1, 0, 0), V(0, 0, 0)}, {}}, {}, {{0, 0, 0}, {0, 0, 0}}},
        NormalCase{"NaN position", {{V(kNaN, 0, 0), V(0, 0, 0), V(0, 1, 0)}, {F(0, 1, 2)}},
                   {{0, 0, 0}}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
        NormalCase{"length overflows a float",
                   {{V(3e38f, 0, 0), V(0, 0, 0), V(0, 3e38f, 0)}, {F(0, 1, 2)}},
                   {{0, 0, 0}}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
        // (1,-1,0),(0,0,0),(0,1,0): x = (-1)*0 - 0*1 = -0.0 - 0.0 = -0.0 in
        // the face; the vertex sums start at +0.0, so the vertices get +0.0.
        NormalCase{"minus zero component",
                   {{V(1, -1, 0), V(0, 0, 0), V(0, 1, 0)}, {F(0, 1, 2)}},
                   {{-0.0f, 0, 1}}, {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}}}),
    testutil::CaseName());
// clang-format on

// Small meshes dense in what the passes act on: repeated positions (with
// -0.0), runs of unused vertices, null and collinear faces, NaN positions.
Mesh RandomMesh(std::mt19937& rng)
{
    std::uniform_int_distribution<int> pick(0, 99);
    const float pool[] = {0.0f, -0.0f, 1.0f, 2.0f, -1.0f, 0.5f, 3.0f};
    auto coord = [&]() -> float {
        int p = pick(rng);
        if (p < 2)
            return kNaN;
        if (p < 70)
            return pool[p % 7];
        return std::uniform_real_distribution<float>(-10, 10)(rng);
    };
    Mesh m;
    size_t nv = 1 + pick(rng) % 140;
    for (size_t i = 0; i < nv; i++) {
        if (i > 0 && pick(rng) < 25) {
            _Vertex again = m.vertices[pick(rng) % i];
            again.u = coord();
            m.vertices.push_back(again);
        } else {
            m.vertices.push_back(V(coord(), coord(), coord(), coord(), coord()));
        }
    }
    // Faces use only part of the index range, leaving runs unused.
    size_t used = 1 + pick(rng) % nv;
    size_t nf = 1 + pick(rng) % 300;
    for (size_t i = 0; i < nf; i++) {
        auto index = [&]() { return static_cast<uint32_t>((pick(rng) * 7919u) % used); };
        uint32_t a = index(), b = pick(rng) < 10 ? a : index(), c = index();
        m.faces.push_back(F(a, b, c));
    }
    return m;
}

void ExpectSameBits(const Mesh& got, const Mesh& want, int seed)
{
    ASSERT_EQ(got.vertices.size(), want.vertices.size()) << "seed " << seed;
    ASSERT_EQ(got.faces.size(), want.faces.size()) << "seed " << seed;
    for (size_t i = 0; i < got.faces.size(); i++) {
        const _Face &g = got.faces[i], &w = want.faces[i];
        ASSERT_EQ(std::make_tuple(g.a, g.b, g.c), std::make_tuple(w.a, w.b, w.c)) << "seed " << seed << " face " << i;
        for (auto field : {&_Face::nx, &_Face::ny, &_Face::nz})
            ASSERT_EQ(FloatBits(g.*field), FloatBits(w.*field)) << "seed " << seed << " face " << i;
    }
    for (size_t i = 0; i < got.vertices.size(); i++) {
        const _Vertex &g = got.vertices[i], &w = want.vertices[i];
        int k = 0;
        for (auto field : {&_Vertex::x, &_Vertex::y, &_Vertex::z, &_Vertex::u, &_Vertex::v, &_Vertex::nx, &_Vertex::ny,
                           &_Vertex::nz}) {
            ASSERT_EQ(FloatBits(g.*field), FloatBits(w.*field)) << "seed " << seed << " vertex " << i << " field " << k;
            k++;
        }
    }
}

void* NoMemory(size_t, size_t) { return nullptr; }

// Each differential test runs twice: with working memory, and without any,
// when every pass and the normals work in place.
class OptimizeDifferential : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        if (GetParam())
            AllocateArray = NoMemory;
    }
    void TearDown() override { AllocateArray = fSaved; }

private:
    void* (*fSaved)(size_t, size_t) = AllocateArray;
};

// Cleans the mesh and computes its normals, as the reference does with the
// same random digits, and checks that both print and give the same bits.
Mesh CleanAsTheReference(const Mesh& in, unsigned seed)
{
    srand(seed);
    Reference want = RefOptimize(in);
    RefNormals(want.mesh);
    srand(seed);
    std::string printed;
    Mesh got = RunOn(
        in,
        [](_Model* m) {
            OptimizeModel(m);
            CalcNormals(m);
        },
        &printed);
    EXPECT_EQ(printed, want.printed + "Calculating Normals...Done!\n") << "seed " << seed;
    ExpectSameBits(got, want.mesh, static_cast<int>(seed));
    return got;
}

TEST_P(OptimizeDifferential, AgreesWithQuadraticReference)
{
    for (int seed = 0; seed < (GetParam() ? 1000 : 3000); seed++) {
        std::mt19937 rng(static_cast<unsigned>(seed));
        Mesh in = RandomMesh(rng);
        Mesh got = CleanAsTheReference(in, static_cast<unsigned>(seed));
        for (const _Vertex& v : got.vertices) {
            bool finite = !std::isnan(v.x) && !std::isnan(v.y) && !std::isnan(v.z);
            bool nanNormal = std::isnan(v.nx) || std::isnan(v.ny) || std::isnan(v.nz);
            ASSERT_FALSE(finite && nanNormal) << "seed " << seed;
        }
    }
}

// Larger meshes where the progress digits appear in every pass.
TEST_P(OptimizeDifferential, LargeMeshesPrintTheSameDigits)
{
    for (int seed = 0; seed < 20; seed++) {
        std::mt19937 rng(static_cast<unsigned>(seed));
        Mesh in;
        for (int i = 0; i < 600; i++)
            in.vertices.push_back(V(static_cast<float>(rng() % 40), static_cast<float>(rng() % 3), 0));
        for (int i = 0; i < 900; i++)
            in.faces.push_back(F(rng() % 500, rng() % 500, rng() % 500));
        CleanAsTheReference(in, static_cast<unsigned>(seed));
    }
}

INSTANTIATE_TEST_SUITE_P(Memory, OptimizeDifferential, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "InPlace" : "WithWorkingMemory";
                         });

}  // namespace
