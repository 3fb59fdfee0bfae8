// The registry as the components use it: keys below HKEY_LOCAL_MACHINE\Software
// (where the application registry key lives), each made lasting with the
// launcher's key class, and default values read as text.
#pragma once

#include "platform/win32.h"

constexpr char kSoftwareKey[] = "Software";
constexpr unsigned kRegistryTextCapacity = 260;

// HKEY_LOCAL_MACHINE\Software and a key below it, open together.
struct SoftwareKey {
  HKEY software;  // null when Software could not be opened
  HKEY key;       // null when the key could not be opened or made
};

// Opens Software, then path below it with access. The status of the first
// call that failed, ERROR_SUCCESS when both are open.
LONG OpenSoftwareKey(const char* path, REGSAM access, SoftwareKey* opened);
// The same, making path where it is missing (see CreateLastingKey).
LONG MakeSoftwareKey(const char* path, SoftwareKey* opened);
// Closes what either of them opened, the key before Software.
void CloseSoftwareKey(const SoftwareKey& opened);

// HKEY_LOCAL_MACHINE\Software alone.
LONG OpenSoftware(HKEY* software);
// Makes (or opens) name below parent with every access: lasting (a lasting
// key cannot be made below one that goes at restart), with the launcher's
// key class. disposition tells which.
LONG CreateLastingKey(HKEY parent, const char* name, HKEY* key, DWORD* disposition);

// Reads a key's default value as text into out (capacity bytes), always
// terminated; size receives the value's byte count, type (when not null) its
// type. The read's status; ERROR_MORE_DATA when the text does not fit.
LONG QueryDefaultText(HKEY key, char* out, DWORD capacity, DWORD* size, DWORD* type);
// 1 when QueryDefaultText succeeds.
int ReadDefaultText(HKEY key, char* out, DWORD capacity, DWORD* size);
