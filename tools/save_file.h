// Writes a generated file whole, saying on standard error when it cannot.
#pragma once

#include <cstdio>
#include <string>

inline bool SaveFile(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    bool ok = f != nullptr && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f != nullptr && fclose(f) != 0)
        ok = false;
    if (!ok)
        fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}
