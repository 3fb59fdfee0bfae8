// File versions: is a file at least as new as a dotted version?
#pragma once

#include "platform/win32.h"

constexpr int kVersionNumbers = 4;

// The four numbers of the file's version ("a.b.c.d"); 0, after tracing why,
// when it has no version information.
int GetFileVersionNumbers(const char* path, DWORD numbers[kVersionNumbers]);

// 1 when the file has version information and its file version is equal to
// or newer than the dotted version ("a.b.c.d"); 0 otherwise.
int CompareFileVersion(const char* path, const char* dotted_version);

// Traces whether a control carries its "OLESelfRegister" string, only when the
// trace log is on. Always 1: it never stops its caller.
int SupportsSelfRegister(const char* path);
