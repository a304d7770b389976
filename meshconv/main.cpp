// ZELM: converts the triangle meshes of a 3DS file into one C7E0 model file.
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
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
#include "output_file.h"
#include "seekable_stream.h"
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

// The model file being written, through the shared output component.
static output_file output;

static void FailWrite(void)
{
    printf("\nError : Output File Could Not Be Written!\n");
    output_abandon(&output);
    exit(kStatusWrite);
}

// An input that cannot seek (a pipe) is read through a stream that can,
// since the chunk walk seeks: a bounded part of it in memory, the rest in
// an unlinked temporary file. Returns the stream to read, or null when
// none can be made.
static FILE* SeekableInput(FILE* input)
{
    return fseeko(input, 0, SEEK_CUR) == 0 ? input : SeekableStream(input, kPositionLimit, kPipeMemory);
}

// Whether the named file is the file that standard output writes to;
// devices such as /dev/null are not files.
static bool IsStandardOutput(const struct stat& named)
{
    struct stat out;
    return fstat(STDOUT_FILENO, &out) == 0 && !S_ISCHR(named.st_mode) && SameFile(named, out.st_dev, out.st_ino);
}

// Compares the input's size with its main chunk's length and says when
// they differ. A file's size is known; of a pipe only the main chunk's
// length and one byte more are read, so an endless pipe costs nothing.
// Returns true when they differ, false when they match or the size cannot
// be told (a failed read is left to InputReadError).
static bool WarnOfSizeMismatch(FILE* input, uint32_t mainLength)
{
    struct stat status;
    if (fstat(fileno(input), &status) == 0 && S_ISREG(status.st_mode)) {
        if (static_cast<uint64_t>(status.st_size) == mainLength)
            return false;
        printf("\nWarning : File Size %llu Does Not Match Main Chunk Size %u!\n",
               static_cast<unsigned long long>(status.st_size), mainLength);
        return true;
    }
    clearerr(input);
    bool beyond = fseeko(input, static_cast<off_t>(mainLength), SEEK_SET) == 0 && getc(input) != EOF;
    if (ferror(input))
        return false;
    if (beyond) {
        printf("\nWarning : File Size Exceeds Main Chunk Size %u!\n", mainLength);
        return true;
    }
    // The pipe ended at or before the main chunk's end: its size is known.
    off_t size = fseeko(input, 0, SEEK_END) == 0 ? ftello(input) : -1;
    if (size < 0 || static_cast<uint64_t>(size) == mainLength)
        return false;
    printf("\nWarning : File Size %llu Does Not Match Main Chunk Size %u!\n", static_cast<unsigned long long>(size),
           mainLength);
    return true;
}

// Grows the heap once by a reserve that the largest mesh fits in and asks
// the kernel to back it with huge pages where it can: a mesh's arrays then
// cost a few page faults instead of one per 4 KiB page, which is most of a
// large mesh's system time. Nothing is touched here, so a small file costs
// nothing more.
static void AdviseHugePages(void)
{
    enum : uintptr_t { kReserve = uintptr_t{32} << 20, kHugePage = uintptr_t{2} << 20 };
    void* reserve = malloc(kReserve);
    if (reserve == nullptr)
        return;
    uintptr_t start = (reinterpret_cast<uintptr_t>(reserve) + kHugePage - 1) & ~(kHugePage - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(reserve) + kReserve) & ~(kHugePage - 1);
    if (end > start)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
    free(reserve);
}

int main(int argc, char** argv)
{
    if (!OpenStandardDescriptors())
        exit(kStatusOpen);
    // A mesh's arrays and each pass's working memory are a few megabytes,
    // allocated and freed in turn: kept on the heap instead of mapped and
    // unmapped each time, their pages are faulted in once per run, not once
    // per array.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    AdviseHugePages();
    if (argc <= 2) {
        printf("%s", kBanner);
        exit(0);
    }
    if (argc > 3) {
        printf("Error : Too Many Arguments!\n     Usage : ZELM <Input> <Output>\n");
        exit(kStatusOpen);
    }
    const char* outputPath = argv[2];
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
    struct stat named;
    if (input != nullptr && stat(outputPath, &named) == 0 && IsStandardOutput(named)) {
        fclose(input);
        fprintf(stderr, "Error : Output File is also Standard Output!\n");
        exit(kStatusOpen);
    }
    // The progress text appended to the input would be read back as 3DS
    // data, and would change the file the user named as the input.
    if (input != nullptr && IsStandardOutput(inputStatus)) {
        fclose(input);
        fprintf(stderr, "Error : Input File is also Standard Output!\n");
        exit(kStatusOpen);
    }
    if (input != nullptr)
        input = SeekableInput(input);
    if (input == nullptr) {
        printf("Error : Input File Could Not Be Opened!");
        exit(kStatusOpen);
    }
    remove_output_on_signals();
    int opened = output_open(&output, outputPath, "zelm", &inputStatus);
    if (opened == kOutputIsInput) {
        fclose(input);
        printf("Error : Input and Output are the same File!");
        exit(kStatusOpen);
    }
    if (opened != 0) {
        fclose(input);
        printf("Error : Output File Could Not Be Created!");
        exit(kStatusOpen);
    }
    showProgressDigits = isatty(STDOUT_FILENO);
    escapeNames = showProgressDigits;
    if (WriteFileHeader(output.stream, numMeshes) != 0)
        FailWrite();
    int status = 0;
    uint32_t mainLength = 0;
    int read = ReadMainChunk(input, output.stream, &mainLength);
    if (read == kWriteFailed)
        FailWrite();
    // A main chunk that does not span the file: the file was cut short,
    // grown, or its bytes were changed (a text transfer).
    bool mismatch = read == 0 && InputReadError() == 0 && WarnOfSizeMismatch(input, mainLength);
    if (InputReadError() != 0 || (read == 0 && ferror(input))) {
        int error = InputReadError() != 0 ? InputReadError() : errno != 0 ? errno : EIO;
        printf("\nError : Input File Read Failed: %s!\n", strerror(error));
        output_abandon(&output);
        exit(kStatusWrite);
    }
    fclose(input);
    if (read != 0) {
        printf("Error : Input File Could Not Be Read!\n");
        status = kStatusNot3ds;
    } else if (mismatch && numMeshes == 0) {
        status = kStatusDamaged;
    }
    if (PatchMeshCount(output.stream, numMeshes) != 0 || output_commit(&output) != 0)
        FailWrite();
    exit(status);
}
