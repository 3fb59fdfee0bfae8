// The one seam between the launcher and Windows.
//
// On Windows the launcher gets the real API. Elsewhere it gets declarations of
// exactly the calls it makes, with Windows' type sizes, implemented by the
// simulation in platform/host/.
//
// Texts inside the launcher are UTF-8. Calls that carry a path or a text a
// person sees go through the UTF-16 edge declared at the end; the others
// (fixed ASCII names only) are called by their Win32 names.
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winver.h>

// version.dll and winmm.dll are not imported: platform/windows/system_libraries.cpp
// defines these calls and loads the libraries from the system folder. So the
// multimedia header, which declares them imported, is not included.
extern "C" {
BOOL WINAPI PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);
DWORD WINAPI timeGetTime(void);
}
#define SND_ASYNC 0x0001
#define SND_NODEFAULT 0x0002
#define SND_PURGE 0x0040
#define SND_NOWAIT 0x00002000L
#define SND_FILENAME 0x00020000L

#else

#include "platform/host/win32_api.h"

#endif

// --- The UTF-16 edge ---
// Each call takes and gives UTF-8 and answers as the Win32 call named beside
// it does, with lengths in UTF-8 bytes. On Windows platform/windows/
// utf16_edge.cpp converts and calls the wide function; the simulation keeps
// UTF-8. A text cut to a buffer never ends in half a character, and a text
// whose UTF-16 form passes what the edge hands Windows fails the call as an
// over-long name.

// Files, folders and the environment
DWORD GetModulePath(HMODULE module, LPSTR out, DWORD size);       // GetModuleFileName
DWORD GetPathAttributes(LPCSTR path);                             // GetFileAttributes
BOOL SetWorkingFolder(LPCSTR path);                               // SetCurrentDirectory
DWORD GetTempFolder(DWORD size, LPSTR out);                       // GetTempPath
UINT GetSystemFolder(LPSTR out, UINT size);                       // GetSystemDirectory
DWORD GetEnvironmentText(LPCSTR name, LPSTR out, DWORD size);     // GetEnvironmentVariable
DWORD ExpandEnvironmentText(LPCSTR text, LPSTR out, DWORD size);  // ExpandEnvironmentStrings
DWORD GetFullPath(LPCSTR path, DWORD size, LPSTR out);            // GetFullPathName
HANDLE OpenFilePath(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                    DWORD disposition, DWORD flags, HANDLE template_file);  // CreateFile

// Configuration files: ANSI and UTF-16 ones, read as Windows reads them (their
// numbers too: the launcher reads a number from its text as Windows does)
DWORD ReadProfileText(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR out, DWORD size,
                      LPCSTR file);  // GetPrivateProfileString

// Processes, libraries, names shared between processes
BOOL StartProcess(LPCSTR application, LPSTR command_line, LPSECURITY_ATTRIBUTES process_attributes,
                  LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                  DWORD creation_flags, LPVOID environment, LPCSTR current_directory,
                  LPSTARTUPINFOA startup_info,
                  LPPROCESS_INFORMATION process_information);    // CreateProcess, UTF-8 environment
HMODULE LoadLibraryFrom(LPCSTR path, HANDLE file, DWORD flags);  // LoadLibraryEx
BOOL SetLibraryFolder(LPCSTR path);                              // SetDllDirectory
HANDLE OpenNamedSemaphore(DWORD access, BOOL inherit, LPCSTR name);  // OpenSemaphore
HANDLE CreateNamedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial_count,
                            LONG maximum_count, LPCSTR name);  // CreateSemaphore

// Version resources of files
DWORD GetVersionInfoSize(LPCSTR path, LPDWORD handle);                     // GetFileVersionInfoSize
BOOL GetVersionInfo(LPCSTR path, DWORD handle, DWORD size, LPVOID block);  // GetFileVersionInfo

// The registry (fixed ASCII value names with numbers go by RegQueryValueExA
// and RegSetValueExA)
LONG OpenRegistryKey(HKEY key, LPCSTR sub_key, REGSAM access, PHKEY result);  // RegOpenKeyEx
LONG CreateRegistryKey(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR key_class, DWORD options,
                       REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                       LPDWORD disposition);  // RegCreateKeyEx
// The key's default value; a value of another type than text counts as none.
LONG ReadRegistryText(HKEY key, LPDWORD type, LPSTR out, LPDWORD size);  // RegQueryValueEx
LONG WriteRegistryText(HKEY key, LPCSTR name, LPCSTR text);              // RegSetValueEx, REG_SZ
LONG EnumRegistryKey(HKEY key, DWORD index, LPSTR name, LPDWORD name_size,
                     PFILETIME last_write);  // RegEnumKeyEx

// What a person sees and hears
int ShowMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);  // MessageBox
int GetWindowClassName(HWND window, LPSTR out, int size);                // GetClassName
int GetWindowTitle(HWND window, LPSTR out, int size);                    // GetWindowText
BOOL PlaySoundFile(LPCSTR sound, HMODULE module, DWORD flags);           // PlaySound
void WriteDebuggerText(LPCSTR text);                                     // OutputDebugString

#ifdef _WIN32
// The exe's own command line (GetCommandLine), for its entry point.
LPSTR GetProcessCommandLine();
#endif
