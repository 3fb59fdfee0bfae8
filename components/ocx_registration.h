// Controls named in the SystemOcx and ApplicationOcx sections are registered
// with a file at least as new as each one's required version.
#pragma once

#include "platform/win32.h"

constexpr unsigned kControlFolderCapacity = 261;
constexpr unsigned kControlPathCapacity = 360;
constexpr unsigned kControlValueCapacity = 260;

// Both passes, SystemOcx first; 1 when both reached the end of their lists.
int RegisterOCXs();
int RegisterOCX(const char* section);
// 1 when the control counts as registered and current; may leave a record
// naming the older file that is registered now.
int IsRegistered(const char* control, const char* class_key, const char* type_library,
                 const char* dotted_version);
// 1 when the file registered itself. The library stays loaded.
int RegisterOCXFile(const char* path);
// Calls a control's DllRegisterServer or DllUnregisterServer; the status it gives.
LONG CallSelfRegisterEntry(FARPROC entry);
