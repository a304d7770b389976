// C7E2TXT: prints a C7E0 model file as text.
#include <cstdio>

#include "dump.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        printf("\n usage : C7E2TXT <input>\n");
        printf("           Where <input> is a valid C7E0 format file.\n");
        return 1;
    }
    FILE* input = fopen(argv[1], "rb");
    if (input == nullptr) {
        printf("\n Error : %s could not be opened!\n", argv[1]);
        return 2;
    }
    int status = DumpModel(input, argv[1], stdout);
    fclose(input);
    return status;
}
