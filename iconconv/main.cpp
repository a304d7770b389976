// pngsmith: writes every image of the icon and cursor files named on the
// command line as a PNG file of its own.
#include <cstdio>

#include "icon.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("%s\n", "Usage: pngsmith file1.ico [file2.ico .. filen.ico]");
        return 0;
    }
    // A name that cannot be opened is passed over silently: the launcher
    // hands over a second name that usually does not exist.
    for (int i = 1; i < argc; i++)
        load_icon(argv[i]);
    return exit_status;
}
