#include "components/core_components.h"

#include "base/bounded_text.h"
#include "base/trace.h"
#include "components/file_version.h"
#include "config/ini.h"
#include "config/keys.h"
#include "config/paths.h"
#include "platform/win32.h"

// The entry's file in the system directory; 0 when the directory is unknown
// or the joined path would not fit.
static int CorePath(const char* file_name, char* path, size_t capacity) {
  char system_directory[kPathCapacity];
  UINT length = GetSystemFolder(system_directory, sizeof system_directory);
  if (length == 0 || length >= sizeof system_directory) return 0;
  return FormatText(path, capacity, "%s\\%s", system_directory, file_name);
}

int WalkCoreComponents(int (*visit)(const CoreComponent& entry, void* context), void* context) {
  for (unsigned ordinal = 1;; ++ordinal) {
    char key[kListKeyCapacity];
    // Past the last ordinal a key name can carry, the list has ended.
    if (!ListKeyName(key, sizeof key, kCoreStem, ordinal, "")) return 1;
    char file_name[kCoreValueCapacity];
    if (GetIniString(kCoreSection, key, file_name, sizeof file_name, 0) == 0) return 1;

    char path[kPathCapacity];
    char version[kCoreValueCapacity] = "";
    if (!CorePath(file_name, path, sizeof path)) {
      path[0] = '\0';
    } else if (ListKeyName(key, sizeof key, kCoreStem, ordinal, kVersionSuffix)) {
      GetIniString(kCoreSection, key, version, sizeof version, 0);
    }
    if (!visit({ordinal, file_name, path, version}, context)) return 0;
  }
}

static int IsCurrent(const CoreComponent& entry, void*) {
  return entry.path[0] != '\0' && CompareFileVersion(entry.path, entry.version);
}

int CheckCoreComponents() {
  TraceEvent("CheckCoreComponents");
  return WalkCoreComponents(IsCurrent, nullptr);
}
