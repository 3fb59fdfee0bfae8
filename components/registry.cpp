#include "components/registry.h"

constexpr const char* kKeyClass = "szkey";

LONG OpenSoftware(HKEY* software) {
  *software = nullptr;
  LONG status = RegOpenKeyA(HKEY_LOCAL_MACHINE, kSoftwareKey, software);
  if (status != ERROR_SUCCESS) *software = nullptr;
  return status;
}

LONG CreateLastingKey(HKEY parent, const char* name, HKEY* key, DWORD* disposition) {
  *disposition = 0;
  return CreateRegistryKey(parent, name, 0, const_cast<LPSTR>(kKeyClass), REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, key, disposition);
}

static LONG OpenBelowSoftware(const char* path, REGSAM access, int make, SoftwareKey* opened) {
  opened->key = nullptr;
  LONG status = OpenSoftware(&opened->software);
  if (status != ERROR_SUCCESS) return status;
  if (make) {
    DWORD disposition = 0;
    status = CreateLastingKey(opened->software, path, &opened->key, &disposition);
  } else {
    status = OpenRegistryKey(opened->software, path, 0, access, &opened->key);
  }
  if (status != ERROR_SUCCESS) opened->key = nullptr;
  return status;
}

LONG OpenSoftwareKey(const char* path, REGSAM access, SoftwareKey* opened) {
  return OpenBelowSoftware(path, access, 0, opened);
}

LONG MakeSoftwareKey(const char* path, SoftwareKey* opened) {
  return OpenBelowSoftware(path, KEY_ALL_ACCESS, 1, opened);
}

void CloseSoftwareKey(const SoftwareKey& opened) {
  if (opened.key != nullptr) RegCloseKey(opened.key);
  if (opened.software != nullptr) RegCloseKey(opened.software);
}

LONG QueryDefaultText(HKEY key, char* out, DWORD capacity, DWORD* size, DWORD* type) {
  *size = capacity;
  LONG status = ReadRegistryValue(key, nullptr, nullptr, type, reinterpret_cast<BYTE*>(out), size);
  if (status != ERROR_SUCCESS) {
    out[0] = '\0';
    return status;
  }
  // A value stored without its NUL is used only when there is room for one.
  if (*size < capacity) {
    out[*size] = '\0';
    return ERROR_SUCCESS;
  }
  if (out[capacity - 1] == '\0') return ERROR_SUCCESS;
  out[0] = '\0';
  return ERROR_MORE_DATA;
}

int ReadDefaultText(HKEY key, char* out, DWORD capacity, DWORD* size) {
  return QueryDefaultText(key, out, capacity, size, nullptr) == ERROR_SUCCESS ? 1 : 0;
}
