// Libraries: tests register one at a path with its entry points; loading
// needs the file to be there too, as on Windows.
#include <array>
#include <cctype>
#include <cstdlib>
#include <string>
#include <utility>

#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::M;
using sim::detail::Text;

namespace {

// Entry points handed out are plain functions; each calls the test's
// function in its slot.
constexpr size_t kEntrySlots = 32;

template <size_t N>
LONG WINAPI Entry() {
  return M().entry_slots.at(N)();
}

template <size_t... N>
constexpr std::array<LONG(WINAPI*)(), sizeof...(N)> EntryTable(std::index_sequence<N...>) {
  return {&Entry<N>...};
}

const std::array<LONG(WINAPI*)(), kEntrySlots> kEntries =
    EntryTable(std::make_index_sequence<kEntrySlots>());

// kernel32 is always loaded; its handle is the address of this marker.
const char kKernel32 = 0;

HMODULE Kernel32() { return reinterpret_cast<HMODULE>(const_cast<char*>(&kKernel32)); }

bool IsKernel32Name(const char* name) {
  if (name == nullptr) return false;
  std::string upper;
  for (const char* c = name; *c != '\0'; ++c)
    upper += static_cast<char>(toupper(static_cast<unsigned char>(*c)));
  return upper == "KERNEL32.DLL" || upper == "KERNEL32";
}

sim::detail::Library* ByHandle(HMODULE module) {
  for (auto& item : M().libraries) {
    if (reinterpret_cast<HMODULE>(&item.second) == module) return &item.second;
  }
  return nullptr;
}

// The folder of a full path, with its closing separator.
std::string FolderOf(const std::string& full_path) {
  return full_path.substr(0, full_path.find_last_of('\\') + 1);
}

constexpr DWORD kSearchFlags =
    LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_USER_DIRS | LOAD_LIBRARY_SEARCH_SYSTEM32;

std::string WithSeparator(const std::string& folder) {
  return folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
}

// Where the loader looks for a library's imports (see sim.h).
std::vector<std::string> SearchFolders(const std::string& full_path, DWORD flags) {
  bool altered = (flags & LOAD_WITH_ALTERED_SEARCH_PATH) != 0;
  DWORD search = flags & kSearchFlags;
  if (search == 0 && M().default_dll_directories != 0) search = M().default_dll_directories;
  std::vector<std::string> folders;
  if (search != 0) {
    if ((search & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) != 0 || altered)
      folders.push_back(FolderOf(full_path));
    if ((search & LOAD_LIBRARY_SEARCH_USER_DIRS) != 0 && !M().dll_directory.empty())
      folders.push_back(WithSeparator(M().dll_directory));
    if ((search & LOAD_LIBRARY_SEARCH_SYSTEM32) != 0)
      folders.push_back(M().system_directory + "\\");
    return folders;
  }
  folders.push_back(altered ? FolderOf(full_path)
                            : FolderOf(sim::detail::FullWindowsPath(M().module_file_name)));
  if (!M().dll_directory.empty()) folders.push_back(WithSeparator(M().dll_directory));
  folders.push_back(M().system_directory + "\\");
  if (!M().dll_directory_set) folders.push_back(M().current_directory + "\\");
  return folders;
}

bool ImportsFound(const sim::detail::Library& library, const std::string& full_path, DWORD flags) {
  std::vector<std::string> folders = SearchFolders(full_path, flags);
  for (const std::string& name : library.imports) {
    bool found = false;
    for (const std::string& folder : folders) found = found || sim::detail::IsFile(folder + name);
    if (!found) return false;
  }
  return true;
}

bool IsFull(const char* path) {
  return (isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\') ||
         (path[0] == '\\' && path[1] == '\\');
}

HMODULE Load(LPCSTR path, DWORD flags) {
  DWORD search = flags & kSearchFlags;
  // Unknown flags to a loader without the update; the library's own folder
  // needs a full path; the old and new orders do not mix.
  if (search != 0 &&
      (!M().has_default_dll_directories || (flags & LOAD_WITH_ALTERED_SEARCH_PATH) != 0 ||
       ((search & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) != 0 && (path == nullptr || !IsFull(path))))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (path == nullptr || !sim::detail::IsFile(path)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  auto found = M().libraries.find(sim::detail::MapPath(path));
  if (found == M().libraries.end()) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  if (!ImportsFound(found->second, sim::detail::FullWindowsPath(path), flags)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++found->second.loads;
  return reinterpret_cast<HMODULE>(&found->second);
}

BOOL WINAPI SetDefaultDllDirectories(DWORD flags) {
  if (Enter("SetDefaultDllDirectories", {Hex(flags)})) return FALSE;
  // The library's own folder has no meaning for a process-wide search.
  if (flags == 0 || (flags & LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  M().default_dll_directories = flags;
  return TRUE;
}

}  // namespace

namespace sim {

void SetDefaultDllDirectoriesPresent(bool present) { M().has_default_dll_directories = present; }

DWORD DefaultDllDirectories() { return M().default_dll_directories; }

void AddLibrary(const std::string& windows_path,
                std::map<std::string, std::function<LONG()>> entries,
                std::vector<std::string> imports) {
  if (!detail::IsFile(windows_path)) WriteFile(windows_path, "MZ");
  detail::Library& library = M().libraries[detail::MapPath(windows_path)];
  library.path = windows_path;
  library.entries = std::move(entries);
  library.imports = std::move(imports);
}

int LoadedLibraryCount() {
  int count = 0;
  for (const auto& item : M().libraries) count += item.second.loads > 0 ? 1 : 0;
  return count;
}

bool LibraryLoaded(const std::string& windows_path) {
  auto found = M().libraries.find(detail::MapPath(windows_path));
  return found != M().libraries.end() && found->second.loads > 0;
}

}  // namespace sim

HMODULE WINAPI LoadLibraryA(LPCSTR path) {
  if (Enter("LoadLibraryA", {Text(path)})) return nullptr;
  return Load(path, 0);
}

HMODULE WINAPI LoadLibraryFrom(LPCSTR path, HANDLE file, DWORD flags) {
  if (Enter("LoadLibraryFrom", {Text(path), file == nullptr ? "(null)" : "file", Hex(flags)}))
    return nullptr;
  if (file != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return Load(path, flags);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  if (Enter("GetModuleHandleA", {Text(name)})) return nullptr;
  if (IsKernel32Name(name)) return Kernel32();
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
  if (Enter("GetProcAddress", {Hex(reinterpret_cast<uintptr_t>(module)), Text(name)}))
    return nullptr;
  if (module == Kernel32()) {
    if (name != nullptr && std::string(name) == "GlobalMemoryStatusEx") {
      return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&GlobalMemoryStatusEx));
    }
    if (name != nullptr && std::string(name) == "SetDefaultDllDirectories" &&
        M().has_default_dll_directories) {
      return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&SetDefaultDllDirectories));
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  sim::detail::Library* library = ByHandle(module);
  if (library == nullptr || library->loads == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto entry = library->entries.find(name == nullptr ? "" : name);
  if (entry == library->entries.end()) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  auto slot = library->slots.find(entry->first);
  if (slot == library->slots.end()) {
    std::vector<std::function<LONG()>>& slots = M().entry_slots;
    if (slots.size() >= kEntrySlots) abort();
    slots.push_back(entry->second);
    slot = library->slots.emplace(entry->first, slots.size() - 1).first;
  }
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(kEntries[slot->second]));
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  sim::detail::Note("FreeLibrary", {Hex(reinterpret_cast<uintptr_t>(module))});
  sim::detail::Library* library = ByHandle(module);
  if (library == nullptr || library->loads == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  --library->loads;
  return TRUE;
}

// An empty folder takes the working directory out of the search; no folder
// (null) puts it back.
BOOL WINAPI SetLibraryFolder(LPCSTR path) {
  if (Enter("SetLibraryFolder", {Text(path)})) return FALSE;
  M().dll_directory_set = path != nullptr;
  M().dll_directory = path == nullptr ? "" : path;
  return TRUE;
}
