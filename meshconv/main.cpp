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
#include "partial_output.h"
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
// (and surplus arguments, and an output that is also standard output), 2
// for an output that cannot be written or an input whose read fails, 3 for
// an input that is not a 3DS file, 4 for a 3DS file whose main chunk does
// not span it and that gave no mesh.
enum { kStatusOpen = 1, kStatusWrite = 2, kStatusNot3ds = 3, kStatusDamaged = 4 };

// The output as named, the file being written (a temporary one beside the
// output's file, or the output itself), and the file it becomes once whole
// (null when it is written in place).
static const char* outputPath;
static char* writtenPath;
static char* finalPath;

static void RemoveOutput(void)
{
    SetPartialOutput(nullptr);
    RemoveIfRegular(writtenPath);
}

static void FailWrite(void)
{
    printf("\nError : Output File Could Not Be Written!\n");
    RemoveOutput();
    exit(kStatusWrite);
}

// An input that cannot seek (a pipe) is read through a stream that can,
// since the chunk walk seeks. Returns the stream to read, or null when none
// can be made.
// (The walk reads nothing at or beyond 4 GiB, so no more is kept; the size
// of a longer pipe is not told, and no size warning is given for it.)
static FILE* SeekableInput(FILE* input)
{
    return fseeko(input, 0, SEEK_CUR) == 0 ? input : SeekableStream(input, kPositionLimit);
}

// Whether the output names the file that standard output writes to, which
// would take the progress text and the model at once; devices such as
// /dev/null are not files.
static bool OutputIsStandardOutput(const char* path)
{
    struct stat named, out;
    return stat(path, &named) == 0 && fstat(STDOUT_FILENO, &out) == 0 && !S_ISCHR(named.st_mode) &&
           SameFile(named, out.st_dev, out.st_ino);
}

static char* CopyOf(const char* text)
{
    char* copy = strdup(text);
    if (copy == nullptr) {
        printf("Error : Output File Could Not Be Created!");
        exit(kStatusOpen);
    }
    return copy;
}

// Opens the output for writing. When
// the name leads, through links, to a regular file or to no file yet, the
// model is written to a new temporary file beside that file and renamed
// onto it once whole: the name holds the earlier file or the whole new one,
// never a part of it or a mixture of two runs. A device, a pipe, a link
// that leads nowhere, or a folder where no file can be made beside the
// output is written in place. Sets writtenPath and finalPath.
static FILE* OpenOutput(const char* path)
{
    struct stat status, link;
    bool exists = stat(path, &status) == 0;
    bool inPlace = exists ? !S_ISREG(status.st_mode) : lstat(path, &link) == 0;
    char* target = nullptr;
    if (!inPlace)
        target = exists ? realpath(path, nullptr) : CopyOf(path);
    if (target != nullptr) {
        const char* slash = strrchr(target, '/');
        int folder = slash == nullptr ? 0 : static_cast<int>(slash - target + 1);
        size_t size = strlen(target) + 16;
        char* temporary = static_cast<char*>(malloc(size));
        int fd = -1;
        if (temporary != nullptr) {
            snprintf(temporary, size, "%.*s.%s.XXXXXX", folder, target, target + folder);
            fd = mkstemp(temporary);
        }
        if (fd >= 0) {
            mode_t mask = umask(0);
            umask(mask);
            fchmod(fd, exists ? status.st_mode & 07777 : 0666 & ~mask);
            FILE* output = fdopen(fd, "wb");
            if (output != nullptr) {
                writtenPath = temporary;
                finalPath = target;
                return output;
            }
            close(fd);
            unlink(temporary);
        }
        free(temporary);
        free(target);
    }
    writtenPath = CopyOf(path);
    return fopen(path, "wb");
}

// The input's size: the file's, or for a pipe the bytes it gave in all
// (read to its end). -1 when it cannot be told.
static off_t InputSize(FILE* input)
{
    struct stat status;
    if (fstat(fileno(input), &status) == 0 && S_ISREG(status.st_mode))
        return status.st_size;
    return fseeko(input, 0, SEEK_END) == 0 ? ftello(input) : -1;
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
    struct stat inputStatus;
    if (input != nullptr && (fstat(fileno(input), &inputStatus) != 0 || S_ISDIR(inputStatus.st_mode))) {
        fclose(input);
        input = nullptr;
    }
    if (input != nullptr && SameFile(input, outputPath)) {
        fclose(input);
        printf("Error : Input and Output are the same File!");
        exit(kStatusOpen);
    }
    if (input != nullptr && OutputIsStandardOutput(outputPath)) {
        fclose(input);
        fprintf(stderr, "Error : Output File is also Standard Output!\n");
        exit(kStatusOpen);
    }
    if (input != nullptr)
        input = SeekableInput(input);
    if (input == nullptr) {
        printf("Error : Input File Could Not Be Opened!");
        exit(kStatusOpen);
    }
    RemovePartialOutputOnSignals();
    FILE* output;
    {
        SignalsHeld held;
        output = OpenOutput(outputPath);
        if (output != nullptr)
            SetPartialOutput(writtenPath);
    }
    if (output == nullptr) {
        fclose(input);
        printf("Error : Output File Could Not Be Created!");
        exit(kStatusOpen);
    }
    showProgressDigits = isatty(STDOUT_FILENO);
    escapeNames = showProgressDigits;
    if (WriteFileHeader(output, numMeshes) != 0)
        FailWrite();
    int status = 0;
    uint32_t mainLength = 0;
    int read = ReadMainChunk(input, output, &mainLength);
    if (read == kWriteFailed)
        FailWrite();
    if (InputReadError() != 0) {
        printf("\nError : Input File Read Failed: %s!\n", strerror(InputReadError()));
        RemoveOutput();
        exit(kStatusWrite);
    }
    if (read != 0) {
        printf("Error : Input File Could Not Be Read!\n");
        status = kStatusNot3ds;
    } else {
        // A main chunk that does not span the file: the file was cut short,
        // grown, or its bytes were changed (a text transfer).
        off_t size = InputSize(input);
        if (size >= 0 && static_cast<uint64_t>(size) != mainLength) {
            printf("\nWarning : File Size %llu Does Not Match Main Chunk Size %u!\n",
                   static_cast<unsigned long long>(size), mainLength);
            if (numMeshes == 0)
                status = kStatusDamaged;
        }
    }
    bool closed = fclose(output) == 0;
    fclose(input);
    if (!closed)
        FailWrite();

    output = fopen(writtenPath, "r+b");
    if (output == nullptr) {
        RemoveOutput();
        printf("Error : Output File could not be Modified!\n");
        exit(kStatusWrite);
    }
    bool patched = PatchMeshCount(output, numMeshes) == 0;
    closed = fclose(output) == 0;
    if (!patched || !closed)
        FailWrite();
    if (finalPath != nullptr && rename(writtenPath, finalPath) != 0)
        FailWrite();
    SetPartialOutput(nullptr);
    exit(status);
}
