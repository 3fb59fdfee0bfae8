// The version and multimedia calls, for the Windows build only.
//
// version.dll and winmm.dll are not KnownDLLs: imported statically, a copy
// lying beside the launcher (a download folder, a CD) would be loaded before
// WinMain runs. So the exe does not import them; each is loaded on first use
// from the system folder by its full path, and the launcher's calls are
// forwarded to its entry points. A library or entry point that cannot be had
// acts as that call failing. Loaded libraries stay loaded for the process;
// the launcher has one thread, so the lazy look-ups need no lock.
#include "launcher/bounded_text.h"
#include "platform/win32.h"

namespace {

struct SystemLibrary {
  const char* name;
  HMODULE module;
  bool tried;
};

struct SystemEntry {
  SystemLibrary* library;
  const char* name;
  FARPROC address;
  bool tried;
};

SystemLibrary g_version = {"version.dll", nullptr, false};
SystemLibrary g_winmm = {"winmm.dll", nullptr, false};

SystemEntry g_version_info_size = {&g_version, "GetFileVersionInfoSizeA", nullptr, false};
SystemEntry g_version_info = {&g_version, "GetFileVersionInfoA", nullptr, false};
SystemEntry g_query_value = {&g_version, "VerQueryValueA", nullptr, false};
SystemEntry g_play_sound = {&g_winmm, "PlaySoundA", nullptr, false};
SystemEntry g_time = {&g_winmm, "timeGetTime", nullptr, false};

// Never a bare name: that would search the launcher's folder first. The
// altered search path makes the library's own imports start from the
// system folder too.
HMODULE LoadSystemLibrary(SystemLibrary* library) {
  if (!library->tried) {
    library->tried = true;
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || !AppendText(path, MAX_PATH, "\\") ||
        !AppendText(path, MAX_PATH, library->name)) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    library->module = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  if (library->module == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
  return library->module;
}

template <typename Function>
Function Resolve(SystemEntry* entry) {
  if (!entry->tried) {
    HMODULE module = LoadSystemLibrary(entry->library);
    if (module == nullptr) return nullptr;
    entry->tried = true;
    entry->address = GetProcAddress(module, entry->name);
  }
  if (entry->address == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(entry->address));
}

typedef DWORD(WINAPI* VersionInfoSizeProc)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* VersionInfoProc)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* QueryValueProc)(LPCVOID, LPCSTR, LPVOID*, PUINT);
typedef BOOL(WINAPI* PlaySoundProc)(LPCSTR, HMODULE, DWORD);
typedef DWORD(WINAPI* TimeProc)(void);

}  // namespace

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR path, LPDWORD handle) {
  if (handle != nullptr) *handle = 0;
  VersionInfoSizeProc call = Resolve<VersionInfoSizeProc>(&g_version_info_size);
  return call == nullptr ? 0 : call(path, handle);
}

BOOL WINAPI GetFileVersionInfoA(LPCSTR path, DWORD handle, DWORD size, LPVOID data) {
  VersionInfoProc call = Resolve<VersionInfoProc>(&g_version_info);
  return call == nullptr ? FALSE : call(path, handle, size, data);
}

BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR sub_block, LPVOID* buffer, PUINT length) {
  QueryValueProc call = Resolve<QueryValueProc>(&g_query_value);
  if (call != nullptr) return call(block, sub_block, buffer, length);
  if (buffer != nullptr) *buffer = nullptr;
  if (length != nullptr) *length = 0;
  return FALSE;
}

BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
  PlaySoundProc call = Resolve<PlaySoundProc>(&g_play_sound);
  return call == nullptr ? FALSE : call(sound, module, flags);
}

// The trace's clock: GetTickCount counts the same milliseconds, more coarsely.
DWORD WINAPI timeGetTime(void) {
  TimeProc call = Resolve<TimeProc>(&g_time);
  return call == nullptr ? GetTickCount() : call();
}
