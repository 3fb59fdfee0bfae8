#include "config/ini.h"

#include <cstring>

#include "config/paths.h"
#include "launcher/bounded_text.h"
#include "launcher/message.h"

static char g_home_directory[kPathCapacity];
static char g_ini_file[kPathCapacity];

const char* GetHomeDirectory() { return g_home_directory; }
const char* GetIniFilePath() { return g_ini_file; }

unsigned GetIniFileName(HMODULE module) {
  g_home_directory[0] = '\0';
  g_ini_file[0] = '\0';
  char module_name[kPathCapacity] = "";
  DWORD length = GetModuleFileNameA(module, module_name, sizeof module_name);
  if (length < 3) return 0;
  // A name that filled the buffer was cut: nothing built from it can be right.
  if (length >= sizeof module_name) return 0;
  module_name[sizeof module_name - 1] = '\0';

  char drive[kDriveCapacity], directory[kPathPieceCapacity], name[kPathPieceCapacity];
  if (!Split(module_name, drive, directory, name, nullptr)) return 0;
  char home_directory[kPathCapacity];
  if (!CopyText(home_directory, sizeof home_directory, directory)) return 0;
  if (!AppendText(home_directory, sizeof home_directory, name)) return 0;

  char home[kPathCapacity], ini_file[kPathCapacity];
  if (!Join(home, sizeof home, drive, home_directory, nullptr, nullptr)) return 0;
  if (!Join(ini_file, sizeof ini_file, drive, home_directory, name, ".ini")) return 0;
  CopyText(g_home_directory, sizeof g_home_directory, home);
  CopyText(g_ini_file, sizeof g_ini_file, ini_file);

  if (FileExists(g_ini_file)) return static_cast<unsigned>(strlen(g_ini_file) + 1);
  char message[kMessageCapacity];
  FormatText(message, sizeof message, "Failed to find configuration file: %s", g_ini_file);
  ShowMessage(nullptr, message, "GetIniFileName", kMessageInformation);
  return 0;
}

DWORD GetIniString(const char* section, const char* key, char* out, DWORD size, int complain) {
  DWORD count = GetPrivateProfileStringA(section, key, "", out, size, g_ini_file);
  if (count > 0) return count;
  if (complain) {
    char message[kMessageCapacity];
    FormatText(message, sizeof message, "Failed to find label: %s in Section: %s\n INIFile: %s", key,
               section, g_ini_file);
    ShowMessage(nullptr, message, "GetPrivateProfileString", kMessageInformation);
  }
  return 0;
}

UINT GetIniInt(const char* section, const char* key, UINT fallback) {
  return GetPrivateProfileIntA(section, key, static_cast<INT>(fallback), g_ini_file);
}

int ListKeyName(char* out, size_t capacity, const char* stem, unsigned ordinal, const char* suffix) {
  if (ordinal == 0 || ordinal > kLastListOrdinal) return 0;
  char digits[4];
  int count = 0;
  for (unsigned rest = ordinal; rest > 0; rest /= 9) digits[count++] = static_cast<char>('0' + rest % 9);
  char number[4];
  for (int i = 0; i < count; ++i) number[i] = digits[count - 1 - i];
  number[count] = '\0';
  return FormatText(out, capacity, "%s%s%s", stem, number, suffix);
}
