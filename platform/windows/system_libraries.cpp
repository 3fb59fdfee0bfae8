// The version and multimedia calls, for the Windows build only.
//
// version.dll and winmm.dll are not KnownDLLs: imported statically, a copy
// lying beside the launcher (a download folder, a CD) would be loaded before
// WinMain runs. So the exe does not import them; each is loaded on first use
// from the system folder by its full path, and the launcher's calls are
// forwarded to its entry points. A library or entry point that cannot be had
// acts as that call failing. Loaded libraries stay loaded for the process;
// the launcher has one thread, so the lazy look-ups need no lock.
#include "base/bounded_text.h"
#include "platform/win32.h"

namespace {

enum Library { kVersion, kMultimedia, kLibraryCount };
enum Entry { kVersionInfoSize, kVersionInfo, kQueryValue, kPlaySound, kTime, kEntryCount };

// Names are constant; what was found starts zeroed, so nothing here needs
// initialised writable data.
const char* const kLibraryNames[kLibraryCount] = {"version.dll", "winmm.dll"};
const struct {
  Library library;
  const char* name;
} kEntries[kEntryCount] = {{kVersion, "GetFileVersionInfoSizeW"},
                           {kVersion, "GetFileVersionInfoW"},
                           {kVersion, "VerQueryValueA"},
                           {kMultimedia, "PlaySoundW"},
                           {kMultimedia, "timeGetTime"}};

HMODULE g_modules[kLibraryCount];
bool g_library_tried[kLibraryCount];
FARPROC g_addresses[kEntryCount];
bool g_entry_tried[kEntryCount];

// Never a bare name: that would search the launcher's folder first. The
// altered search path makes the library's own imports start from the
// system folder too.
HMODULE LoadSystemLibrary(Library library) {
  if (!g_library_tried[library]) {
    g_library_tried[library] = true;
    char path[MAX_PATH];
    UINT length = GetSystemFolder(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !AppendText(path, MAX_PATH, "\\") ||
        !AppendText(path, MAX_PATH, kLibraryNames[library])) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    g_modules[library] = LoadLibraryFrom(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  if (g_modules[library] == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
  return g_modules[library];
}

template <typename Function>
Function Resolve(Entry entry) {
  if (!g_entry_tried[entry]) {
    HMODULE module = LoadSystemLibrary(kEntries[entry].library);
    if (module == nullptr) return nullptr;
    g_entry_tried[entry] = true;
    g_addresses[entry] = GetProcAddress(module, kEntries[entry].name);
  }
  if (g_addresses[entry] == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(g_addresses[entry]));
}

typedef DWORD(WINAPI* VersionInfoSizeProc)(LPCWSTR, LPDWORD);
typedef BOOL(WINAPI* VersionInfoProc)(LPCWSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryValueProc)(LPCVOID, LPCSTR, LPVOID*, PUINT);
typedef BOOL(WINAPI* PlaySoundProc)(LPCWSTR, HMODULE, DWORD);
typedef DWORD(WINAPI* TimeProc)(void);

}  // namespace

DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR path, LPDWORD handle) {
  if (handle != nullptr) *handle = 0;
  VersionInfoSizeProc call = Resolve<VersionInfoSizeProc>(kVersionInfoSize);
  return call == nullptr ? 0 : call(path, handle);
}

BOOL WINAPI GetFileVersionInfoW(LPCWSTR path, DWORD handle, DWORD size, LPVOID data) {
  VersionInfoProc call = Resolve<VersionInfoProc>(kVersionInfo);
  return call == nullptr ? FALSE : call(path, handle, size, data);
}

BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR sub_block, LPVOID* buffer, PUINT length) {
  QueryValueProc call = Resolve<QueryValueProc>(kQueryValue);
  if (call != nullptr) return call(block, sub_block, buffer, length);
  if (buffer != nullptr) *buffer = nullptr;
  if (length != nullptr) *length = 0;
  return FALSE;
}

BOOL WINAPI PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags) {
  PlaySoundProc call = Resolve<PlaySoundProc>(kPlaySound);
  return call == nullptr ? FALSE : call(sound, module, flags);
}

// The trace's clock: GetTickCount counts the same milliseconds, more coarsely.
DWORD WINAPI timeGetTime(void) {
  TimeProc call = Resolve<TimeProc>(kTime);
  return call == nullptr ? GetTickCount() : call();
}
