// C7E2TXT: prints a C7E0 model file as text.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dump.h"
#include "file_chores.h"
#include "standard_streams.h"

// Exit statuses besides 0: 1 without an argument, 2 when the file cannot be
// read or the dump cannot be written.
enum { kStatusUsage = 1, kStatusFailed = 2 };

static void PrintUsage(FILE* stream)
{
    fprintf(stream, "\n usage : C7E2TXT <input>\n");
    fprintf(stream, "           Where <input> is a valid C7E0 format file.\n");
}

// The dump is data: a failure to hand it whole to standard output (a full
// disk) is the run's failure.
static int CloseOutput(int status)
{
    if (!StandardOutputWritten()) {
        fprintf(stderr, "\n Error : the dump could not be written: %s!\n", strerror(errno));
        return kStatusFailed;
    }
    return status;
}

int main(int argc, char** argv)
{
    if (!OpenStandardDescriptors())
        return kStatusFailed;
    if (argc < 2) {
        PrintUsage(stderr);
        return kStatusUsage;
    }
    if (argc == 2 && strcmp(argv[1], "--help") == 0) {
        PrintUsage(stdout);
        return CloseOutput(0);
    }
    if (argc == 2 && strcmp(argv[1], "--version") == 0) {
        printf("C7E2TXT %s\n", CONVERTER_VERSION);
        return CloseOutput(0);
    }
    FILE* input = fopen(argv[1], "rb");
    if (input == nullptr) {
        fprintf(stderr, "\n Error : %s could not be opened!\n", argv[1]);
        return kStatusFailed;
    }
    // Appending the dump to the model it reads would read the dump back.
    struct stat in, out;
    if (fstat(fileno(input), &in) == 0 && fstat(STDOUT_FILENO, &out) == 0 && !S_ISCHR(in.st_mode) &&
        SameFile(in, out.st_dev, out.st_ino)) {
        fclose(input);
        fprintf(stderr, "\n Error : %s is also standard output!\n", argv[1]);
        return kStatusFailed;
    }
    int status = DumpModel(input, argv[1], stdout, stderr);
    fclose(input);
    return CloseOutput(status);
}
