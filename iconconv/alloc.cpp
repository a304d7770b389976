// The icon converter's one allocator: every block it holds comes from here.
#include <cstdio>
#include <cstdlib>

#include "icon.h"

void* (*icon_calloc)(size_t, size_t) = calloc;

void* icon_alloc(size_t count)
{
    void* p = icon_calloc(count == 0 ? 1 : count, 1);
    if (p == nullptr) {
        perror("malloc");
        exit(1);
    }
    return p;
}
