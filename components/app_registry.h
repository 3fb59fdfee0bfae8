// The application registry key (Software, then company, application and
// version below HKEY_LOCAL_MACHINE), which records the levels the launcher made, can stop
// the launcher, and holds the replaced-control records.
#pragma once

#include "platform/win32.h"

constexpr unsigned kApplicationKeyPathCapacity = 260;  // three names, closing separator
constexpr unsigned kRecordKeyPathCapacity = 360;       // three names and a type library
// CompanyName, ApplicationName and ApplicationVersion together, so that
// Software\<company>\<application>\<version>\ fits 259 characters.
constexpr unsigned kApplicationNamesLimit = 247;

// Reads CompanyName, ApplicationName and ApplicationVersion. 0 when one is
// missing (named by missing_key) or they do not fit one key path
// (missing_key null); the user is told when complain is set.
int ReadApplicationNames(int complain, const char** missing_key);
// 1 when the application registry key is there (read only).
int ApplicationKeyExists();

// Reads the three names and makes the key chain. 1 when the chain exists and
// any KeysCreated write succeeded.
int CreateApplicationKeys();
// 1 when the key's AutoRunDisabled value reads as the number 1.
int IsAutoRunDisabled();
// 1 when the walk at exit would find a record of type_library: it looks only
// at <library>\<the library's first version>\0\win32; one of another version
// would hide that version's record or be hidden by it.
int RecordWouldBeWalked(const char* type_library);
// Records that the control under type_library was registered with file_path,
// where the walk at exit finds it (traced otherwise, 0).
int CreateOCXKey(const char* type_library, const char* file_path);
// The record's path now, into out: the empty text when there is no record or
// it was emptied. 0 when the registry could not tell.
int ReadOCXKey(const char* type_library, char* out, DWORD capacity);
// Puts back a path that ReadOCXKey gave, quietly (the empty text empties the record).
int RestoreOCXKey(const char* type_library, const char* file_path);

// The application registry key's path below Software, without a closing
// separator; 0 when a name is empty (not read) or the path does not fit.
int ApplicationKeyPath(char* out, size_t capacity);

// ApplicationName as CreateApplicationKeys read it; empty before, or when
// a name was missing or the names were too long.
const char* GetApplicationName();
