// ZELM: converts the triangle meshes of a 3DS file into one C7E0 model file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "chunk.h"
#include "model.h"
#include "optimize.h"
#include "standard_streams.h"
#include "writer.h"

static const char* const kBanner = "**************************************\n"
                                   "ZELM - 3DS to Ostralune File COnverter\n"
                                   "            Version " CONVERTER_VERSION "              \n"
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

// Exit statuses besides 0: 1 for a file that cannot be opened or created
// (and surplus arguments), 2 for an output that cannot be written, 3 for an
// input that is not a 3DS file.
enum { kStatusOpen = 1, kStatusWrite = 2, kStatusNot3ds = 3 };

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
    exit(kStatusWrite);
}

// True when the open input and the output name are one file (by device and
// inode, whatever its type), which opening the output for writing would
// empty or disturb.
static bool IsSameFile(FILE* input, const char* path)
{
    struct stat in, out;
    return fstat(fileno(input), &in) == 0 && stat(path, &out) == 0 && in.st_dev == out.st_dev &&
           in.st_ino == out.st_ino;
}

// An input that cannot seek (a pipe) is read whole into memory and read
// from there, since the chunk walk seeks. Returns the stream to read, or
// null when the input cannot be read or held; *copy is the memory, which
// the caller frees after closing the stream.
static FILE* SeekableInput(FILE* input, char** copy)
{
    if (fseeko(input, 0, SEEK_CUR) == 0)
        return input;
    size_t size = 0, capacity = 1 << 16;
    char* data = static_cast<char*>(malloc(capacity));
    while (data != nullptr) {
        size += fread(data + size, 1, capacity - size, input);
        if (size < capacity)
            break;
        char* grown = capacity <= SIZE_MAX / 2 ? static_cast<char*>(realloc(data, capacity * 2)) : nullptr;
        if (grown == nullptr)
            free(data);
        data = grown;
        capacity *= 2;
    }
    bool failed = data == nullptr || ferror(input);
    fclose(input);
    if (failed) {
        free(data);
        return nullptr;
    }
    // fmemopen needs a size of at least 1; an empty input reads nothing all
    // the same.
    *copy = data;
    FILE* memory = fmemopen(data, size == 0 ? 1 : size, "rb");
    if (memory != nullptr && size == 0)
        fseeko(memory, 0, SEEK_END);
    return memory;
}

int main(int argc, char** argv)
{
    if (!OpenStandardDescriptors())
        exit(kStatusOpen);
    if (argc <= 2) {
        printf("%s", kBanner);
        exit(0);
    }
    if (argc > 3) {
        printf("Error : Too Many Arguments!\n     Usage : ZELM <Input> <Output>\n");
        exit(kStatusOpen);
    }
    outputPath = argv[2];
    FILE* input = fopen(argv[1], "rb");
    if (input != nullptr && IsSameFile(input, outputPath)) {
        fclose(input);
        printf("Error : Input and Output are the same File!");
        exit(kStatusOpen);
    }
    char* inputCopy = nullptr;
    if (input != nullptr)
        input = SeekableInput(input, &inputCopy);
    if (input == nullptr) {
        printf("Error : Input File Could Not Be Opened!");
        exit(kStatusOpen);
    }
    FILE* output = fopen(outputPath, "wb");
    if (output == nullptr) {
        fclose(input);
        free(inputCopy);
        printf("Error : Output File Could Not Be Created!");
        exit(kStatusOpen);
    }
    showProgressDigits = isatty(STDOUT_FILENO);
    if (WriteFileHeader(output, numMeshes) != 0)
        FailWrite();
    int status = 0;
    int read = ReadMainChunk(input, output);
    if (read == kWriteFailed)
        FailWrite();
    if (read != 0) {
        printf("Error : Input File Could Not Be Read!\n");
        status = kStatusNot3ds;
    }
    bool closed = fclose(output) == 0;
    fclose(input);
    free(inputCopy);
    if (!closed)
        FailWrite();

    output = fopen(outputPath, "r+b");
    if (output == nullptr) {
        RemoveOutput();
        printf("Error : Output File could not be Modified!\n");
        exit(kStatusWrite);
    }
    bool patched = PatchMeshCount(output, numMeshes) == 0;
    closed = fclose(output) == 0;
    if (!patched || !closed)
        FailWrite();
    exit(status);
}
