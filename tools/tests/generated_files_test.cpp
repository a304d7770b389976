// The committed samples and fuzzing seeds are what their generators write,
// so that a change to either shows.
#include <gtest/gtest.h>

#include <filesystem>

#include "testutil.h"

namespace {

namespace fs = std::filesystem;

TEST(GeneratedFiles, CommittedCopiesAreTheGeneratorsOutput)
{
    const struct {
        const char* generator;
        const char* committed;  // the folder the generator is given
        int least;  // files at least
    } cases[] = {
        {MAKE_SAMPLES, SAMPLES_DIR, 4},
        {MAKE_SEEDS, FUZZ_DIR, 20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.generator);
        testutil::TempDir dir;
        for (const char* sub : {"corpus/mesh", "corpus/dump", "corpus/icon", "corpus/gd2", "corpus/ani", "corpus/pe", "corpus/ne"})
            fs::create_directories(dir.path() / sub);
        ASSERT_EQ(testutil::RunProgram({c.generator, dir.path().string()}).status, 0);
        int files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
            if (!entry.is_regular_file())
                continue;
            files++;
            fs::path relative = fs::relative(entry.path(), dir.path());
            EXPECT_EQ(testutil::ReadFile(entry.path()), testutil::ReadFile(fs::path(c.committed) / relative))
                << relative;
        }
        EXPECT_GE(files, c.least);
    }
}

}  // namespace
