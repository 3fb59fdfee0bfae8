// Controls named in the SystemOcx and ApplicationOcx sections are registered
// with a file at least as new as each one's required version.
#pragma once

#include "platform/win32.h"

// A control's file, made of its folder and its Ocx<n> value.
constexpr unsigned kControlPathCapacity = 360;

// Both passes, SystemOcx first; 1 when both reached the end of their lists.
int RegisterOCXs();
int RegisterOCX(const char* section);
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
// Calls a control's DllRegisterServer or DllUnregisterServer; the status it gives.
LONG CallSelfRegisterEntry(FARPROC entry);
