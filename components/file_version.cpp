#include "components/file_version.h"

#include <cstring>

#include "base/bounded_text.h"
#include "base/trace.h"
#include "platform/win32.h"

constexpr unsigned kSelfRegisterQueryCapacity = 128;
constexpr DWORD kWordBits = 16;
constexpr DWORD kLowWord = 0xFFFF;
// Scanned numbers are held to the 32-bit signed range, so that a huge
// required number stays huge instead of wrapping round to a small one.
constexpr unsigned long long kLargestPositive = 0x7FFFFFFFull;
constexpr unsigned long long kLargestNegative = 0x80000000ull;

// Allocates the file's version block and reads it; the caller frees it. When
// there is none, traces why (the caller's texts) and leaves nothing allocated.
static void* ReadVersionBlock(const char* path, const char* no_information,
                              const char* unreadable) {
  DWORD handle = 0;
  DWORD size = GetVersionInfoSize(path, &handle);
  if (size == 0) {
    TraceEvent(no_information);
    return nullptr;
  }
  // A block that cannot be had is as good as an unreadable one.
  void* block = HeapAlloc(GetProcessHeap(), 0, size);
  if (block == nullptr) {
    TraceEvent(unreadable);
    return nullptr;
  }
  if (!GetVersionInfo(path, handle, size, block)) {
    TraceEvent(unreadable);
    HeapFree(GetProcessHeap(), 0, block);
    return nullptr;
  }
  return block;
}

static void FreeVersionBlock(void* block) { HeapFree(GetProcessHeap(), 0, block); }

static int IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One "%d" of a scan: blanks, an optional sign, at least one decimal digit.
// Returns the text after the number, or nullptr when no number is there.
static const char* ScanNumber(const char* text, DWORD* number) {
  while (IsBlank(*text)) ++text;
  int negative = 0;
  if (*text == '+' || *text == '-') {
    negative = *text == '-';
    ++text;
  }
  if (*text < '0' || *text > '9') return nullptr;
  unsigned long long magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (magnitude <= kLargestNegative)
      magnitude = magnitude * 10 + static_cast<unsigned>(*text - '0');
  }
  unsigned long long limit = negative ? kLargestNegative : kLargestPositive;
  if (magnitude > limit) magnitude = limit;
  // Compared as unsigned 32-bit numbers: -1 counts as 4294967295.
  DWORD value = static_cast<DWORD>(magnitude);
  *number = negative ? static_cast<DWORD>(0u - value) : value;
  return text;
}

// "%d.%d.%d.%d"; numbers that the scan does not reach count as 0.
static void ScanDottedVersion(const char* text, DWORD required[kVersionNumbers]) {
  for (int i = 0; i < kVersionNumbers; ++i) required[i] = 0;
  for (int i = 0; i < kVersionNumbers; ++i) {
    if (i > 0) {
      if (*text != '.') return;
      ++text;
    }
    text = ScanNumber(text, &required[i]);
    if (text == nullptr) return;
  }
}

int GetFileVersionNumbers(const char* path, DWORD numbers[kVersionNumbers]) {
  void* block = ReadVersionBlock(path, "FileVersionInfoSize zip", "FileVersionInfo empty");
  if (block == nullptr) return 0;
  void* value = nullptr;
  UINT length = 0;
  int found = VerQueryValueA(block, "\\", &value, &length) && value != nullptr &&
              length >= sizeof(VS_FIXEDFILEINFO);
  if (found) {
    VS_FIXEDFILEINFO info;
    memcpy(&info, value, sizeof info);
    numbers[0] = info.dwFileVersionMS >> kWordBits;
    numbers[1] = info.dwFileVersionMS & kLowWord;
    numbers[2] = info.dwFileVersionLS >> kWordBits;
    numbers[3] = info.dwFileVersionLS & kLowWord;
  } else {
    TraceEvent("VS_FIXEDFILEINFO Missing");
  }
  FreeVersionBlock(block);
  return found;
}

int CompareFileVersion(const char* path, const char* dotted_version) {
  TraceNamed("CompareFileVersion: ", path);

  DWORD file[kVersionNumbers];
  if (!GetFileVersionNumbers(path, file)) return 0;
  DWORD required[kVersionNumbers];
  ScanDottedVersion(dotted_version, required);

  int result = 1;
  for (int i = 0; i < kVersionNumbers; ++i) {
    if (required[i] != file[i]) {
      result = required[i] < file[i];
      break;
    }
  }
  char line[kTraceLineCapacity];
  FormatText(line, sizeof line, "Version: %d.%d.%d.%d INIVersion: %s Result: %d",
             static_cast<int>(file[0]), static_cast<int>(file[1]), static_cast<int>(file[2]),
             static_cast<int>(file[3]), dotted_version, result);
  TraceEvent(line);
  return result;
}

int SupportsSelfRegister(const char* path) {
  if (!IsTraceOn()) return 1;
  TraceEvent("SupportsSelfRegister");

  void* block = ReadVersionBlock(path, "OCX FileVersionInfoSize zip", "OCX FileVersionInfo empty");
  if (block == nullptr) return 1;
  void* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block, "\\VarFileInfo\\Translation", &translation, &length)) {
    TraceEvent("OCX VarFileInfo\\Translation Missing");
  } else if (length < sizeof(DWORD) || translation == nullptr) {
    // Shorter than one entry counts as none: nothing past the value is read.
    TraceEvent("OCX VarFileInfo\\Translation empty string");
  } else {
    DWORD first;
    memcpy(&first, translation, sizeof first);
    char query[kSelfRegisterQueryCapacity];
    FormatText(query, sizeof query, "\\StringFileInfo\\%04hX%04hX\\OLESelfRegister",
               static_cast<unsigned short>(first & kLowWord),
               static_cast<unsigned short>(first >> kWordBits));
    void* text = nullptr;
    UINT text_length = 0;
    if (!VerQueryValueA(block, query, &text, &text_length))
      TraceEvent("OLESelfRegister string Missing");
  }
  FreeVersionBlock(block);
  return 1;
}
