#include "components/app_registry.h"

#include <cstring>

#include "base/bounded_text.h"
#include "base/message.h"
#include "base/trace.h"
#include "components/refused_writes.h"
#include "components/registry.h"
#include "config/ini.h"
#include "config/keys.h"

constexpr DWORD kCompanyCreated = 4;
constexpr DWORD kApplicationCreated = 2;
constexpr DWORD kVersionCreated = 1;
constexpr DWORD kFlagSize = 4;
// Software\<company>\<application>\<version>\ must stay a path the reads
// and the walk at exit can form too.
constexpr size_t kKeyPathLimit = 259;
static_assert(kApplicationNamesLimit == kKeyPathLimit - (sizeof kSoftwareKey - 1) - 4,
              "Software, three separators and a closing one");

static char g_company[kApplicationNameCapacity];
static char g_application[kApplicationNameCapacity];
static char g_version[kApplicationNameCapacity];

static void ForgetNames() {
  g_company[0] = '\0';
  g_application[0] = '\0';
  g_version[0] = '\0';
}

const char* GetApplicationName() { return g_application; }

// An empty name would make a path with an empty level.
static int NamesRead() {
  return g_company[0] != '\0' && g_application[0] != '\0' && g_version[0] != '\0';
}

int ApplicationKeyPath(char* out, size_t capacity) {
  if (!NamesRead()) return 0;
  return FormatText(out, capacity, "%s\\%s\\%s", g_company, g_application, g_version);
}

// Names too long for one key path are refused as a whole: nothing is made,
// and the later steps find no names, as after a missing one.
static int NamesFitKeyPath(int complain) {
  size_t length =
      strlen(kSoftwareKey) + strlen(g_company) + strlen(g_application) + strlen(g_version) + 4;
  if (length <= kKeyPathLimit) return 1;
  if (complain) {
    char message[kMessageCapacity];
    FormatText(message, sizeof message,
               "CompanyName, ApplicationName and ApplicationVersion together may hold at most %u "
               "characters:\n"
               "%s\\%s\\%s\\%s\\",
               static_cast<unsigned>(kApplicationNamesLimit), kSoftwareKey, g_company,
               g_application, g_version);
    ShowMessage(nullptr, message, "CreateApplicationKeys", kMessageInformation);
  }
  ForgetNames();
  return 0;
}

int ReadApplicationNames(int complain, const char** missing_key) {
  *missing_key = kCompanyNameKey;
  if (GetIniString(kApplicationSection, kCompanyNameKey, g_company, sizeof g_company, complain) ==
      0)
    return 0;
  *missing_key = kApplicationNameKey;
  if (GetIniString(kApplicationSection, kApplicationNameKey, g_application, sizeof g_application,
                   complain) == 0)
    return 0;
  *missing_key = kApplicationVersionKey;
  if (GetIniString(kApplicationSection, kApplicationVersionKey, g_version, sizeof g_version,
                   complain) == 0)
    return 0;
  *missing_key = nullptr;
  return NamesFitKeyPath(complain);
}

int ApplicationKeyExists() {
  char path[kApplicationKeyPathCapacity];
  if (!ApplicationKeyPath(path, sizeof path)) return 0;
  SoftwareKey opened;
  int exists = OpenSoftwareKey(path, KEY_READ, &opened) == ERROR_SUCCESS;
  CloseSoftwareKey(opened);
  return exists;
}

static void TraceCompanyKey(LONG status) {
  char line[kTraceLineCapacity];
  FormatText(line, sizeof line, "Create Company Key: %ld", static_cast<long>(status));
  TraceEvent(line);
}

// 1 when the whole chain is there: it is then only read, which every user may.
static int ChainExists(HKEY software) {
  char path[kApplicationKeyPathCapacity];
  HKEY key = nullptr;
  if (!ApplicationKeyPath(path, sizeof path) ||
      OpenRegistryKey(software, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return 0;
  }
  RegCloseKey(key);
  return 1;
}

static void CloseIfOpen(HKEY key) {
  if (key != nullptr) RegCloseKey(key);
}

// Writes KeysCreated when this call made a level; 1 unless that write failed.
static int RecordCreatedLevels(HKEY version_key, DWORD created) {
  if (created == 0) return 1;
  LONG status = WriteRegistryValue(version_key, "KeysCreated", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&created), sizeof created);
  if (status != ERROR_SUCCESS) return 0;
  char line[kTraceLineCapacity];
  FormatText(line, sizeof line, "SetValue: %ld", static_cast<long>(status));
  TraceEvent(line);
  return 1;
}

int CreateApplicationKeys() {
  TraceEvent("CreateApplicationKeys");
  const char* missing_key = nullptr;
  if (!ReadApplicationNames(1, &missing_key)) return 0;
  HKEY software = nullptr;
  if (OpenSoftware(&software) != ERROR_SUCCESS) return 0;

  if (ChainExists(software)) {
    TraceCompanyKey(ERROR_SUCCESS);
    RegCloseKey(software);
    return 1;
  }

  HKEY company = nullptr, application = nullptr, version = nullptr;
  DWORD company_made = 0, application_made = 0, version_made = 0;
  int result = 0;
  LONG status = CreateLastingKey(software, g_company, &company, &company_made);
  TraceCompanyKey(status);
  if (status == ERROR_SUCCESS)
    status = CreateLastingKey(company, g_application, &application, &application_made);
  if (status == ERROR_SUCCESS)
    status = CreateLastingKey(application, g_version, &version, &version_made);
  // The launch needs the chain; KeysCreated only tells who made it.
  if (IsAccessDenied(status)) NoteRefusedWrite();
  if (status == ERROR_SUCCESS) {
    DWORD created = (company_made == REG_CREATED_NEW_KEY ? kCompanyCreated : 0) |
                    (application_made == REG_CREATED_NEW_KEY ? kApplicationCreated : 0) |
                    (version_made == REG_CREATED_NEW_KEY ? kVersionCreated : 0);
    result = RecordCreatedLevels(version, created);
  }
  CloseIfOpen(version);
  CloseIfOpen(application);
  CloseIfOpen(company);
  RegCloseKey(software);
  return result;
}

int IsAutoRunDisabled() {
  TraceEvent("IsAutoRunDisabled");
  char path[kApplicationKeyPathCapacity];
  if (!ApplicationKeyPath(path, sizeof path) || !AppendText(path, sizeof path, "\\")) return 0;
  SoftwareKey opened;
  int result = 0;
  if (OpenSoftwareKey(path, KEY_READ, &opened) == ERROR_SUCCESS) {
    // A shorter value fills only the low bytes; the rest stay zero.
    DWORD flag = 0;
    DWORD size = kFlagSize;
    DWORD type = 0;
    if (ReadRegistryValue(opened.key, "AutoRunDisabled", nullptr, &type,
                         reinterpret_cast<BYTE*>(&flag), &size) == ERROR_SUCCESS) {
      result = flag == 1 ? 1 : 0;
    }
  }
  CloseSoftwareKey(opened);
  return result;
}

// The record key's path below Software.
static int RecordKeyPath(char* out, size_t capacity, const char* type_library) {
  return ApplicationKeyPath(out, capacity) && AppendText(out, capacity, "\\") &&
         AppendText(out, capacity, type_library);
}

// The record's write status; ERROR_INVALID_DATA when its path does not fit.
static LONG WriteRecord(const char* type_library, const char* file_path) {
  char path[kRecordKeyPathCapacity];
  if (!RecordKeyPath(path, sizeof path, type_library)) return ERROR_INVALID_DATA;
  SoftwareKey record;
  LONG status = MakeSoftwareKey(path, &record);
  if (status == ERROR_SUCCESS) {
    DWORD size = static_cast<DWORD>(strlen(file_path) + 1);
    status = WriteRegistryValue(record.key, nullptr, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(file_path), size);
  }
  CloseSoftwareKey(record);
  return status;
}

int RecordWouldBeWalked(const char* type_library) {
  const char* version = strchr(type_library, '\\');
  const char* tail = version == nullptr ? nullptr : strchr(version + 1, '\\');
  char path[kRecordKeyPathCapacity], first[kRegistryTextCapacity];
  if (version == type_library || tail == nullptr || tail == version + 1 ||
      !EqualsNoCase(tail, "\\0\\win32") || !RecordKeyPath(path, sizeof path, type_library))
    return 0;
  path[strlen(path) - strlen(version)] = '\0';  // the library's key
  SoftwareKey library;
  int found = 1;
  if (OpenSoftwareKey(path, KEY_READ, &library) == ERROR_SUCCESS) {
    DWORD size = sizeof first;
    FILETIME written;
    // Its first version, with the shape's tail, must be this one.
    if (EnumRegistryKey(library.key, 0, first, &size, nullptr, nullptr, nullptr, &written) ==
        ERROR_SUCCESS)
      found = AppendText(first, sizeof first, tail) && EqualsNoCase(first, version + 1);
  }
  CloseSoftwareKey(library);
  return found;
}

int CreateOCXKey(const char* type_library, const char* file_path) {
  TraceEvent("CreateOCXKey");
  if (!RecordWouldBeWalked(type_library)) {
    TraceNamed("No record: the walk at exit would not find ", type_library);
    return 0;
  }
  LONG status = WriteRecord(type_library, file_path);
  if (IsAccessDenied(status)) NoteRefusedWrite();
  return status == ERROR_SUCCESS ? 1 : 0;
}

int ReadOCXKey(const char* type_library, char* out, DWORD capacity) {
  out[0] = '\0';
  char path[kRecordKeyPathCapacity];
  if (!RecordKeyPath(path, sizeof path, type_library)) return 0;
  SoftwareKey record;
  LONG status = OpenSoftwareKey(path, KEY_READ, &record);
  if (record.software == nullptr) return 0;
  if (status == ERROR_SUCCESS) {
    DWORD size = 0;
    status = QueryDefaultText(record.key, out, capacity, &size, nullptr);
  }
  CloseSoftwareKey(record);
  // No key or no value: a record without a path.
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? 1 : 0;
}

int RestoreOCXKey(const char* type_library, const char* file_path) {
  return WriteRecord(type_library, file_path) == ERROR_SUCCESS ? 1 : 0;
}

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetApplicationKeysForTests() { ForgetNames(); }
#endif
