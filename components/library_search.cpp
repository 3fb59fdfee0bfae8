#include "components/library_search.h"

#include "config/ini.h"
#include "config/keys.h"

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD flags);

constexpr DWORD kControlSearch =
    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32;

// Whether SetDefaultDllDirectories took: the search flags work only then.
static bool g_default_directories_set;

// Older systems lack SetDefaultDllDirectories (Windows 7 without its 2011
// loader update); there an empty DLL directory at least takes the working
// directory out of the search.
void NarrowLibrarySearch() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  FARPROC entry = kernel == nullptr ? nullptr : GetProcAddress(kernel, "SetDefaultDllDirectories");
  g_default_directories_set =
      entry != nullptr && reinterpret_cast<SetDefaultDllDirectoriesProc>(
                              reinterpret_cast<void (*)()>(entry))(LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!g_default_directories_set) SetLibraryFolder("");
}

// The control folder goes in as the DLL directory, which the user-directories
// flag covers and which an older system searches right after the control's
// own folder: the same order either way, with no wide path to make. Not the
// default directories: they include the launcher's folder, which today's
// order never searched.
HMODULE LoadControlByFullPath(const char* full_path) {
  char folder[kControlFolderCapacity];
  bool widened = GetControlFolder(folder, sizeof folder) && SetLibraryFolder(folder);
  HMODULE library =
      LoadLibraryFrom(full_path, nullptr,
                     g_default_directories_set ? kControlSearch : LOAD_WITH_ALTERED_SEARCH_PATH);
  if (widened) {
    DWORD error = GetLastError();
    SetLibraryFolder("");
    SetLastError(error);
  }
  return library;
}

#if defined(PRELAUNCH_TESTING)
void ResetLibrarySearchForTests() { g_default_directories_set = false; }
#endif
