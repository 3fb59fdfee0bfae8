// The home directory, the configuration file and the reads from it.
#pragma once

#include <cstddef>

#include "platform/win32.h"

// Computes the home directory and configuration file path from the module's
// file name and checks that the file exists. Returns the path's length plus
// one, or 0 (after telling the user when the file is missing).
unsigned GetIniFileName(HMODULE module);

// All three are empty until GetIniFileName has succeeded.
const char* GetHomeDirectory();
const char* GetIniFilePath();
// The file the launcher was started as, without its folder ("SETUP.EXE").
const char* GetLauncherFileName();

// Returns the number of characters read; 0 for a missing or empty value,
// after the "Failed to find label" message when complain is non-zero.
DWORD GetIniString(const char* section, const char* key, char* out, DWORD size, int complain);
UINT GetIniInt(const char* section, const char* key, UINT fallback);

// Numbered list keys carry their ordinal in base 9 ("Ocx10" is the ninth).
constexpr unsigned kListKeyCapacity = 32;
constexpr unsigned kLastListOrdinal = 728;  // "888": three base-9 digits
// Writes stem + ordinal + suffix; 0 when the ordinal is past the list's end
// or the name does not fit.
int ListKeyName(char* out, size_t capacity, const char* stem, unsigned ordinal, const char* suffix);
