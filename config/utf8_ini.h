// Configuration files in UTF-8. Windows' profile reads take such a file for
// the machine's code page (and a UTF-8 byte order mark hides the first
// section), so the launcher reads them itself, with the same rules.
#pragma once

#include "platform/win32.h"

// Reads the file at path and keeps its text when it is UTF-8; forgets any
// text kept before.
void KeepUtf8Ini(const char* path);
// Whether a UTF-8 text is kept: the reads below answer for it.
int HasUtf8Ini();

// As Windows' profile reads with an empty default: the count of bytes
// copied, the value cut to size - 1 bytes at a whole character.
DWORD ReadUtf8IniString(const char* section, const char* key, char* out, DWORD size);
