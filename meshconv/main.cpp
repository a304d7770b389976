// ZELM: converts the triangle meshes of a 3DS file into one C7E0 model file.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "chunk.h"
#include "model.h"
#include "writer.h"

static const char* const kBanner =
    "**************************************\n"
    "ZELM - 3DS to Ostralune File COnverter\n"
    "            Version 1.01              \n"
    "**************************************\n"
    "     Usage : ZELM <Input> <Output>    \n"
    "**************************************\n"
    "Notes :\n"
    "  Input should be a valid 3DS R4\n"
    "  file. Output can be any filename.\n"
    "  Both arguments are required.\n"
    "  Extensions will not be assumed.\n"
    "  Vertex, Face and Mapping data is\n"
    "  written. Vertex and Face normals are\n"
    "  also calculated and written. Multiple\n"
    "  objects are supported.\n"
    "**************************************\n";

static const char* outputPath;

// Deletes the output only when the name itself is a regular file: never a
// device, a pipe or a link such as /dev/stdout.
static void RemoveOutput(void)
{
    struct stat status;
    if (lstat(outputPath, &status) == 0 && S_ISREG(status.st_mode))
        remove(outputPath);
}

static void FailWrite(void)
{
    printf("\nError : Output File Could Not Be Written!\n");
    RemoveOutput();
    exit(2);
}

// True when the open input and the output name are one regular file, which
// opening the output for writing would empty.
static bool IsSameFile(FILE* input, const char* path)
{
    struct stat in, out;
    return fstat(fileno(input), &in) == 0 && S_ISREG(in.st_mode) && stat(path, &out) == 0 &&
           in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

int main(int argc, char** argv)
{
    if (argc <= 2) {
        printf("%s", kBanner);
        exit(0);
    }
    outputPath = argv[2];
    FILE* input = fopen(argv[1], "rb");
    if (input == nullptr) {
        printf("Error : Input File Could Not Be Opened!");
        exit(1);
    }
    if (IsSameFile(input, outputPath)) {
        fclose(input);
        printf("Error : Input and Output are the same File!");
        exit(1);
    }
    FILE* output = fopen(outputPath, "wb");
    if (output == nullptr) {
        fclose(input);
        printf("Error : Output File Could Not Be Created!");
        exit(1);
    }
    OnWriteFailure = FailWrite;
    if (WriteFileHeader(output, numMeshes) != 0)
        FailWrite();
    if (ReadMainChunk(input, output) != 0)
        printf("Error : Input File Could Not Be Read!\n");
    bool closed = fclose(output) == 0;
    fclose(input);
    if (!closed)
        FailWrite();

    output = fopen(outputPath, "r+b");
    if (output == nullptr) {
        RemoveOutput();
        printf("Error : Output File could not be Modified!\n");
        exit(2);
    }
    bool patched = PatchMeshCount(output, numMeshes) == 0;
    closed = fclose(output) == 0;
    if (!patched || !closed)
        FailWrite();
    exit(0);
}
