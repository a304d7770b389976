// The model dump tool's reader on any bytes: it dumps, or says that the
// file is not a model file or is truncated, and nothing else.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "dump.h"
#include "file_input.h"

static FILE* devNull;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    devNull = fopen("/dev/null", "w");
    return devNull == nullptr ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* in = OpenAsFile(data, size);
    if (in == nullptr)
        return 0;
    int status = DumpModel(in, "fuzz", devNull, devNull);
    fclose(in);
    if (status != 0 && status != 2)
        abort();
    return 0;
}
