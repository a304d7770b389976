#include "Shell.h"

#include <cstdlib>

static int (*shellHook)(const char*) = nullptr;

int shell_system(const char* command)
{
    return shellHook != nullptr ? shellHook(command) : system(command);
}

void set_shell_system_hook(int (*hook)(const char*))
{
    shellHook = hook;
}
