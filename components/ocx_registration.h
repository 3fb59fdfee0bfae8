// Controls named in the SystemOcx and ApplicationOcx sections are registered
// with a file at least as new as each one's required version.
#pragma once

#include "components/registry.h"
#include "config/keys.h"
#include "platform/win32.h"

// A control's file, made of its folder and its Ocx<n> value.
constexpr unsigned kControlPathCapacity = 360;

// Both passes, SystemOcx first; 1 when both reached the end of their lists.
int RegisterOCXs();
int RegisterOCX(const char* section);
// What the machine's classes say of a control, read only.
struct Registration {
  int type_library_found;            // the type library names an existing file
  int class_found;                   // so does the class's InprocServer32, or the class is NONE
  int version_found;                 // one of those files is at least the required version
  char path[kRegistryTextCapacity];  // the class's file, else the type library's
};
// Reads the machine's classes; a key that cannot be read counts as missing.
void ProbeRegistration(const char* class_key, const char* type_library, const char* dotted_version,
                       Registration* found);
// Reads Ocx<n>TypeLib, Ocx<n>Clsid and Ocx<n>Version (kControlValueCapacity
// bytes each); 0 at the first missing one, whose name is then left in key
// (kListKeyCapacity bytes), after the "Failed to find label" message when
// complain is set.
int ReadCompanions(const char* section, unsigned ordinal, char* type_library, char* class_key,
                   char* version, char* key, int complain);
// The Ocx<n>Clsid value (kControlValueCapacity bytes) of the first control of
// either list whose Ocx<n>TypeLib is type_library; 0 (and empty) when none is.
int FindConfiguredClass(const char* type_library, char* class_key);
// 1 when the control counts as registered and current; may leave a record
// naming the older file that is registered now.
int IsRegistered(const char* control, const char* class_key, const char* type_library,
                 const char* dotted_version);
// 1 when the file registered itself. The library stays loaded. A status
// saying the registry may not be written is noted, not shown.
int RegisterOCXFile(const char* path);
// Loads a control so that its own imports are looked for beside it first. A
// path without a drive and root is made full against the working directory.
// error receives the load's error code, 0 on success.
HMODULE LoadControlLibrary(const char* path, DWORD* error);
// Calls a control's DllRegisterServer or DllUnregisterServer, between the
// control code hooks; the status it gives.
LONG CallSelfRegisterEntry(FARPROC entry);
