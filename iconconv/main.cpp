// pngsmith: writes every image of the icon and cursor files named on the
// command line as a PNG file of its own, or lists them, or writes one image
// to standard output.
#include <fcntl.h>
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "file_chores.h"
#include "icon.h"
#include "output_file.h"
#include "standard_streams.h"

// Exit statuses: 0 when every image was written, 1 after an allocation
// failure or a wrong option, 2 when a file or an image failed.
enum { kStatusUsage = 1, kStatusFailed = 2 };

static const char* const kUsage = "Usage: pngsmith file1.ico [file2.ico .. filen.ico]";

static void print_help(void)
{
    printf("%s\n"
           "Writes every image of icon and cursor files (Windows ICO and CUR, OS/2\n"
           "icons and pointers, Windows 1.x icons) as a PNG file of its own, named\n"
           "STEM_WWXHH_Bbpp.png after the file's name without its extension, the\n"
           "image's size and its bits per pixel. Animated cursors (ANI) and Windows\n"
           "programs and libraries (PE: .exe, .dll, ...; NE: 16-bit programs, .icl)\n"
           "give STEM_fNN_... for frame NN and STEM_GROUP_... for an icon group.\n"
           "\n"
           "  -o, --output-dir=DIR  write the PNG files into DIR instead of beside\n"
           "                        each input; with DIR '-', write the one selected\n"
           "                        image to standard output (the report then goes\n"
           "                        to standard error)\n"
           "  -l, --list            list the images (number, size, depth, PNG or\n"
           "                        bitmap, bytes, a cursor's hotspot); write nothing\n"
           "  -i, --index=N         only image N of each file, counted from 1 as the\n"
           "                        listing numbers them\n"
           "  -w, --width=W         only images W pixels wide\n"
           "      --height=H        only images H pixels high\n"
           "  -b, --bit-depth=B     only images of B bits per pixel\n"
           "      --largest         only the largest image (area, then depth, then\n"
           "                        the first)\n"
           "      --group=NAME|ID   only the program's icon group of that name or ID\n"
           "      --frame=N         only frame N of an animated cursor\n"
           "  -h, --help            show this help and exit\n"
           "      --version         show the version and exit\n"
           "  --                    end of options: every later argument is a file\n"
           "\n"
           "Examples:\n"
           "  pngsmith --list favicon.ico\n"
           "  pngsmith --largest -o - favicon.ico > favicon.png\n"
           "  pngsmith -w 32 --height=32 -o out icons/*.ico\n"
           "  pngsmith --list app.exe\n"
           "  pngsmith --group=1 --largest -o - app.exe > app.png\n",
           kUsage);
}

// The report lines are the run's account: a failure to write them whole (a
// full disk) fails the run.
static int close_stdout(int status)
{
    if (!StandardOutputWritten()) {
        fprintf(stderr, "pngsmith: standard output: %s\n", strerror(errno));
        return kStatusFailed;
    }
    return status;
}

static int usage_error(const char* message)
{
    fprintf(stderr, "pngsmith: %s\nTry 'pngsmith --help' for more information.\n", message);
    return kStatusUsage;
}

// A selection number: 1 to INT_MAX, all digits. False for anything else.
static bool parse_number(const char* text, int* value)
{
    if (*text < '0' || *text > '9')
        return false;
    errno = 0;
    char* end;
    long n = strtol(text, &end, 10);
    if (*end != '\0' || errno != 0 || n < 1 || n > INT_MAX)
        return false;
    *value = static_cast<int>(n);
    return true;
}

int main(int argc, char** argv)
{
    if (!OpenStandardDescriptors())
        return kStatusFailed;
    enum { kHeight = 256, kLargest, kVersion, kGroup, kFrame };
    static const option kOptions[] = {
        {"output-dir", required_argument, nullptr, 'o'}, {"list", no_argument, nullptr, 'l'},
        {"index", required_argument, nullptr, 'i'},      {"width", required_argument, nullptr, 'w'},
        {"height", required_argument, nullptr, kHeight}, {"bit-depth", required_argument, nullptr, 'b'},
        {"largest", no_argument, nullptr, kLargest},     {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, kVersion},     {"group", required_argument, nullptr, kGroup},
        {"frame", required_argument, nullptr, kFrame},   {nullptr, 0, nullptr, 0},
    };
    icon_options options = {};
    int index = 0, frame = 0;
    for (int c, at = 0; (c = getopt_long(argc, argv, "o:li:w:b:h", kOptions, &at)) != -1; at = 0) {
        int* number = nullptr;
        switch (c) {
        case 'o':
            options.to_stdout = strcmp(optarg, "-") == 0;
            options.output_directory = options.to_stdout ? nullptr : optarg;
            break;
        case 'l':
            options.list = true;
            break;
        case 'i':
            number = &index;
            break;
        case 'w':
            number = &options.width;
            break;
        case kHeight:
            number = &options.height;
            break;
        case 'b':
            number = &options.bit_depth;
            break;
        case kLargest:
            options.largest = true;
            break;
        case kGroup:
            options.group = optarg;
            break;
        case kFrame:
            number = &frame;
            break;
        case 'h':
            print_help();
            return close_stdout(0);
        case kVersion:
            printf("pngsmith %s\n", CONVERTER_VERSION);
            return close_stdout(0);
        default:
            fprintf(stderr, "Try 'pngsmith --help' for more information.\n");
            return kStatusUsage;
        }
        if (number != nullptr && !parse_number(optarg, number)) {
            char message[96];
            snprintf(message, sizeof message, "'%.40s' is not a number from 1 up for %s", optarg,
                     c == 'i'      ? "--index"
                     : c == 'w'    ? "--width"
                     : c == 'b'    ? "--bit-depth"
                     : c == kFrame ? "--frame"
                                   : "--height");
            return usage_error(message);
        }
    }
    options.index = static_cast<unsigned>(index);
    options.frame = static_cast<unsigned>(frame);
    if (optind == argc) {
        printf("%s\n", kUsage);
        return close_stdout(0);
    }
    if (options.to_stdout && !options.list) {
        if (argc - optind > 1)
            return usage_error("-o - writes one image: name one file");
        if (isatty(STDOUT_FILENO))
            return usage_error("-o - writes PNG data, and standard output is a terminal: redirect it or pipe it");
    }
    // The output folder is checked once, before any file is read.
    if (options.output_directory != nullptr && !options.list) {
        struct stat folder;
        int error = stat(options.output_directory, &folder) != 0 ? errno : S_ISDIR(folder.st_mode) ? 0 : ENOTDIR;
        if (error != 0) {
            fputs("pngsmith: ", stderr);
            PutName(stderr, options.output_directory, isatty(STDERR_FILENO) != 0);
            fprintf(stderr, ": %s\n", strerror(error));
            return kStatusFailed;
        }
    }
    remove_output_on_signals();
    icon_run run = {};
    int status = 0;
    for (int i = optind; i < argc; i++)
        if (load_icon(argv[i], &options, &run) != 0)
            status = kStatusFailed;
    free_icon_run(&run);
    return close_stdout(status);
}
