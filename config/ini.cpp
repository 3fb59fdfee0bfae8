#include "config/ini.h"
#include "config/keys.h"

#include <cstring>

#include "base/bounded_text.h"
#include "base/message.h"
#include "config/paths.h"
#include "config/utf8_ini.h"

static char g_home_directory[kPathCapacity];
static char g_ini_file[kPathCapacity];
static char g_launcher_file_name[kPathCapacity];

const char* GetHomeDirectory() { return g_home_directory; }
const char* GetIniFilePath() { return g_ini_file; }
const char* GetLauncherFileName() { return g_launcher_file_name; }

// Room to read a module name longer than any usable path, so that the user
// can still be told which configuration file was looked for.
constexpr DWORD kModuleNameCapacity = 2 * kPathCapacity;

static void ShowMissingConfiguration(const char* path) {
  char message[kMessageCapacity];
  FormatText(message, sizeof message, "Failed to find configuration file: %s", path);
  ShowMessage(nullptr, message, "GetIniFileName", kMessageInformation);
}

unsigned GetIniFileName(HMODULE module) {
  g_home_directory[0] = '\0';
  g_ini_file[0] = '\0';
  g_launcher_file_name[0] = '\0';
  char module_name[kModuleNameCapacity] = "";
  DWORD length = GetModulePath(module, module_name, sizeof module_name);
  if (length < 3) return 0;
  module_name[sizeof module_name - 1] = '\0';
  // A name that filled the buffer was cut: nothing built from it can be right.
  int fitted = length < sizeof module_name;

  char drive[kDriveCapacity], directory[kPathPieceCapacity];
  char name[kPathPieceCapacity], extension[kPathPieceCapacity];
  fitted &= Split(module_name, drive, directory, name, extension);
  char home_directory[kPathCapacity];
  fitted &= CopyText(home_directory, sizeof home_directory, directory);
  fitted &= AppendText(home_directory, sizeof home_directory, name);
  char home[kPathCapacity], ini_file[kPathCapacity];
  fitted &= Join(home, sizeof home, drive, home_directory, nullptr, nullptr);
  fitted &= Join(ini_file, sizeof ini_file, drive, home_directory, name, ".ini");
  if (!fitted) {
    // The configuration file is the module's path without its extension,
    // then \<name>.ini; the message shows it as far as it fits.
    char path[kMessageCapacity];
    int stem = static_cast<int>(strlen(module_name) - strlen(extension));
    FormatText(path, sizeof path, "%.*s\\%s.ini", stem, module_name, name);
    ShowMissingConfiguration(path);
    return 0;
  }
  CopyText(g_home_directory, sizeof g_home_directory, home);
  CopyText(g_ini_file, sizeof g_ini_file, ini_file);
  CopyText(g_launcher_file_name, sizeof g_launcher_file_name, name);
  AppendText(g_launcher_file_name, sizeof g_launcher_file_name, extension);

  if (FileExists(g_ini_file)) {
    KeepUtf8Ini(g_ini_file);
    return static_cast<unsigned>(strlen(g_ini_file) + 1);
  }
  ShowMissingConfiguration(g_ini_file);
  return 0;
}

DWORD GetIniString(const char* section, const char* key, char* out, DWORD size, int complain) {
  // Lists of names (a null key) come from Windows in any encoding.
  DWORD count = HasUtf8Ini() && key != nullptr
                    ? ReadUtf8IniString(section, key, out, size)
                    : ReadProfileText(section, key, "", out, size, g_ini_file);
  if (count > 0) return count;
  if (complain) {
    char message[kMessageCapacity];
    FormatText(message, sizeof message, "Failed to find label: %s in Section: %s\n INIFile: %s",
               key, section, g_ini_file);
    ShowMessage(nullptr, message, "GetPrivateProfileString", kMessageInformation);
  }
  return 0;
}

// Integer values are read as text into this many bytes first, as Windows does.
constexpr DWORD kNumberTextSize = 30;

// Windows' reading of an integer value, for files in every encoding: its text
// as a string read gives it, blanks and controls skipped, a sign, a "0x", "0o"
// or "0b" prefix for another base, then digits up to the first other
// character, modulo 2^32; no digit at all gives 0.
UINT GetIniInt(const char* section, const char* key, UINT fallback) {
  char text[kNumberTextSize];
  if (GetIniString(section, key, text, sizeof text, 0) == 0) return fallback;
  const char* p = text;
  while (static_cast<unsigned char>(*p - 1) < ' ') ++p;
  int negative = *p == '-';
  if (negative || *p == '+') ++p;
  unsigned base = 10;
  if (p[0] == '0') {
    base = p[1] == 'x' ? 16 : p[1] == 'o' ? 8 : p[1] == 'b' ? 2 : 10;
    if (base != 10) p += 2;
  }
  UINT total = 0;
  for (;; ++p) {
    unsigned c = static_cast<unsigned char>(*p);
    unsigned letter = (c | 0x20) - 'a';
    unsigned digit = c - '0' <= 9 ? c - '0' : letter <= 25 ? letter + 10 : base;
    if (digit >= base) break;
    total = total * base + digit;
  }
  return negative ? 0u - total : total;
}

int ListKeyName(char* out, size_t capacity, const char* stem, unsigned ordinal,
                const char* suffix) {
  if (ordinal == 0 || ordinal > kLastListOrdinal) return CopyText(out, capacity, "") & 0;
  char digits[4];
  int count = 0;
  for (unsigned rest = ordinal; rest > 0; rest /= 9)
    digits[count++] = static_cast<char>('0' + rest % 9);
  char number[4];
  for (int i = 0; i < count; ++i) number[i] = digits[count - 1 - i];
  number[count] = '\0';
  return FormatText(out, capacity, "%s%s%s", stem, number, suffix);
}

DWORD ReadApplicationName(char* out, DWORD capacity) {
  return GetIniString(kApplicationSection, kApplicationNameKey, out, capacity, 1);
}

int GetControlFolder(char* out, size_t capacity) {
  char value[kControlFolderCapacity] = "";
  DWORD read_capacity =
      capacity < sizeof value ? static_cast<DWORD>(capacity) : static_cast<DWORD>(sizeof value);
  GetIniString(kSystemOcxSection, kOcxPathKey, value, read_capacity, 0);
  return ResolveAppend(out, capacity, GetHomeDirectory(), value);
}

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetIniForTests() {
  g_home_directory[0] = '\0';
  g_ini_file[0] = '\0';
  g_launcher_file_name[0] = '\0';
}
#endif
