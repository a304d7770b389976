// Running a command line through the platform's shell.
#pragma once

// Runs the line with the C library's system() and returns its result.
int shell_system(const char* command);

// Replaces system() for shell_system, so that tests can record command
// lines; null restores system().
void set_shell_system_hook(int (*hook)(const char* command));
