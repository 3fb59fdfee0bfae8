#include "config/utf8_ini.h"

#include <cstring>

#include "base/bounded_text.h"
#include "config/keys.h"
#include "config/paths.h"

// The text's encoding is settled once, from its bytes: EF BB BF first is
// UTF-8; FF FE first is UTF-16, which Windows reads; otherwise a text that is
// all valid UTF-8 (no overlong form, no surrogate, nothing past U+10FFFF, no
// sequence cut short) and holds at least one multi-byte sequence is UTF-8;
// anything else is the machine's code page, which Windows reads. So a file
// that Windows reads today is still read by Windows, byte for byte. A file
// larger than the room here, or one that cannot be read, stays with Windows.
constexpr DWORD kUtf8IniCapacity = 32768;

// One byte more than the room, so that a larger file shows as one.
static char g_text[kUtf8IniCapacity + 1];
// The kept text, after its byte order mark; g_begin is null when none is kept.
static const char* g_begin;
static const char* g_end;

namespace {

struct Span {
  const char* begin;
  const char* end;
};

}  // namespace

// Windows refuses a text that is not UTF-8 (an FF FE mark of a UTF-16 file
// never is: such a file stays with Windows), and a text of fewer UTF-16
// units than bytes holds a multi-byte sequence.
static int IsUtf8Text(const char* text, DWORD size) {
  int units =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(size), nullptr, 0);
  return units > 0 && static_cast<DWORD>(units) < size;
}

void KeepUtf8Ini(const char* path) {
  g_begin = nullptr;
  HANDLE file = OpenFileToRead(path);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD size = 0;
  BOOL read = ReadFile(file, g_text, sizeof g_text, &size, nullptr);
  CloseHandle(file);
  if (!read || size > kUtf8IniCapacity) return;
  const char* begin = g_text;
  if (size >= 3 && g_text[0] == '\xEF' && g_text[1] == '\xBB' && g_text[2] == '\xBF') {
    begin += 3;
  } else if (!IsUtf8Text(g_text, size)) {
    return;
  }
  g_begin = begin;
  g_end = g_text + size;
}

int HasUtf8Ini() { return g_begin != nullptr; }

static const char* Find(const char* p, const char* end, char c) {
  while (p < end && *p != c) ++p;
  return p;
}

static int IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

static void Trim(Span* text) {
  while (text->begin < text->end && IsBlank(*text->begin)) ++text->begin;
  while (text->end > text->begin && IsBlank(text->end[-1])) --text->end;
}

// Compared in place: the byte after the name, inside the kept text or the
// one byte past it, is a NUL for the comparison only.
static int SameName(Span name, const char* wanted) {
  Trim(&name);
  char* end = g_text + (name.end - g_text);
  char kept = *end;
  *end = '\0';
  int same = EqualsNoCase(name.begin, wanted);
  *end = kept;
  return same;
}

// Windows' rules: lines end at LF; only the first section of a name counts,
// and in it the first line with that key before an '='.
static int FindValue(const char* section, const char* key, Span* value) {
  int in_section = 0;
  for (const char* line = g_begin; line < g_end;) {
    Span text = {line, Find(line, g_end, '\n')};
    line = text.end + 1;
    Trim(&text);
    if (text.begin < text.end && *text.begin == '[') {
      if (in_section) return 0;
      in_section = SameName({text.begin + 1, Find(text.begin + 1, text.end, ']')}, section);
      continue;
    }
    if (!in_section) continue;
    const char* equals = Find(text.begin, text.end, '=');
    if (equals == text.end || !SameName({text.begin, equals}, key)) continue;
    *value = {equals + 1, text.end};
    Trim(value);
    return 1;
  }
  return 0;
}

DWORD ReadUtf8IniString(const char* section, const char* key, char* out, DWORD size) {
  if (size == 0) return 0;
  Span value = {g_text, g_text};
  FindValue(section, key, &value);
  size_t length = static_cast<size_t>(value.end - value.begin);
  DWORD capacity = size;
  if (length >= 2 && (*value.begin == '"' || *value.begin == '\'') &&
      value.end[-1] == *value.begin) {
    ++value.begin;
    length -= 2;
    // As Windows: a buffer one short of the quoted text loses a real character.
    if (length > 0 && size == length + 1) --capacity;
  }
  CopyTextPart(out, capacity, value.begin, length);
  return static_cast<DWORD>(strlen(out));
}

// A new process's start values, for the host tests (tests/unit/process_state.h).
#if defined(PRELAUNCH_TESTING)
void ResetUtf8IniForTests() { g_begin = nullptr; }
#endif
