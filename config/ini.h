// The home directory, the configuration file and the reads from it.
#pragma once

#include <cstddef>

#include "config/keys.h"
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
// after the "Failed to find label" message when complain is non-zero. A UTF-8
// file is read by the launcher itself, with Windows' rules. A null key lists
// the section's key names, and a null section (with a null key) the file's
// section names: Windows lists them, whatever the file's encoding.
DWORD GetIniString(const char* section, const char* key, char* out, DWORD size, int complain);
UINT GetIniInt(const char* section, const char* key, UINT fallback);

// Writes stem + ordinal (in base 9) + suffix; 0 when the ordinal is past the list's end
// or the name does not fit.
int ListKeyName(char* out, size_t capacity, const char* stem, unsigned ordinal, const char* suffix);

// --- Values that more than one part of the launcher reads ---

// ApplicationName, which names both the registry key and the single-instance
// marker. Required: as GetIniString with complain set.
DWORD ReadApplicationName(char* out, DWORD capacity);

// The control folder: OcxPath of SystemOcx appended to the home directory (the
// home directory when absent; a value with a drive is used as read). The value
// is read into capacity bytes as well. 1 when the folder fitted out.
int GetControlFolder(char* out, size_t capacity);
