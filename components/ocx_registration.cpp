#include "components/ocx_registration.h"

#include <cstring>

#include "base/bounded_text.h"
#include "base/message.h"
#include "base/trace.h"
#include "components/app_registry.h"
#include "components/control_code_hooks.h"
#include "components/file_version.h"
#include "components/library_search.h"
#include "components/machine_registration.h"
#include "components/refused_writes.h"
#include "components/registry.h"
#include "config/ini.h"
#include "config/keys.h"
#include "config/paths.h"
#include "platform/win32.h"

constexpr DWORD kPathTooLong = 0xCE;  // ERROR_FILENAME_EXCED_RANGE

void ProbeRegistration(const char* class_key, const char* type_library, const char* dotted_version,
                       Registration* found) {
  found->class_found = found->version_found = found->type_library_found = 0;
  found->path[0] = '\0';
  MachineRegistration names;
  ReadMachineRegistration(type_library, class_key, &names);
  if (!FileExists(names.type_library)) return;
  found->type_library_found = 1;
  CopyText(found->path, sizeof found->path, names.type_library);
  found->version_found = CompareFileVersion(found->path, dotted_version);
  // A control without a class of its own: its type library decides.
  if (EqualsNoCase(class_key, kNoClass)) {
    found->class_found = 1;
    return;
  }
  if (!FileExists(names.server)) return;
  // The server's file replaces the type library's.
  found->class_found = 1;
  CopyText(found->path, sizeof found->path, names.server);
  if (!found->version_found) found->version_found = CompareFileVersion(found->path, dotted_version);
}

// A look that only verifies a registration (record 0) leaves the records
// as they are: the file it finds is the one just registered.
static int Probe(const char* control, const char* class_key, const char* type_library,
                 const char* dotted_version, int record) {
  Registration found;
  ProbeRegistration(class_key, type_library, dotted_version, &found);

  char line[kTraceLineCapacity];
  FormatText(line, sizeof line, "IsRegistered: %s Clsid: %d Version: %d TypeLib: %d", control,
             found.class_found, found.version_found, found.type_library_found);
  TraceEvent(line);
  TracePerUserRegistration(type_library, class_key, found.path);
  if (!found.class_found) return 0;
  if (!found.version_found) {
    if (record) CreateOCXKey(type_library, found.path);
    return 0;
  }
  return 1;
}

int IsRegistered(const char* control, const char* class_key, const char* type_library,
                 const char* dotted_version) {
  return Probe(control, class_key, type_library, dotted_version, 1);
}

LONG CallSelfRegisterEntry(FARPROC entry) {
  using SelfRegisterEntry = LONG(WINAPI*)();
  AroundControlCode(0);
  LONG status = reinterpret_cast<SelfRegisterEntry>(reinterpret_cast<void (*)()>(entry))();
  AroundControlCode(1);
  return status;
}

// "<lead><path> returned: <code>": the path gives way so that the code,
// what the user reports, always shows.
static void ShowEndingInCode(const char* lead, const char* path, DWORD code,
                             const char* caption) {
  char tail[32];
  FormatText(tail, sizeof tail, " returned: %lx", static_cast<unsigned long>(code));
  char message[kMessageCapacity];
  int room = static_cast<int>(sizeof message - 1 - strlen(lead) - strlen(tail));
  FormatText(message, sizeof message, "%s%.*s%s", lead, room, path, tail);
  ShowMessage(nullptr, message, caption, kMessageOk);
}

static int CannotLoad(const char* path, DWORD error) {
  ShowEndingInCode("LoadLibrary on ", path, error, "LoadLibrary Failed");
  return 0;
}

HMODULE LoadControlLibrary(const char* path, DWORD* error) {
  char full[kControlPathCapacity];
  const char* load = path;
  // The control's own folder is searched only for a full path; a relative
  // one means the working directory, as a plain load of it would.
  if (!IsFullPath(path)) {
    DWORD length = GetFullPath(path, sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) {
      *error = length == 0 ? GetLastError() : kPathTooLong;
      return nullptr;
    }
    load = full;
  }
  HMODULE library = LoadControlByFullPath(load);
  *error = library == nullptr ? GetLastError() : 0;
  return library;
}

int RegisterOCXFile(const char* path) {
  SupportsSelfRegister(path);
  DWORD error = 0;
  HMODULE library = LoadControlLibrary(path, &error);
  if (library == nullptr) return CannotLoad(path, error);
  FARPROC entry = GetProcAddress(library, "DllRegisterServer");
  if (entry == nullptr) {
    ShowMessage(nullptr, path, "Function Look Failure", kMessageOk);
    return 0;
  }
  LONG status = CallSelfRegisterEntry(entry);
  if (status == 0) return 1;
  // The user is told once, for the whole launch, what to do about it.
  if (IsRegistrationRefused(status)) {
    NoteRefusedWrite();
    return 0;
  }
  ShowEndingInCode("", path, static_cast<DWORD>(status), "DLLRegisterServer error");
  return 0;
}

// The probe records the older file before the newer one registers. When that
// registration fails, the older file is still the only one registered, so its
// record goes back to what it was and the walk at exit leaves the file alone.
static void PutRecordBack(const char* type_library, int record_known, const char* recorded) {
  char now[kRegistryTextCapacity];
  if (!record_known || !ReadOCXKey(type_library, now, sizeof now) || strcmp(now, recorded) == 0)
    return;
  RestoreOCXKey(type_library, recorded);
}

int ReadCompanions(const char* section, unsigned ordinal, char* type_library, char* class_key,
                   char* version, char* key, int complain) {
  return ListKeyName(key, kListKeyCapacity, kOcxStem, ordinal, kTypeLibSuffix) &&
         GetIniString(section, key, type_library, kControlValueCapacity, complain) != 0 &&
         ListKeyName(key, kListKeyCapacity, kOcxStem, ordinal, kClsidSuffix) &&
         GetIniString(section, key, class_key, kControlValueCapacity, complain) != 0 &&
         ListKeyName(key, kListKeyCapacity, kOcxStem, ordinal, kVersionSuffix) &&
         GetIniString(section, key, version, kControlValueCapacity, complain) != 0;
}

int FindConfiguredClass(const char* type_library, char* class_key) {
  static const char* const kSections[] = {kSystemOcxSection, kApplicationOcxSection};
  for (const char* section : kSections) {
    for (unsigned ordinal = 1;; ++ordinal) {
      char key[kListKeyCapacity], value[kControlValueCapacity], version[kControlValueCapacity];
      if (!ListKeyName(key, sizeof key, kOcxStem, ordinal, "") ||
          GetIniString(section, key, value, sizeof value, 0) == 0)
        break;
      if (ReadCompanions(section, ordinal, value, class_key, version, key, 0) &&
          EqualsNoCase(value, type_library))
        return 1;
    }
  }
  class_key[0] = '\0';
  return 0;
}

int RegisterOCX(const char* section) {
  TraceNamed("RegisterOCX Type: ", section);

  char folder[kControlFolderCapacity];
  // A folder that does not fit cannot become the working directory either.
  if (!GetControlFolder(folder, sizeof folder) || !SetWorkingFolder(folder)) {
    ShowCouldNotSetDirectory(folder);
    return 0;
  }
  const char* base_folder = EqualsNoCase(section, kSystemOcxSection) ? folder : GetHomeDirectory();

  // The list ends at its first empty entry or after its last possible name.
  for (unsigned ordinal = 1;; ++ordinal) {
    char key[kListKeyCapacity];
    if (!ListKeyName(key, sizeof key, kOcxStem, ordinal, "")) return 1;
    char control[kControlValueCapacity];
    if (GetIniString(section, key, control, sizeof control, 0) == 0) return 1;
    char type_library[kControlValueCapacity], class_key[kControlValueCapacity],
        version[kControlValueCapacity];
    if (!ReadCompanions(section, ordinal, type_library, class_key, version, key, 1)) return 0;

    char recorded[kRegistryTextCapacity];
    int record_known = ReadOCXKey(type_library, recorded, sizeof recorded);
    if (IsRegistered(control, class_key, type_library, version)) continue;
    // Registering without the record would leave the older file registered
    // for good; the user must run the launcher with the rights to write it.
    if (WriteWasRefused()) return 0;
    char path[kControlPathCapacity];
    if (!ResolvePrefix(path, sizeof path, base_folder, control)) {
      CannotLoad(path, kPathTooLong);
      PutRecordBack(type_library, record_known, recorded);
      continue;
    }
    if (!RegisterOCXFile(path)) {
      PutRecordBack(type_library, record_known, recorded);
      if (WriteWasRefused()) return 0;
      continue;
    }
    if (!IsTraceOn()) continue;
    if (Probe(control, class_key, type_library, version, 0)) continue;
    if (WriteWasRefused()) return 0;
    char message[kMessageCapacity];
    FormatText(message, sizeof message, "Error in INI file Section %s\n OCX: %s", section, control);
    ShowMessage(nullptr, message, "IsRegistered", kMessageInformation);
    return 0;
  }
}

int RegisterOCXs() {
  TraceEvent("RegisterOCXs");
  if (!RegisterOCX(kSystemOcxSection)) return 0;
  return RegisterOCX(kApplicationOcxSection);
}
