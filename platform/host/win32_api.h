// Host declarations of the Win32 subset the launcher calls. Types keep
// Windows' sizes where the launcher depends on them (DWORD and LONG are 32
// bits); handles are opaque pointers. Implemented in platform/host/*.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define APIENTRY

typedef int BOOL;
typedef int INT;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef char CHAR;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* HANDLE;
typedef HANDLE* LPHANDLE;
typedef DWORD* LPDWORD;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef int HFILE;

struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HDC__;
typedef HDC__* HDC;

#define TRUE 1
#define FALSE 0

#define MAX_PATH 260

// Errors
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#define ERROR_FILENAME_EXCED_RANGE 206L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L

// Files
#define OF_EXIST 0x4000
#define HFILE_ERROR ((HFILE)-1)
#define OFS_MAXPATHNAME 128

typedef struct _OFSTRUCT {
  BYTE cBytes;
  BYTE fFixedDisk;
  WORD nErrCode;
  WORD Reserved1;
  WORD Reserved2;
  CHAR szPathName[OFS_MAXPATHNAME];
} OFSTRUCT, *LPOFSTRUCT;

// Message boxes
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONINFORMATION 0x00000040L
#define MB_DEFBUTTON2 0x00000100L
#define IDOK 1
#define IDCANCEL 2
#define IDRETRY 4

// Display and windows
#define BITSPIXEL 12
#define SW_SHOWNOACTIVATE 4
typedef BOOL(CALLBACK* WNDENUMPROC)(HWND window, LPARAM value);

// The 32-bit record: eight 32-bit fields, as Win32 lays it out.
typedef struct _MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  DWORD dwTotalPhys;
  DWORD dwAvailPhys;
  DWORD dwTotalPageFile;
  DWORD dwAvailPageFile;
  DWORD dwTotalVirtual;
  DWORD dwAvailVirtual;
} MEMORYSTATUS, *LPMEMORYSTATUS;

// Processes and waiting
#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_FAILED 0xFFFFFFFF
#define PM_REMOVE 0x0001

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  BYTE* lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
} STARTUPINFOA, *LPSTARTUPINFOA;

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

typedef struct tagPOINT {
  LONG x;
  LONG y;
} POINT;

typedef struct tagMSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
} MSG, *LPMSG;

// Kernel
DWORD WINAPI GetLastError(void);
void WINAPI SetLastError(DWORD error);
DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR filename, DWORD size);
HFILE WINAPI OpenFile(LPCSTR path, LPOFSTRUCT record, UINT style);
BOOL WINAPI SetCurrentDirectoryA(LPCSTR path);
DWORD WINAPI GetTempPathA(DWORD size, LPSTR buffer);
DWORD WINAPI GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback,
                                      LPSTR out, DWORD size, LPCSTR file);
UINT WINAPI GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT fallback, LPCSTR file);
BOOL WINAPI IsDBCSLeadByte(BYTE c);
void WINAPI OutputDebugStringA(LPCSTR text);
BOOL WINAPI CreateProcessA(LPCSTR application, LPSTR command_line,
                           LPSECURITY_ATTRIBUTES process_attributes,
                           LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                           DWORD creation_flags, LPVOID environment, LPCSTR current_directory,
                           LPSTARTUPINFOA startup_info,
                           LPPROCESS_INFORMATION process_information);
BOOL WINAPI CloseHandle(HANDLE handle);
void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS status);
HANDLE WINAPI CreateSemaphoreA(LPSECURITY_ATTRIBUTES attributes, LONG initial_count,
                               LONG maximum_count, LPCSTR name);

// User interface
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                                       DWORD milliseconds, DWORD wake_mask);
BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove);
BOOL WINAPI TranslateMessage(const MSG* msg);
LRESULT WINAPI DispatchMessageA(const MSG* msg);
HWND WINAPI GetDesktopWindow(void);
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC dc);
BOOL WINAPI EnumThreadWindows(DWORD thread_id, WNDENUMPROC callback, LPARAM value);
int WINAPI GetClassNameA(HWND window, LPSTR class_name, int size);
int WINAPI GetWindowTextA(HWND window, LPSTR text, int size);
BOOL WINAPI IsIconic(HWND window);
BOOL WINAPI ShowWindow(HWND window, int command);
BOOL WINAPI BringWindowToTop(HWND window);
BOOL WINAPI SetForegroundWindow(HWND window);

// Graphics
int WINAPI GetDeviceCaps(HDC dc, int index);

// Multimedia
DWORD WINAPI timeGetTime(void);

// The launcher's entry, called by the tests in place of the C runtime.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show);
