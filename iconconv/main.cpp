// pngsmith: writes every image of the icon and cursor files named on the
// command line as a PNG file of its own.
#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "icon.h"
#include "standard_streams.h"

// Exit statuses: 0 when every image was written, 1 after an allocation
// failure or a wrong option, 2 when a file or an image failed.
enum { kStatusUsage = 1, kStatusFailed = 2 };

static const char* const kUsage = "Usage: pngsmith file1.ico [file2.ico .. filen.ico]";

static void print_help(void)
{
    printf("%s\n"
           "Writes every image of Windows icon (ICO) and cursor (CUR) files as a PNG\n"
           "file of its own, named STEM_WWXHH_Bbpp.png after the file's name without\n"
           "its extension, the image's size and its bits per pixel.\n"
           "\n"
           "  -o, --output-dir=DIR  write the PNG files into DIR instead of beside\n"
           "                        each input\n"
           "      --help            show this help and exit\n"
           "      --version         show the version and exit\n"
           "  --                    end of options: every later argument is a file\n",
           kUsage);
}

// The report lines are the run's account: a failure to write them whole (a
// full disk) fails the run.
static int close_stdout(int status)
{
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "pngsmith: standard output: %s\n", strerror(errno));
        return kStatusFailed;
    }
    return status;
}

int main(int argc, char** argv)
{
    if (!OpenStandardDescriptors())
        return kStatusFailed;
    enum { kHelp = 256, kVersion };
    static const option kOptions[] = {
        {"output-dir", required_argument, nullptr, 'o'},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    for (int c; (c = getopt_long(argc, argv, "o:", kOptions, nullptr)) != -1;) {
        switch (c) {
        case 'o':
            output_directory = optarg;
            break;
        case kHelp:
            print_help();
            return close_stdout(0);
        case kVersion:
            printf("pngsmith %s\n", CONVERTER_VERSION);
            return close_stdout(0);
        default:
            fprintf(stderr, "Try 'pngsmith --help' for more information.\n");
            return kStatusUsage;
        }
    }
    if (optind == argc) {
        printf("%s\n", kUsage);
        return close_stdout(0);
    }
    int status = 0;
    for (int i = optind; i < argc; i++)
        if (load_icon(argv[i]) != 0)
            status = kStatusFailed;
    return close_stdout(status);
}
