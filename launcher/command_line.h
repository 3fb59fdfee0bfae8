// The application's command line: program part, blank, "/" and the splash
// window's handle in eight lower-case hexadecimal digits.
#pragma once

#include <cstddef>

#include "platform/win32.h"

// Returns 1 when the whole line fitted into out.
int BuildCommandLine(char* out, size_t capacity, const char* application_directory,
                     const char* program_name, HWND splash);
