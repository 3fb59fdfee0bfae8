// The command lines: the application's (program part, blank, "/" and the
// splash window's handle in eight lower-case hexadecimal digits), and the
// launcher's own arguments as WinMain gets them.
#pragma once

#include <cstddef>

#include "platform/win32.h"

// Returns 1 when the whole line fitted into out.
int BuildCommandLine(char* out, size_t capacity, const char* application_directory,
                     const char* program_name, HWND splash);

// The launcher's arguments within its own command line, as the C runtime
// hands them to WinMain: what follows the program's name (quoted or not) and
// the blanks after it. Never null: an absent line has no arguments.
char* ArgumentsAfterProgramName(char* line);
