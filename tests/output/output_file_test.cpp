// The output file that zelm.exe, gd2topng and pngsmith share, run through
// each program alike: a finished file replaces the earlier one whole, with
// its mode and owner; every way a run can end early leaves the earlier file
// and no temporary one; devices, FIFOs and pipes are written in place;
// links stay links; the input is never the output.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <regex>

#include "forge3ds.h"
#include "forgegd2.h"
#include "forgeico.h"
#include "testutil.h"

namespace {

namespace fs = std::filesystem;
using testutil::RunProgram;
using testutil::RunResult;
using testutil::TempDir;

struct Program {
    const char* name;  // as the temporary files name it
    std::string command;  // run in the folder, on the input IN, writing OUT
    std::string input, slowInput;  // IN: small, or one whose output takes a while
    std::string output, slowOutput;  // OUT for each
};

std::string SlowMesh()
{
    using namespace forge3ds;
    std::string objects;
    const std::string tri = Mesh(VertexList({{1, 0, 0}, {0, 0, 0}, {0, 1, 0}}) + FaceList({{0, 1, 2}}));
    for (int i = 0; i < 1000; i++)
        objects += Object("O" + std::to_string(i), tri);
    return Main(Editor(objects));
}

std::vector<Program> Programs()
{
    using namespace forge3ds;
    const std::string tri =
        Main(Editor(Object("Tri", Mesh(VertexList({{1, 0, 0}, {0, 0, 0}, {0, 1, 0}}) + FaceList({{0, 1, 2}})))));
    forgegd2::Picture small;
    // 4096 x 4096 pixels in one chunk of 64 x 64: the rest, uncovered, is
    // encoded all the same.
    forgegd2::Picture large;
    large.format = 4, large.chunk = 64, large.width = 64, large.height = 64;
    std::string largeGd2 = forgegd2::File(large);
    largeGd2[6] = 0x10, largeGd2[7] = 0, largeGd2[8] = 0x10, largeGd2[9] = 0;
    IconPicture dot;
    dot.width = dot.height = 8, dot.bits = 1, dot.palette = {{0, 0, 0, 255}, {255, 255, 255, 255}};
    dot.pixel = [](int x, int y) { return static_cast<uint32_t>(x ^ y) & 1; };
    // A 4096 x 4096 32-bit image whose pixels lie beyond the end of the file.
    std::string huge = testutil::Bytes().u32(40).i32(4096).i32(8192).u16(1).u16(32).fill(24);
    return {
        {"zelm", BIN_DIR "/zelm.exe IN OUT", tri, SlowMesh(), "out.c7e", "out.c7e"},
        {"gd2topng", BIN_DIR "/gd2topng IN OUT", forgegd2::File(small), largeGd2, "out.png", "out.png"},
        {"pngsmith", BIN_DIR "/pngsmith IN", IconFile({BitmapData(dot)}), IconFile({huge}), "in_08X08_1bpp.png",
         "in_4096X4096_32bpp.png"},
    };
}

// What the output's name holds after the run.
enum class Left {
    kNew,  // a regular file with the new output
    kOld,  // the earlier file, "old\n"
    kNewThroughLink,  // still a link, its target the new output
    kLink,  // still a link, to a device
    kInput,  // the input, untouched (a link to it)
};

struct Case {
    const char* name;
    std::string setup;  // shell words run in the folder first; OUT and IN as above
    std::string run;  // how the program runs: CMD stands for its command
    int signal;  // sent once the run is under way (0: none)
    bool slow;  // the slow input
    long sizeLimit;  // RLIMIT_FSIZE, or -1
    int status[3];  // zelm, gd2topng, pngsmith
    Left left;
    mode_t mode;  // of the new file, or 0
    bool killed;  // the temporary file of a killed run may stay
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const char* const kOld = "echo old > OUT";

std::vector<Case> Cases()
{
    // A run with nothing in its way but the setup: its statuses (zelm,
    // gd2topng, pngsmith) and what the output's name holds after it.
    auto run = [](const char* name, std::string setup, std::string line, std::array<int, 3> status, Left left,
                  mode_t mode = 0) {
        return Case{name, setup, line, 0, false, -1, {status[0], status[1], status[2]}, left, mode, false};
    };
    // A run that a signal ends while its output is written.
    auto dies = [](const char* name, int sig) {
        return Case{name,       kOld, "exec CMD > log", sig, true, -1, {128 + sig, 128 + sig, 128 + sig},
                    Left::kOld, 0,    sig == SIGKILL};
    };
    const std::string old = kOld;
    Case fullDisk = run("full disk keeps the earlier file", old, "CMD", {2, 2, 2}, Left::kOld);
    fullDisk.sizeLimit = 50;
    Case unread = run("FIFO nobody reads", "mkfifo OUT", "exec CMD", {143, 143, 143}, Left::kOld);
    unread.signal = SIGTERM;
    return {
        run("new file takes the umask", "umask 027", "umask 027; CMD", {0, 0, 0}, Left::kNew, 0640),
        run("earlier file keeps its mode", old + " && chmod 604 OUT", "CMD", {0, 0, 0}, Left::kNew, 0604),
        fullDisk,
        run("device", "ln -s /dev/null OUT", "CMD", {0, 0, 0}, Left::kLink),
        run("full device", "ln -s /dev/full OUT", "CMD", {2, 2, 2}, Left::kLink),
        // The model's mesh count cannot be written back into a FIFO or a
        // pipe: zelm fails there, as it always has.
        run("FIFO with a reader", "mkfifo OUT", "cat OUT > got & CMD; s=$?; wait; exit $s", {2, 0, 0}, Left::kOld),
        unread,
        run("pipe", "ln -s /dev/fd/3 OUT", "(CMD 3>&1 >/dev/null; echo $? > st) | cat > got; exit $(cat st)", {2, 0, 0},
            Left::kLink),
        run("link to a file elsewhere", "mkdir away && echo old > away/t && ln -s away/t OUT", "CMD", {0, 0, 0},
            Left::kNewThroughLink),
        run("dangling link", "mkdir away && ln -s away/t OUT", "CMD", {0, 0, 0}, Left::kNewThroughLink),
        run("link to the input", "ln -s IN OUT", "CMD", {1, 2, 2}, Left::kInput),
        dies("interrupted", SIGINT),
        dies("terminated", SIGTERM),
        dies("hung up", SIGHUP),
        dies("broken pipe", SIGPIPE),
        dies("killed outright", SIGKILL),
    };
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The files a run left that are not named: temporary files and the like.
std::vector<std::string> Strays(const fs::path& dir, const std::vector<std::string>& known)
{
    std::vector<std::string> strays;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string name = e.path().filename();
        if (std::find(known.begin(), known.end(), name) == known.end())
            strays.push_back(name);
    }
    return strays;
}

class OutputFile : public testing::TestWithParam<Case> { };

TEST_P(OutputFile, EveryProgramAlike)
{
    const Case& c = GetParam();
    const std::vector<Program> programs = Programs();
    for (size_t p = 0; p < programs.size(); p++) {
        const Program& program = programs[p];
        SCOPED_TRACE(program.name);
        const std::string& input = c.slow ? program.slowInput : program.input;
        const std::string& out = c.slow ? program.slowOutput : program.output;
        const std::string in = std::string("in.") + (p == 0 ? "3ds" : p == 1 ? "gd2" : "ico");
        // The output the program makes of the input when nothing is in its way.
        TempDir plain;
        testutil::WriteFile(plain / in, input);
        std::string command = Replace(Replace(program.command, "IN", in), "OUT", out);
        ASSERT_EQ(RunProgram({"/bin/sh", "-c", command + " > /dev/null"}, testutil::InDir(plain.path())).status, 0);
        const std::string made = testutil::ReadFile(plain / out);

        TempDir dir;
        testutil::WriteFile(dir / in, input);
        ASSERT_EQ(
            RunProgram({"/bin/sh", "-c", Replace(Replace(c.setup, "IN", in), "OUT", out)}, testutil::InDir(dir.path()))
                .status,
            0);
        const std::string line = Replace(Replace(c.run, "OUT", out), "CMD", command);
        int status;
        if (c.signal != 0) {
            ASSERT_EQ(mkfifo((dir / "log").c_str(), 0600), 0);
            int log = open((dir / "log").c_str(), O_RDONLY | O_NONBLOCK);
            // Under way: its temporary file exists, or for a FIFO nobody
            // reads, its open has waited a while.
            int polls = 0;
            const std::regex temporary("\\." + out + "\\." + program.name + "-......");
            status = testutil::InterruptWhen(
                line, dir.path(),
                [&] {
                    if (c.left == Left::kOld && c.setup == "mkfifo OUT")
                        return ++polls > 300;
                    for (const auto& e : fs::directory_iterator(dir.path()))
                        if (std::regex_match(e.path().filename().string(), temporary))
                            return true;
                    return false;
                },
                c.signal);
            close(log);
        } else {
            testutil::RunOptions options = testutil::InDir(dir.path());
            options.fileSizeLimit = c.sizeLimit;
            status = RunProgram({"/bin/sh", "-c", line}, options).status;
        }
        EXPECT_EQ(status, c.status[p]);
        std::vector<std::string> known = {in, out, "log", "got", "st", "away", "t"};
        std::vector<std::string> strays = Strays(dir.path(), known);
        if (c.killed) {
            for (const std::string& s : strays) {
                EXPECT_TRUE(std::regex_match(s, std::regex("\\." + out + "\\." + program.name + "-......"))) << s;
            }
        } else {
            EXPECT_TRUE(strays.empty()) << strays.front();
        }
        EXPECT_EQ(testutil::ReadFile(dir / in), input);
        const fs::path named = dir / out;
        switch (c.left) {
        case Left::kNew:
            EXPECT_FALSE(fs::is_symlink(named));
            EXPECT_EQ(testutil::ReadFile(named), made);
            break;
        case Left::kOld:
            if (fs::is_regular_file(named)) {
                EXPECT_EQ(testutil::ReadFile(named), "old\n");
            }
            if (status == 0) {
                EXPECT_EQ(testutil::ReadFile(dir / "got"), made);
            }
            break;
        case Left::kNewThroughLink:
            EXPECT_TRUE(fs::is_symlink(named));
            EXPECT_EQ(testutil::ReadFile(dir / "away/t"), made);
            break;
        case Left::kLink:
            EXPECT_TRUE(fs::is_symlink(named));
            if (status == 0 && fs::exists(dir / "got")) {
                EXPECT_EQ(testutil::ReadFile(dir / "got"), made);
            }
            break;
        case Left::kInput:
            EXPECT_TRUE(fs::is_symlink(named));
            break;
        }
        struct stat st;
        if (c.mode != 0 && stat(named.c_str(), &st) == 0) {
            EXPECT_EQ(st.st_mode & 07777, c.mode);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputFile, testing::ValuesIn(Cases()), testutil::CaseName());

// Run as root over a user's file, the new file is still the user's.
TEST(OutputFileOwner, RootKeepsTheOwner)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to give a file away";
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.name);
        TempDir dir;
        const std::string in = program.output == "out.c7e"   ? "in.3ds"
                               : program.output == "out.png" ? "in.gd2"
                                                             : "in.ico";
        testutil::WriteFile(dir / in, program.input);
        testutil::WriteFile(dir / program.output, "old\n");
        ASSERT_EQ(chown((dir / program.output).c_str(), 1234, 2345), 0);
        std::string command = Replace(Replace(program.command, "IN", in), "OUT", program.output);
        ASSERT_EQ(RunProgram({"/bin/sh", "-c", command}, testutil::InDir(dir.path())).status, 0);
        struct stat st;
        ASSERT_EQ(stat((dir / program.output).c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 2345u);
        EXPECT_NE(testutil::ReadFile(dir / program.output), "old\n");
    }
}

}  // namespace
