// The UTF-16 edge on Windows: each call converts the launcher's UTF-8 to
// UTF-16, calls the wide function and converts what comes back.
//
// The wide texts live in static slots, not in stack frames the size of the
// longest text. The launcher has one thread, and calls nest only through
// window procedures that a message box runs, which may trace or play the
// splash sound: so a message box keeps slots of its own. Every text the
// launcher hands over comes from a buffer of at most 32 KiB (its command
// line and the slow-load environment are the longest), and UTF-16 never
// needs more units than UTF-8 has bytes: a slot always holds it.
#include <cstring>

#include "base/bounded_text.h"
#include "platform/win32.h"

namespace {

constexpr size_t kSlotUnits = 32768;
enum Slot { kFirst, kSecond, kThird, kFourth, kBoxText, kBoxCaption, kSlotCount };
WCHAR g_slots[kSlotCount][kSlotUnits];
// What a call hands back, before it becomes UTF-8.
WCHAR g_answer[kSlotUnits];
// The room a wide call is told of: its size in bytes must fit 16 bits, as
// some of them hand it on in a counted string.
constexpr DWORD kAnswerRoom = kSlotUnits - 1;

// count bytes of UTF-8 (NULs included; -1 for a text up to its NUL), and a
// NUL after them, in a slot; null for a null text. units receives the units
// written.
LPWSTR WidePart(const char* text, int count, Slot slot, size_t* units) {
  WCHAR* wide = g_slots[slot];
  // Windows puts U+FFFD for each byte that is not UTF-8.
  *units =
      text == nullptr
          ? 0
          : static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text, count, wide, kSlotUnits - 1));
  wide[*units] = 0;
  return text == nullptr ? nullptr : wide;
}

LPWSTR Wide(const char* text, Slot slot) {
  size_t units;
  return WidePart(text, -1, slot, &units);
}

// One place that names the answer's room keeps the exe's relocations few.
#if defined(_MSC_VER)
#define PRELAUNCH_NOINLINE __declspec(noinline)
#else
#define PRELAUNCH_NOINLINE __attribute__((noinline))
#endif
PRELAUNCH_NOINLINE LPWSTR Answer() { return g_answer; }

// UTF-8 of a wide text, before it is cut to a caller's buffer.
char g_utf8[3 * kSlotUnits];

// The first units of a wide text as UTF-8 in out, cut to whole characters;
// the length the whole of them has in UTF-8. Windows puts U+FFFD for a lone
// surrogate.
DWORD NarrowText(LPCWSTR text, size_t units, char* out, size_t size) {
  int length = units == 0 ? 0
                          : WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(units), g_utf8,
                                                sizeof g_utf8, nullptr, nullptr);
  size_t kept = static_cast<size_t>(length);
  if (kept >= size) kept = size == 0 ? 0 : WholeCharacters(g_utf8, size - 1);
  memcpy(out, g_utf8, kept);
  // Two NULs where there is room: a list of names ends with both.
  if (size > 0) out[kept] = '\0';
  if (kept + 1 < size) out[kept + 1] = '\0';
  return static_cast<DWORD>(length);
}

DWORD Narrow(size_t units, char* out, size_t size) {
  return NarrowText(Answer(), units, out, size);
}

// For calls that report a buffer too small by the length it needs: the UTF-8
// length, or that length and its NUL when it did not fit. units is what the
// wide call answered; past the slot, it is passed on as it is.
// A failed call leaves out empty; so does an empty answer, which the
// environment's expansion may give.
DWORD LengthOrNeeded(DWORD units, char* out, DWORD size) {
  if (units >= kAnswerRoom) return units;
  DWORD length = Narrow(units, out, size);
  return length < size ? length : length + 1;
}

}  // namespace

DWORD GetModulePath(HMODULE module, LPSTR out, DWORD size) {
  DWORD units = GetModuleFileNameW(module, Answer(), kAnswerRoom);
  DWORD length = Narrow(units < kAnswerRoom ? units : 0, out, size);
  // As Windows answers a name that did not fit: the buffer's size.
  return length < size ? length : size;
}

DWORD GetPathAttributes(LPCSTR path) { return GetFileAttributesW(Wide(path, kFirst)); }

BOOL SetWorkingFolder(LPCSTR path) { return SetCurrentDirectoryW(Wide(path, kFirst)); }

DWORD GetTempFolder(DWORD size, LPSTR out) {
  return LengthOrNeeded(GetTempPathW(kAnswerRoom, Answer()), out, size);
}

UINT GetSystemFolder(LPSTR out, UINT size) {
  return LengthOrNeeded(GetSystemDirectoryW(Answer(), kAnswerRoom), out, size);
}

DWORD GetEnvironmentText(LPCSTR name, LPSTR out, DWORD size) {
  return LengthOrNeeded(GetEnvironmentVariableW(Wide(name, kFirst), Answer(), kAnswerRoom), out,
                        size);
}

DWORD ExpandEnvironmentText(LPCSTR text, LPSTR out, DWORD size) {
  // This call counts the NUL in what it answers.
  DWORD units = ExpandEnvironmentStringsW(Wide(text, kFirst), Answer(), kAnswerRoom);
  return LengthOrNeeded(units == 0 ? 0 : units - 1, out, size) + (units != 0 ? 1 : 0);
}

DWORD GetFullPath(LPCSTR path, DWORD size, LPSTR out) {
  return LengthOrNeeded(GetFullPathNameW(Wide(path, kFirst), kAnswerRoom, Answer(), nullptr), out,
                        size);
}

HANDLE OpenFilePath(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                    DWORD disposition, DWORD flags, HANDLE template_file) {
  return CreateFileW(Wide(path, kFirst), access, share, security, disposition, flags,
                     template_file);
}

DWORD ReadProfileText(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR out, DWORD size,
                      LPCSTR file) {
  if (size == 0) return 0;
  // No more units than the UTF-8 may have bytes, so a cut shows as one.
  DWORD room = size < kAnswerRoom ? size : kAnswerRoom;
  DWORD units =
      GetPrivateProfileStringW(Wide(section, kFirst), Wide(key, kSecond), Wide(fallback, kThird),
                               Answer(), room, Wide(file, kFourth));
  DWORD length = Narrow(units, out, size);
  if (length < size) return length;
  // As Windows counts a value cut to the buffer: its size less the NUL; a list
  // of names, less the two NULs that end its last name.
  if (section != nullptr && key != nullptr) return size - 1;
  if (size < 2) return 0;
  out[size - 2] = '\0';
  return size - 2;
}

BOOL StartProcess(LPCSTR application, LPSTR command_line, LPSECURITY_ATTRIBUTES process_attributes,
                  LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                  DWORD creation_flags, LPVOID environment, LPCSTR current_directory,
                  LPSTARTUPINFOA startup_info, LPPROCESS_INFORMATION process_information) {
  const char* block = static_cast<const char*>(environment);
  LPVOID wide_environment = nullptr;
  if (block != nullptr) {
    // NUL-ended texts, then one more NUL.
    const char* end = block;
    while (*end != '\0') end += strlen(end) + 1;
    size_t units;
    wide_environment = WidePart(block, static_cast<int>(end - block + 1), kFourth, &units);
    creation_flags |= CREATE_UNICODE_ENVIRONMENT;
  }
  // The wide start-up record differs only in the types of texts left null.
  STARTUPINFOW startup;
  memcpy(&startup, startup_info, sizeof startup);
  return CreateProcessW(Wide(application, kFirst), Wide(command_line, kSecond), process_attributes,
                        thread_attributes, inherit_handles, creation_flags, wide_environment,
                        Wide(current_directory, kThird), &startup, process_information);
}

HMODULE LoadLibraryFrom(LPCSTR path, HANDLE file, DWORD flags) {
  return LoadLibraryExW(Wide(path, kFirst), file, flags);
}

BOOL SetLibraryFolder(LPCSTR path) { return SetDllDirectoryW(Wide(path, kFirst)); }

HANDLE OpenNamedSemaphore(DWORD access, BOOL inherit, LPCSTR name) {
  return OpenSemaphoreW(access, inherit, Wide(name, kFirst));
}

HANDLE CreateNamedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial_count,
                            LONG maximum_count, LPCSTR name) {
  return CreateSemaphoreW(attributes, initial_count, maximum_count, Wide(name, kFirst));
}

DWORD GetVersionInfoSize(LPCSTR path, LPDWORD handle) {
  return GetFileVersionInfoSizeW(Wide(path, kFirst), handle);
}

BOOL GetVersionInfo(LPCSTR path, DWORD handle, DWORD size, LPVOID block) {
  return GetFileVersionInfoW(Wide(path, kFirst), handle, size, block);
}

LONG OpenRegistryKey(HKEY key, LPCSTR sub_key, REGSAM access, PHKEY result) {
  return RegOpenKeyExW(key, Wide(sub_key, kFirst), 0, access, result);
}

LONG CreateRegistryKey(HKEY key, LPCSTR sub_key, DWORD reserved, LPSTR key_class, DWORD options,
                       REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                       LPDWORD disposition) {
  return RegCreateKeyExW(key, Wide(sub_key, kFirst), reserved, Wide(key_class, kSecond), options,
                         access, security, result, disposition);
}

LONG ReadRegistryText(HKEY key, LPDWORD type, LPSTR out, LPDWORD size) {
  DWORD asked = *size;
  DWORD bytes = sizeof g_answer - sizeof(WCHAR);
  DWORD found = REG_NONE;
  LONG status =
      RegQueryValueExW(key, nullptr, nullptr, &found, reinterpret_cast<LPBYTE>(g_answer), &bytes);
  if (type != nullptr) *type = found;
  if (status != ERROR_SUCCESS) return status;
  if (found != REG_SZ && found != REG_EXPAND_SZ) return ERROR_FILE_NOT_FOUND;
  // A text stored with its NUL or without one reads the same.
  size_t units = bytes / sizeof(WCHAR);
  if (units > 0 && g_answer[units - 1] == 0) --units;
  DWORD length = Narrow(units, out, asked);
  *size = length + 1;
  return length < asked ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG WriteRegistryText(HKEY key, LPCSTR name, LPCSTR text) {
  size_t units;
  const BYTE* wide = reinterpret_cast<const BYTE*>(WidePart(text, -1, kSecond, &units));
  return RegSetValueExW(key, Wide(name, kFirst), 0, REG_SZ, wide,
                        static_cast<DWORD>(units * sizeof(WCHAR)));
}

LONG EnumRegistryKey(HKEY key, DWORD index, LPSTR name, LPDWORD name_size, PFILETIME last_write) {
  DWORD units = kAnswerRoom;
  LONG status = RegEnumKeyExW(key, index, Answer(), &units, nullptr, nullptr, nullptr, last_write);
  if (status != ERROR_SUCCESS) return status;
  DWORD length = Narrow(units, name, *name_size);
  if (length >= *name_size) return ERROR_MORE_DATA;
  *name_size = length;
  return ERROR_SUCCESS;
}

int ShowMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return MessageBoxW(owner, Wide(text, kBoxText), Wide(caption, kBoxCaption), type);
}

// What a window look-up answers: the bytes copied, 0 for none.
static int LookedUp(int units, LPSTR out, int size) {
  Narrow(static_cast<size_t>(units), out, static_cast<size_t>(size));
  return static_cast<int>(strlen(out));
}

int GetWindowClassName(HWND window, LPSTR out, int size) {
  return LookedUp(GetClassNameW(window, Answer(), kAnswerRoom), out, size);
}

int GetWindowTitle(HWND window, LPSTR out, int size) {
  return LookedUp(GetWindowTextW(window, Answer(), kAnswerRoom), out, size);
}

BOOL PlaySoundFile(LPCSTR sound, HMODULE module, DWORD flags) {
  return PlaySoundW(Wide(sound, kFirst), module, flags);
}

// In the machine's code page, as Windows hands a wide text to debuggers that
// read the ANSI one; Wine shows only what the ANSI call writes.
void WriteDebuggerText(LPCSTR text) {
  char* ansi = reinterpret_cast<char*>(g_answer);
  if (WideCharToMultiByte(CP_ACP, 0, Wide(text, kFirst), -1, ansi, sizeof g_answer, nullptr,
                          nullptr) != 0) {
    OutputDebugStringA(ansi);
  }
}

LPSTR GetProcessCommandLine() {
  static char command_line[sizeof g_utf8];
  WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, command_line, sizeof command_line, nullptr,
                      nullptr);
  return command_line;
}
