#include "components/machine_registration.h"

#include <cstring>

#include "base/bounded_text.h"
#include "base/trace.h"

// The path a key's default value names, as Windows reads it: an expandable
// value is expanded, and one pair of surrounding double quotes goes. path
// holds kRegistryTextCapacity bytes, empty on failure; 0 when the value or
// its expansion does not fit.
static int ReadRegisteredPath(HKEY key, char* path) {
  DWORD size = 0, type = 0;
  if (QueryDefaultText(key, path, kRegistryTextCapacity, &size, &type) != ERROR_SUCCESS) return 0;
  if (type == REG_EXPAND_SZ) {
    // Some systems ask one byte more than the text needs.
    char expanded[kRegistryTextCapacity + 1];
    DWORD needed = ExpandEnvironmentText(path, expanded, sizeof expanded);
    if (needed == 0 || needed > sizeof expanded ||
        !CopyText(path, kRegistryTextCapacity, expanded)) {
      path[0] = '\0';
      return 0;
    }
  }
  size_t length = strlen(path);
  if (length >= 2 && path[0] == '"' && path[length - 1] == '"') {
    memmove(path, path + 1, length - 2);
    path[length - 2] = '\0';
  }
  return 1;
}

static LONG OpenClasses(HKEY root, const char* sub_key, HKEY* key) {
  char path[kClassesKeyPathCapacity];
  *key = nullptr;
  if (!FormatText(path, sizeof path, "Software\\Classes\\%s", sub_key)) return ERROR_INVALID_DATA;
  LONG status = OpenRegistryKey(root, path, 0, KEY_READ, key);
  if (status != ERROR_SUCCESS) *key = nullptr;
  return status;
}

// The path root's Software\Classes\<sub_key> names; path is empty without one.
static int ReadClassesPath(HKEY root, const char* sub_key, char* path) {
  path[0] = '\0';
  HKEY key = nullptr;
  if (OpenClasses(root, sub_key, &key) != ERROR_SUCCESS) return 0;
  int read = ReadRegisteredPath(key, path);
  RegCloseKey(key);
  return read;
}

static int TypeLibraryKey(char* out, const char* type_library) {
  return FormatText(out, kClassesKeyPathCapacity, "TypeLib\\%s", type_library);
}

static int ServerKey(char* out, const char* class_key) {
  return FormatText(out, kClassesKeyPathCapacity, "CLSID\\%s\\InprocServer32", class_key);
}

static int HasClass(const char* class_key) {
  return class_key != nullptr && class_key[0] != '\0' && !EqualsNoCase(class_key, kNoClass);
}

void ReadMachineRegistration(const char* type_library, const char* class_key,
                             MachineRegistration* names) {
  char sub_key[kClassesKeyPathCapacity];
  names->type_library[0] = names->server[0] = '\0';
  if (TypeLibraryKey(sub_key, type_library))
    ReadClassesPath(HKEY_LOCAL_MACHINE, sub_key, names->type_library);
  if (HasClass(class_key) && ServerKey(sub_key, class_key))
    ReadClassesPath(HKEY_LOCAL_MACHINE, sub_key, names->server);
}

int NamesFile(const MachineRegistration& names, const char* path) {
  return (names.type_library[0] != '\0' && EqualsNoCase(names.type_library, path)) ||
         (names.server[0] != '\0' && EqualsNoCase(names.server, path));
}

static int StillNames(const char* sub_key, const char* file) {
  char path[kRegistryTextCapacity];
  ReadClassesPath(HKEY_LOCAL_MACHINE, sub_key, path);
  return EqualsNoCase(path, file);
}

const char* LostFile(const char* type_library, const char* class_key,
                     const MachineRegistration& before) {
  char sub_key[kClassesKeyPathCapacity];
  if (before.server[0] != '\0' && ServerKey(sub_key, class_key) &&
      !StillNames(sub_key, before.server))
    return before.server;
  if (before.type_library[0] != '\0' && TypeLibraryKey(sub_key, type_library) &&
      !StillNames(sub_key, before.type_library))
    return before.type_library;
  return nullptr;
}

static void TraceIfOther(const char* sub_key, const char* machine_path) {
  char path[kRegistryTextCapacity];
  if (!ReadClassesPath(HKEY_CURRENT_USER, sub_key, path) || EqualsNoCase(path, machine_path))
    return;
  TraceNamed("Per-user registration not used: ", path);
}

void TracePerUserRegistration(const char* type_library, const char* class_key,
                              const char* machine_path) {
  // The key whose file the probe goes by: the server's, else the type library's.
  char sub_key[kClassesKeyPathCapacity];
  if (HasClass(class_key) ? ServerKey(sub_key, class_key) : TypeLibraryKey(sub_key, type_library))
    TraceIfOther(sub_key, machine_path);
}
