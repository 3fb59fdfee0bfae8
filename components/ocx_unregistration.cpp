#include "components/ocx_unregistration.h"

#include "components/app_registry.h"
#include "components/file_version.h"
#include "components/ocx_registration.h"
#include "launcher/bounded_text.h"
#include "launcher/trace.h"
#include "platform/win32.h"

constexpr DWORD kNameCapacity = 260;
constexpr DWORD kEmptyTextSize = 1;  // the NUL alone
constexpr REGSAM kReadAndSet = KEY_READ | KEY_SET_VALUE;

int UnregisterOCXFile(const char* path) {
  SupportsSelfRegister(path);
  HMODULE library = LoadLibraryA(path);
  if (library == nullptr) return 0;
  FARPROC entry = GetProcAddress(library, "DllUnregisterServer");
  int done = entry != nullptr && CallSelfRegisterEntry(entry) == 0;
  FreeLibrary(library);
  return done;
}

// One library identifier's record: its first version's 0\win32 key.
static void UnregisterRecord(HKEY application_key, const char* library_identifier) {
  HKEY identifier = nullptr;
  if (RegOpenKeyExA(application_key, library_identifier, 0, KEY_READ, &identifier) != ERROR_SUCCESS) return;
  char name[kNameCapacity];
  DWORD size = sizeof name;
  FILETIME written;
  char record_path[kNameCapacity];
  HKEY record = nullptr;
  if (RegEnumKeyExA(identifier, 0, name, &size, nullptr, nullptr, nullptr, &written) == ERROR_SUCCESS &&
      FormatText(record_path, sizeof record_path, "%s\\%s\\%s", name, "0", "win32") &&
      RegOpenKeyExA(identifier, record_path, 0, kReadAndSet, &record) == ERROR_SUCCESS) {
    if (ReadDefaultText(record, name, sizeof name, &size) && size > kEmptyTextSize) {
      TraceEvent(name);
      if (UnregisterOCXFile(name)) {
        RegSetValueExA(record, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), kEmptyTextSize);
      }
    }
    RegCloseKey(record);
  }
  RegCloseKey(identifier);
}

int DeleteAppRegisteredOCX() {
  TraceEvent("DeleteAppRegisteredOCX");
  char path[kApplicationKeyPathCapacity];
  if (!ApplicationKeyPath(path, sizeof path)) return 0;
  HKEY software = nullptr;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software", &software) != ERROR_SUCCESS) return 0;
  HKEY application_key = nullptr;
  if (RegOpenKeyExA(software, path, 0, KEY_READ, &application_key) != ERROR_SUCCESS) {
    RegCloseKey(software);
    return 1;
  }
  LONG status = ERROR_SUCCESS;
  for (DWORD index = 0;; ++index) {
    char name[kNameCapacity];
    DWORD size = sizeof name;
    FILETIME written;
    status = RegEnumKeyExA(application_key, index, name, &size, nullptr, nullptr, nullptr, &written);
    if (status != ERROR_SUCCESS) break;
    UnregisterRecord(application_key, name);
  }
  if (status != ERROR_NO_MORE_ITEMS) {
    char line[kTraceLineCapacity];
    FormatText(line, sizeof line, "EnumKey returned: %ld", static_cast<long>(status));
    TraceEvent(line);
  }
  RegCloseKey(application_key);
  RegCloseKey(software);
  return 1;
}

int UnRegisterOCXs() {
  TraceEvent("UnRegisterOCXs");
  return DeleteAppRegisteredOCX();
}
