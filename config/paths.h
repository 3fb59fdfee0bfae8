// Path rules shared by every subsystem: Split, Join and the three ways a
// configured value is resolved against the home directory.
#pragma once

#include <cstddef>

#include "platform/win32.h"

constexpr size_t kPathCapacity = 260;       // 259 characters and NUL
constexpr size_t kDriveCapacity = 3;        // "D:"
constexpr size_t kPathPieceCapacity = 256;  // a split piece holds 255 characters

// Any output may be null; non-null outputs have the capacities above.
// Returns 1 when every piece fitted, 0 when one was cut.
int Split(const char* path, char* drive, char* directory, char* name, char* extension);

// Any input may be null or empty. Returns 1 when the path fitted, 0 when cut.
int Join(char* out, size_t capacity, const char* drive, const char* directory, const char* name,
         const char* extension);

// replace: a value without a drive keeps only its name and extension and
// takes the base folder's drive and directory.
int ResolveReplace(char* out, size_t capacity, const char* base_folder, const char* value);
// append: a value without a drive is put after the base folder and closed
// with a separator; a value with a drive is used as read.
int ResolveAppend(char* out, size_t capacity, const char* base_folder, const char* value);
// prefix: a bare file name is written right after the base folder; anything
// else is used unchanged.
int ResolvePrefix(char* out, size_t capacity, const char* base_folder, const char* value);

// A drive first: a character and a colon ("C:", "C:\GAME.EXE", "C:GAME.EXE").
int HasDrive(const char* path);
// A drive and a root ("C:\"), or a network share ("\\server").
int IsFullPath(const char* path);
// Whether the path names any folder (or drive) at all.
int HasFolder(const char* path);

// Whether a file (not a folder) exists at path.
int FileExists(const char* path);
// Whether a folder exists at path.
int FolderExists(const char* path);

// An existing file opened for reading, which others may read meanwhile;
// INVALID_HANDLE_VALUE when it cannot be opened.
HANDLE OpenFileToRead(const char* path);
