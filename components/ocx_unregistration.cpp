#include "components/ocx_unregistration.h"

#include "base/bounded_text.h"
#include "base/trace.h"
#include "components/app_registry.h"
#include "components/file_version.h"
#include "components/machine_registration.h"
#include "components/ocx_registration.h"
#include "components/registry.h"
#include "config/paths.h"
#include "platform/win32.h"

constexpr DWORD kNameCapacity = 260;
constexpr DWORD kEmptyTextSize = 1;  // the NUL alone


// Loads a control, calls one of its entry points and frees it again; 1 when
// the entry point reported success.
static int CallServerEntry(const char* path, const char* entry_name) {
  SupportsSelfRegister(path);
  DWORD error = 0;
  HMODULE library = LoadControlLibrary(path, &error);
  if (library == nullptr) return 0;
  FARPROC entry = GetProcAddress(library, entry_name);
  int done = entry != nullptr && CallSelfRegisterEntry(entry) == 0;
  FreeLibrary(library);
  return done;
}

int UnregisterOCXFile(const char* path) {
  // Without any folder the search path would pick the file, maybe one
  // planted beside the launcher.
  if (!HasFolder(path)) {
    TraceEvent("Not loaded: the record names no folder");
    return 0;
  }
  return CallServerEntry(path, "DllUnregisterServer");
}

// A control's DllUnregisterServer deletes its keys whichever file they name:
// the file they named before registers again. (A control's keys all name one
// file; where they name two, the server's file is the one put back.)
static void RegisterAgainWhereLost(const char* type_library, const char* class_key,
                                   const MachineRegistration& before) {
  const char* lost = LostFile(type_library, class_key, before);
  if (lost == nullptr) return;
  int done = HasFolder(lost) && CallServerEntry(lost, "DllRegisterServer");
  TraceNamed(done ? "Registered again: " : "Could not register again: ", lost);
}

// Asks for the right to set the record only now, so a walk that finds
// nothing to do writes nothing.
static void EmptyRecord(HKEY identifier, const char* record_path) {
  HKEY record = nullptr;
  if (OpenRegistryKey(identifier, record_path, 0, KEY_SET_VALUE, &record) != ERROR_SUCCESS) return;
  WriteRegistryValue(record, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), kEmptyTextSize);
  RegCloseKey(record);
}

// The walk leaves the machine with the registration it had: the file that
// the machine's keys name is never unregistered, and what the older file's
// unregistration takes from the current one is put back.
static void UnregisterRecordedFile(HKEY identifier, const char* library_identifier,
                                   const char* record_path, const char* recorded) {
  // A record the launcher wrote has the path of an Ocx<n>TypeLib value; one
  // longer is not ours to load.
  char type_library[kControlValueCapacity];
  char class_key[kControlValueCapacity];
  MachineRegistration before;
  if (!FormatText(type_library, sizeof type_library, "%s\\%s", library_identifier, record_path))
    return;
  FindConfiguredClass(type_library, class_key);
  ReadMachineRegistration(type_library, class_key, &before);
  if (NamesFile(before, recorded)) {
    TraceNamed("Still registered, left alone: ", recorded);
    return;
  }
  TraceEvent(recorded);
  if (UnregisterOCXFile(recorded)) EmptyRecord(identifier, record_path);
  RegisterAgainWhereLost(type_library, class_key, before);
}

// One library identifier's record: its first version's 0\win32 key.
static void UnregisterRecord(HKEY application_key, const char* library_identifier) {
  HKEY identifier = nullptr;
  if (OpenRegistryKey(application_key, library_identifier, 0, KEY_READ, &identifier) != ERROR_SUCCESS)
    return;
  char name[kNameCapacity];
  DWORD size = sizeof name;
  FILETIME written;
  char record_path[kNameCapacity];
  HKEY record = nullptr;
  if (EnumRegistryKey(identifier, 0, name, &size, nullptr, nullptr, nullptr, &written) ==
          ERROR_SUCCESS &&
      FormatText(record_path, sizeof record_path, "%s\\%s\\%s", name, "0", "win32") &&
      OpenRegistryKey(identifier, record_path, 0, KEY_READ, &record) == ERROR_SUCCESS) {
    if (ReadDefaultText(record, name, sizeof name, &size) && size > kEmptyTextSize)
      UnregisterRecordedFile(identifier, library_identifier, record_path, name);
    RegCloseKey(record);
  }
  RegCloseKey(identifier);
}

int DeleteAppRegisteredOCX() {
  TraceEvent("DeleteAppRegisteredOCX");
  char path[kApplicationKeyPathCapacity];
  if (!ApplicationKeyPath(path, sizeof path)) return 0;
  SoftwareKey opened;
  if (OpenSoftwareKey(path, KEY_READ, &opened) != ERROR_SUCCESS) {
    // No Software at all is the failure; no application key, nothing to do.
    int result = opened.software != nullptr ? 1 : 0;
    CloseSoftwareKey(opened);
    return result;
  }
  HKEY application_key = opened.key;
  LONG status = ERROR_SUCCESS;
  for (DWORD index = 0;; ++index) {
    char name[kNameCapacity];
    DWORD size = sizeof name;
    FILETIME written;
    status =
        EnumRegistryKey(application_key, index, name, &size, nullptr, nullptr, nullptr, &written);
    if (status != ERROR_SUCCESS) break;
    UnregisterRecord(application_key, name);
  }
  if (status != ERROR_NO_MORE_ITEMS) {
    char line[kTraceLineCapacity];
    FormatText(line, sizeof line, "EnumKey returned: %ld", static_cast<long>(status));
    TraceEvent(line);
  }
  CloseSoftwareKey(opened);
  return 1;
}

int UnRegisterOCXs() {
  TraceEvent("UnRegisterOCXs");
  return DeleteAppRegisteredOCX();
}
