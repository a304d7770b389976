// Helpers shared by the test programs: running a program as a child process,
// scratch folders, whole-file reads and writes, and a little-endian byte builder
// for forging input files inside a test.
#pragma once

#include <array>
#include <bit>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "put_le.h"

namespace testutil {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number
    std::string out;  // everything written to standard output
    std::string err;  // everything written to standard error
};

struct RunOptions {
    std::string cwd;  // working directory of the child, empty: ours
    long fileSizeLimit = -1;  // RLIMIT_FSIZE in bytes, SIGXFSZ ignored; -1: none
    unsigned timeoutSeconds = 30;  // the child is killed by SIGALRM after this
};

// Names parameterised test cases after their `name` field: letters and
// digits kept, everything else turned into '_'.
struct CaseName {
    template <typename Info> std::string operator()(const Info& info) const
    {
        std::string n = info.param.name;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    }
};

inline RunOptions InDir(const std::string& cwd) { return {.cwd = cwd}; }
inline RunOptions FileSizeLimit(long bytes) { return {.cwd = {}, .fileSizeLimit = bytes}; }
inline RunOptions Timeout(unsigned seconds) { return {.cwd = {}, .timeoutSeconds = seconds}; }

// Runs the shell command line in cwd, waits until ready() holds (polled,
// for at most 20 s), sends the signal and returns how the run ended: 128 +
// the signal that ended it, its exit status, or -1 when ready() never held
// (it is then killed). The line should exec the program, so that the signal
// reaches it and not the shell.
int InterruptWhen(const std::string& command, const std::string& cwd, const std::function<bool()>& ready, int signal);

// Runs argv[0] (a path) with the arguments, without a shell, and collects
// its output and status.
RunResult RunProgram(const std::vector<std::string>& argv, const RunOptions& options = {});

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
// Sets an environment variable for the life of the object: its earlier
// value, or its absence, comes back however the test ends.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : fName(name)
    {
        const char* old = getenv(name);
        fHad = old != nullptr;
        if (fHad)
            fOld = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (fHad)
            setenv(fName, fOld.c_str(), 1);
        else
            unsetenv(fName);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* fName;
    std::string fOld;
    bool fHad;
};

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return fPath; }
    std::string operator/(const std::string& name) const { return (fPath / name).string(); }

private:
    std::filesystem::path fPath;
};

// Little-endian byte string builder, chaining the put_le writers.
class Bytes {
public:
    Bytes& u8(uint32_t v) { return put(put_le::U8, v); }
    Bytes& u16(uint32_t v) { return put(put_le::U16, v); }
    Bytes& u32(uint32_t v) { return put(put_le::U32, v); }
    Bytes& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    Bytes& f32(float f) { return u32(std::bit_cast<uint32_t>(f)); }
    Bytes& str(const std::string& s)
    {
        fData += s;
        return *this;
    }
    Bytes& cstr(const std::string& s) { return str(s).u8(0); }
    Bytes& fill(size_t n, uint8_t v = 0) { return str(std::string(n, static_cast<char>(v))); }
    Bytes& add(const Bytes& b) { return str(b.fData); }
    size_t size() const { return fData.size(); }
    const std::string& str() const { return fData; }
    operator const std::string&() const { return fData; }

private:
    Bytes& put(void (*write)(std::string&, uint32_t), uint32_t v)
    {
        write(fData, v);
        return *this;
    }

    std::string fData;
};

uint16_t GetU16(const std::string& s, size_t at);
uint32_t GetU32(const std::string& s, size_t at);
float GetF32(const std::string& s, size_t at);
uint32_t FloatBits(float f);

// The corpus folder of real files (CORPUS_DIR, set by the build), or an
// empty path when it is absent.
inline std::filesystem::path CorpusDir(const char* sub)
{
    std::filesystem::path dir = std::filesystem::path(CORPUS_DIR) / sub;
    std::error_code ec;
    return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path();
}

}  // namespace testutil
