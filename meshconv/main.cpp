// ZELM: converts the triangle meshes of a 3DS file into one C7E0 model file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "chunk.h"
#include "file_chores.h"
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

static void RemoveOutput(void) { RemoveIfRegular(outputPath); }

static void FailWrite(void)
{
    printf("\nError : Output File Could Not Be Written!\n");
    RemoveOutput();
    exit(kStatusWrite);
}

// An input that cannot seek (a pipe) is read through a stream that can,
// since the chunk walk seeks. Returns the stream to read, or null when none
// can be made.
static FILE* SeekableInput(FILE* input)
{
    return fseeko(input, 0, SEEK_CUR) == 0 ? input : SeekableStream(input);
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
    if (input != nullptr && SameFile(input, outputPath)) {
        fclose(input);
        printf("Error : Input and Output are the same File!");
        exit(kStatusOpen);
    }
    if (input != nullptr)
        input = SeekableInput(input);
    if (input == nullptr) {
        printf("Error : Input File Could Not Be Opened!");
        exit(kStatusOpen);
    }
    FILE* output = fopen(outputPath, "wb");
    if (output == nullptr) {
        fclose(input);
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
