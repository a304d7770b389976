// Real 3DS files from other tools: each converts, dumps, and the model file
// holds exactly the meshes that the converter reported writing.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "forgec7e.h"
#include "testutil.h"

namespace {

using testutil::RunProgram;
using testutil::RunResult;

TEST(Corpus3ds, EveryFileConvertsAndDumps)
{
    std::filesystem::path dir = testutil::CorpusDir("3ds");
    if (dir.empty())
        GTEST_SKIP() << "no corpus folder at " CORPUS_DIR;
    testutil::TempDir out;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string ext = entry.path().extension().string();
        if (ext != ".3ds" && ext != ".3DS")
            continue;
        files++;
        SCOPED_TRACE(entry.path().filename().string());
        RunResult r = RunProgram({BIN_DIR "/zelm.exe", entry.path().string(), out / "m.c7e"});
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.out.find("Warning"), std::string::npos) << r.out;
        forgec7e::ParsedModel model = forgec7e::ParseModel(testutil::ReadFile(out / "m.c7e"));
        ASSERT_TRUE(model.ok);

        std::regex written(R"(Writing Model \[([^\]]*)\], (\d+) vertices, (\d+) faces\.\.\.Done!)");
        std::vector<std::string> reported, stored;
        for (std::sregex_iterator it(r.out.begin(), r.out.end(), written), end; it != end; ++it)
            reported.push_back((*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str());
        for (const forgec7e::Mesh& m : model.meshes) {
            stored.push_back(m.name + " " + std::to_string(m.vertices.size()) + " " + std::to_string(m.faces.size()));
            for (const auto& v : m.vertices)
                for (int k = 5; k < 8; k++)
                    ASSERT_FALSE(std::isnan(v[k])) << m.name;
            for (const auto& f : m.faces) {
                ASSERT_LT(f.a, m.vertices.size());
                ASSERT_LT(f.b, m.vertices.size());
                ASSERT_LT(f.c, m.vertices.size());
                ASSERT_FALSE(std::isnan(f.nx) || std::isnan(f.ny) || std::isnan(f.nz));
            }
        }
        EXPECT_FALSE(reported.empty());
        EXPECT_EQ(stored, reported);

        RunResult dump = RunProgram({BIN_DIR "/c7e2txt.exe", out / "m.c7e"});
        ASSERT_EQ(dump.status, 0);
        std::vector<std::string> dumped;
        std::regex nameLine(R"(Mesh Name : ([^\n]*)\n(\d+) Vertices, (\d+) Faces)");
        for (std::sregex_iterator it(dump.out.begin(), dump.out.end(), nameLine), end; it != end; ++it)
            dumped.push_back((*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str());
        EXPECT_EQ(dumped, reported);
        EXPECT_EQ(dump.out.find("nan"), std::string::npos);
    }
    EXPECT_GT(files, 0);
}

}  // namespace
