// The optimizer and the normals alone on the worst legal mesh, and the
// quadratic reference on the same mesh for comparison.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <iostream>
#include <cstdlib>
#include <random>

#include "normals.h"
#include "optimize.h"
#include "crafted_meshes.h"
#include "quadratic_reference.h"

namespace {

Mesh WorstMesh()
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    Mesh m;
    const int n = 65535;
    for (int i = 0; i < n; i++) {
        if (i > 0 && unit(rng) < 0.3f) {
            m.vertices.push_back(m.vertices[rng() % i]);
        } else {
            float x = static_cast<float>(i % 256), y = static_cast<float>(i / 256);
            m.vertices.push_back(
                _Vertex{x + unit(rng) * 0.5f, y + unit(rng) * 0.5f, unit(rng), unit(rng), unit(rng), 0, 0, 0, 0});
        }
    }
    for (uint32_t i = 0; i < n; i++)
        m.faces.push_back(_Face{i, (i + 1) % n, (i + 257) % n, 0, 0, 0});
    return m;
}

// One mesh of the given positions with the faces of crafted::Strip.
Mesh FromPositions(const std::vector<forge3ds::Position>& positions)
{
    Mesh m;
    for (const auto& p : positions)
        m.vertices.push_back(_Vertex{p[0], p[1], p[2], 0, 0, 0, 0, 0, 0});
    for (const auto& c : crafted::Strip(21845, static_cast<int>(positions.size())))
        m.faces.push_back(_Face{c[0], c[1], c[2], 0, 0, 0});
    return m;
}

void Run(benchmark::State& state, const Mesh& mesh)
{
    std::vector<_Vertex> vertices;
    std::vector<_Face> faces;
    for (auto _ : state) {
        state.PauseTiming();
        vertices = mesh.vertices;
        faces = mesh.faces;
        _Model model = {};
        model.vertices = vertices.data();
        model.faces = faces.data();
        model.numVertices = static_cast<uint32_t>(vertices.size());
        model.numFaces = static_cast<uint32_t>(faces.size());
        state.ResumeTiming();
        OptimizeModel(&model);
        CalcNormals(&model);
        benchmark::DoNotOptimize(model.numVertices);
    }
}

void OptimizeAndNormals(benchmark::State& state) { Run(state, WorstMesh()); }
// Positions forged to collide in a hash of their bits, beside random ones.
void CollidingPositions(benchmark::State& state) { Run(state, FromPositions(crafted::CollidingPositions(65535))); }
void RandomPositions(benchmark::State& state) { Run(state, FromPositions(crafted::RandomPositions(65535))); }

void QuadraticReference(benchmark::State& state)
{
    const Mesh mesh = WorstMesh();
    for (auto _ : state) {
        Reference r = RefOptimize(mesh);
        RefNormals(r.mesh);
        benchmark::DoNotOptimize(r.unused);
    }
}

}  // namespace

BENCHMARK(OptimizeAndNormals)->Unit(benchmark::kMillisecond)->Repetitions(11)->ReportAggregatesOnly(true);
BENCHMARK(RandomPositions)->Unit(benchmark::kMillisecond)->Repetitions(11)->ReportAggregatesOnly(true);
BENCHMARK(CollidingPositions)->Unit(benchmark::kMillisecond)->Repetitions(11)->ReportAggregatesOnly(true);
BENCHMARK(QuadraticReference)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    // The passes print their progress on standard output; the report goes
    // to standard error.
    if (freopen("/dev/null", "w", stdout) == nullptr)
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}
