/* The contract table's interpreter. Written in the common ground of C and
 * C++: the Wine fixture compiles it as C, the host test as C++. */
#include "tests/contract/runner.h"

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#define kLineCapacity 4096
#define kMostTokens 16
#define kResultCapacity 8192
#define kBufferCapacity 1024
#define kEntriesCapacity 32768
#define kNameCapacity 128
#define kPathCapacity 512
/* Fills the buffers handed to a call, so that what it wrote shows. */
#define kFill '#'
/* A type no value has: shows a query that did not report one. */
#define kUnsetType 99u

typedef struct {
  const char* text[kMostTokens]; /* NULL for (null) */
  size_t size[kMostTokens];      /* quoted texts may hold NULs */
  int count;
  char store[kLineCapacity + kMostTokens];
} Tokens;

typedef struct {
  char text[kResultCapacity];
  size_t length;
} Result;

typedef struct {
  ContractReport report;
  void* context;
  int failed;
  char scratch[kPathCapacity];
  char scenario[kNameCapacity];
  char folder[kPathCapacity];
  HKEY key;
  int windows_made;
  DWORD window_thread;
  char call[kLineCapacity]; /* the call that waits for its "=" line */
  Result actual;
} Run;

static void Put(Result* out, const char* text, size_t size) {
  size_t room = sizeof out->text - 1 - out->length;
  if (size > room) size = room;
  memcpy(out->text + out->length, text, size);
  out->length += size;
  out->text[out->length] = '\0';
}

static void PutText(Result* out, const char* text) { Put(out, text, strlen(text)); }

static void PutNumber(Result* out, const char* format, long value) {
  char number[32];
  snprintf(number, sizeof number, format, value);
  PutText(out, number);
}

/* A quoted text: printable bytes as they are; \\ \" \n \r \t \0, others \xNN. */
static void PutQuoted(Result* out, const char* bytes, size_t size) {
  size_t i;
  PutText(out, "\"");
  for (i = 0; i < size; ++i) {
    unsigned char c = (unsigned char)bytes[i];
    char escape[8];
    if (c == '\\' || c == '"') {
      snprintf(escape, sizeof escape, "\\%c", c);
    } else if (c == '\n' || c == '\r' || c == '\t' || c == '\0') {
      snprintf(escape, sizeof escape, "\\%c",
               c == '\n'   ? 'n'
               : c == '\r' ? 'r'
               : c == '\t' ? 't'
                           : '0');
    } else if (c < 0x20 || c > 0x7E) {
      snprintf(escape, sizeof escape, "\\x%02x", c);
    } else {
      escape[0] = (char)c;
      escape[1] = '\0';
    }
    PutText(out, escape);
  }
  PutText(out, "\"");
}

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/* Splits a line into blank-separated words; a word in double quotes takes the
 * escapes PutQuoted writes. 0 when the line is malformed. */
static int Split(const char* line, Tokens* tokens) {
  char* store = tokens->store;
  tokens->count = 0;
  while (*line != '\0') {
    char* start = store;
    if (*line == ' ') {
      ++line;
      continue;
    }
    if (tokens->count == kMostTokens) return 0;
    if (*line == '"') {
      for (++line; *line != '"'; ++line) {
        if (*line == '\0') return 0;
        if (*line != '\\') {
          *store++ = *line;
          continue;
        }
        ++line;
        if (*line == 'n')
          *store++ = '\n';
        else if (*line == 'r')
          *store++ = '\r';
        else if (*line == 't')
          *store++ = '\t';
        else if (*line == '0')
          *store++ = '\0';
        else if (*line == '\\' || *line == '"')
          *store++ = *line;
        else if (*line == 'x' && HexDigit(line[1]) >= 0 && HexDigit(line[2]) >= 0) {
          *store++ = (char)(HexDigit(line[1]) * 16 + HexDigit(line[2]));
          line += 2;
        } else {
          return 0;
        }
      }
      ++line;
      tokens->text[tokens->count] = start;
    } else {
      while (*line != '\0' && *line != ' ') *store++ = *line++;
      tokens->text[tokens->count] = start;
      if ((size_t)(store - start) == 6 && memcmp(start, "(null)", 6) == 0)
        tokens->text[tokens->count] = NULL;
    }
    tokens->size[tokens->count] = (size_t)(store - start);
    *store++ = '\0';
    ++tokens->count;
  }
  return 1;
}

static int SameNameIgnoringCase(const char* a, size_t a_size, const char* b, size_t b_size) {
  size_t i;
  if (a_size != b_size) return 0;
  for (i = 0; i < a_size; ++i) {
    if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i])) return 0;
  }
  return 1;
}

static size_t NameLength(const char* entry) {
  const char* equals = strchr(entry + (entry[0] == '=' ? 1 : 0), '=');
  return equals == NULL ? strlen(entry) : (size_t)(equals - entry);
}

/* out = first\second, in kPathCapacity bytes; 0 when that does not fit. */
static int Join(char* out, const char* first, const char* second) {
  size_t first_length = strlen(first);
  size_t second_length = strlen(second);
  if (first_length + second_length + 2 > kPathCapacity) return 0;
  memcpy(out, first, first_length);
  out[first_length] = '\\';
  memcpy(out + first_length + 1, second, second_length + 1);
  return 1;
}

static int FullPath(const Run* run, const char* relative, char* out) {
  return Join(out, run->folder, relative);
}

static unsigned long Number(const char* text) {
  unsigned long value = 0;
  if (text == NULL) return 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + (unsigned long)(*text - '0');
  return value;
}

static DWORD ValueType(const char* name) {
  static const struct {
    const char* name;
    DWORD type;
  } kTypes[] = {{"REG_NONE", REG_NONE},
                {"REG_SZ", REG_SZ},
                {"REG_EXPAND_SZ", REG_EXPAND_SZ},
                {"REG_BINARY", REG_BINARY},
                {"REG_DWORD", REG_DWORD}};
  size_t i;
  for (i = 0; i < sizeof kTypes / sizeof kTypes[0]; ++i) {
    if (strcmp(kTypes[i].name, name) == 0) return kTypes[i].type;
  }
  return (DWORD)Number(name);
}

/* profile <file> <section> <key> <default> <size>: GetPrivateProfileStringA;
 * the count, then the buffer up to its NUL. */
static int CallProfile(Run* run, const Tokens* t, Result* out) {
  char path[kPathCapacity];
  char buffer[kBufferCapacity];
  DWORD size = (DWORD)Number(t->text[5]);
  DWORD count;
  size_t length;
  if (t->count != 6 || t->text[1] == NULL || size > sizeof buffer ||
      !FullPath(run, t->text[1], path))
    return 0;
  memset(buffer, kFill, sizeof buffer);
  count = GetPrivateProfileStringA(t->text[2], t->text[3], t->text[4], buffer, size, path);
  PutNumber(out, "%ld ", (long)count);
  for (length = 0; length < size && buffer[length] != '\0'; ++length) {
  }
  PutQuoted(out, buffer, length);
  if (length == size && size > 0) PutText(out, " unterminated");
  return 1;
}

static LONG OpenScenarioKey(const Run* run, const char* path, REGSAM access, HKEY* key) {
  *key = NULL;
  return RegOpenKeyExA(run->key, path, 0, access, key);
}

/* regcreate <path> volatile|lasting: RegCreateKeyExA; the status, and the
 * disposition when it succeeded. */
static int CallRegCreate(Run* run, const Tokens* t, Result* out) {
  HKEY made = NULL;
  DWORD disposition = 0;
  DWORD options;
  LONG status;
  if (t->count != 3 || t->text[1] == NULL || t->text[2] == NULL) return 0;
  if (strcmp(t->text[2], "volatile") == 0)
    options = REG_OPTION_VOLATILE;
  else if (strcmp(t->text[2], "lasting") == 0)
    options = REG_OPTION_NON_VOLATILE;
  else
    return 0;
  status = RegCreateKeyExA(run->key, t->text[1], 0, NULL, options, KEY_ALL_ACCESS, NULL, &made,
                           &disposition);
  PutNumber(out, "%ld", (long)status);
  if (status == ERROR_SUCCESS) {
    RegCloseKey(made);
    PutNumber(out, " %ld", (long)disposition);
  }
  return 1;
}

/* regopen <path>: RegOpenKeyExA for reading; the status. */
static int CallRegOpen(Run* run, const Tokens* t, Result* out) {
  HKEY key;
  LONG status;
  if (t->count != 2 || t->text[1] == NULL) return 0;
  status = OpenScenarioKey(run, t->text[1], KEY_READ, &key);
  if (status == ERROR_SUCCESS) RegCloseKey(key);
  PutNumber(out, "%ld", (long)status);
  return 1;
}

/* regset <path> <name> <type> <bytes>: RegSetValueExA with exactly the bytes
 * given (a NUL only where written: Windows counts a NUL that follows the
 * bytes of a text, so none does); the status. */
static int CallRegSet(Run* run, const Tokens* t, Result* out) {
  BYTE bytes[kBufferCapacity];
  HKEY key;
  LONG status;
  if (t->count != 5 || t->text[1] == NULL || t->text[3] == NULL || t->text[4] == NULL) return 0;
  if (t->size[4] >= sizeof bytes) return 0;
  memset(bytes, kFill, sizeof bytes);
  memcpy(bytes, t->text[4], t->size[4]);
  status = OpenScenarioKey(run, t->text[1], KEY_SET_VALUE, &key);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExA(key, t->text[2], 0, ValueType(t->text[3]), bytes, (DWORD)t->size[4]);
    RegCloseKey(key);
  }
  PutNumber(out, "%ld", (long)status);
  return 1;
}

/* regquery <path> <name> <size>|nobuffer: RegQueryValueExA; the status, the
 * type and size it reported when it found the value, and on success the
 * whole buffer. */
static int CallRegQuery(Run* run, const Tokens* t, Result* out) {
  BYTE buffer[kBufferCapacity];
  HKEY key;
  DWORD type = kUnsetType;
  DWORD size;
  int has_buffer;
  LONG status;
  if (t->count != 4 || t->text[1] == NULL || t->text[3] == NULL) return 0;
  has_buffer = strcmp(t->text[3], "nobuffer") != 0;
  size = has_buffer ? (DWORD)Number(t->text[3]) : 0;
  if (size > sizeof buffer) return 0;
  memset(buffer, kFill, sizeof buffer);
  status = OpenScenarioKey(run, t->text[1], KEY_QUERY_VALUE, &key);
  if (status == ERROR_SUCCESS) {
    status = RegQueryValueExA(key, t->text[2], NULL, &type, has_buffer ? buffer : NULL, &size);
    RegCloseKey(key);
  }
  PutNumber(out, "%ld", (long)status);
  if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return 1;
  PutNumber(out, " type=%ld", (long)type);
  PutNumber(out, " size=%ld", (long)size);
  if (status == ERROR_SUCCESS && has_buffer) {
    PutText(out, " ");
    PutQuoted(out, (const char*)buffer, (size_t)Number(t->text[3]));
  }
  return 1;
}

/* exists <path>: OpenFile with OF_EXIST; its result (with the last error when
 * it failed), the record's error code and path. */
static int CallExists(Run* run, const Tokens* t, Result* out) {
  char path[kPathCapacity];
  OFSTRUCT record;
  HFILE file;
  if (t->count != 2 || t->text[1] == NULL || !FullPath(run, t->text[1], path)) return 0;
  memset(&record, 0, sizeof record);
  SetLastError(0);
  file = OpenFile(path, &record, OF_EXIST);
  if (file == HFILE_ERROR) {
    PutNumber(out, "HFILE_ERROR error=%ld", (long)GetLastError());
  } else {
    PutNumber(out, "%ld", (long)file);
  }
  PutNumber(out, " code=%ld path=", (long)record.nErrCode);
  {
    const char* end = (const char*)memchr(record.szPathName, '\0', sizeof record.szPathName);
    PutQuoted(out, record.szPathName,
              end == NULL ? sizeof record.szPathName : (size_t)(end - record.szPathName));
  }
  return 1;
}

typedef struct {
  Result seen;
  int count;
  int stop_after; /* 0: never stop */
} Enumeration;

/* Our windows by title; any other by its class in brackets. */
static BOOL CALLBACK NoteWindow(HWND window, LPARAM value) {
  Enumeration* enumeration = (Enumeration*)value;
  char class_name[kNameCapacity] = "";
  char title[kNameCapacity] = "";
  GetClassNameA(window, class_name, (int)sizeof class_name);
  GetWindowTextA(window, title, (int)sizeof title);
  PutText(&enumeration->seen, " ");
  if (strcmp(class_name, kContractWindowClass) == 0) {
    PutText(&enumeration->seen, title);
  } else {
    PutText(&enumeration->seen, "[");
    PutText(&enumeration->seen, class_name);
    PutText(&enumeration->seen, "]");
  }
  ++enumeration->count;
  return enumeration->stop_after == 0 || enumeration->count < enumeration->stop_after ? TRUE
                                                                                      : FALSE;
}

/* enumerate all|<n>: EnumThreadWindows on the scenario's window thread, the
 * callback going on for all windows or stopping at the n-th; the result and
 * the windows handed over, in order. */
static int CallEnumerate(Run* run, const Tokens* t, Result* out) {
  Enumeration enumeration;
  BOOL result;
  if (t->count != 2 || t->text[1] == NULL || !run->windows_made) return 0;
  memset(&enumeration, 0, sizeof enumeration);
  enumeration.stop_after = strcmp(t->text[1], "all") == 0 ? 0 : (int)Number(t->text[1]);
  result = EnumThreadWindows(run->window_thread, NoteWindow, (LPARAM)&enumeration);
  PutText(out, result ? "TRUE" : "FALSE");
  PutText(out, enumeration.seen.text);
  return 1;
}

/* spawn <entry>...: CreateProcessA of the child with exactly these entries as
 * its environment block; the entries the child saw of the names the block
 * gives, in the child's order. */
static int CallSpawn(Run* run, const Tokens* t, Result* out) {
  static char block[kEntriesCapacity];
  static char seen[kEntriesCapacity];
  char program[kPathCapacity];
  char command_line[kPathCapacity + 2];
  STARTUPINFOA startup;
  PROCESS_INFORMATION process;
  size_t used = 0;
  const char* entry;
  int i;
  if (!Join(program, run->scratch, "child.exe")) return 0;
  for (i = 1; i < t->count; ++i) {
    if (t->text[i] == NULL || used + t->size[i] + 2 > sizeof block) return 0;
    memcpy(block + used, t->text[i], t->size[i] + 1);
    used += t->size[i] + 1;
  }
  block[used++] = '\0';
  if (t->count == 1) block[used++] = '\0';
  snprintf(command_line, sizeof command_line, "\"%s\"", program);
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  memset(&process, 0, sizeof process);
  if (!ContractPrepareChild(program)) return 0;
  if (!CreateProcessA(NULL, command_line, NULL, NULL, FALSE, 0, block, NULL, &startup, &process)) {
    PutNumber(out, "FALSE error=%ld", (long)GetLastError());
    return 1;
  }
  if (!ContractChildEnvironment(&process, program, seen, sizeof seen)) seen[0] = seen[1] = '\0';
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  PutText(out, "TRUE");
  for (entry = seen; *entry != '\0'; entry += strlen(entry) + 1) {
    for (i = 1; i < t->count; ++i) {
      if (SameNameIgnoringCase(entry, NameLength(entry), t->text[i], NameLength(t->text[i]))) break;
    }
    if (i == t->count) continue;
    PutText(out, " ");
    PutQuoted(out, entry, strlen(entry));
  }
  return 1;
}

/* peek remove|keep: PeekMessageA for any message of the thread, taking it or
 * leaving it; FALSE, or TRUE with the message's number and wParam. */
static int CallPeek(Run* run, const Tokens* t, Result* out) {
  MSG msg;
  UINT remove;
  (void)run;
  if (t->count != 2 || t->text[1] == NULL) return 0;
  if (strcmp(t->text[1], "remove") == 0) {
    remove = PM_REMOVE;
  } else if (strcmp(t->text[1], "keep") == 0) {
    remove = PM_NOREMOVE;
  } else {
    return 0;
  }
  if (!PeekMessageA(&msg, NULL, 0, 0, remove)) {
    PutText(out, "FALSE");
    return 1;
  }
  PutNumber(out, "TRUE %ld", (long)msg.message);
  PutNumber(out, " %ld", (long)msg.wParam);
  return 1;
}

static void Report(Run* run, const char* call, const char* expected, const char* actual) {
  run->report(run->context, run->scenario, call, expected, actual);
}

static void Fail(Run* run, const char* line, const char* why) {
  run->failed = 1;
  Report(run, line, "", why);
}

static void EndScenario(Run* run) {
  if (run->key != NULL) RegCloseKey(run->key);
  run->key = NULL;
  if (run->windows_made) ContractEndThreadWindows();
  run->windows_made = 0;
}

static void BeginScenario(Run* run, const char* line, const char* name) {
  char key_path[kPathCapacity];
  DWORD disposition = 0;
  EndScenario(run);
  snprintf(run->scenario, sizeof run->scenario, "%s", name);
  if (!Join(run->folder, run->scratch, name) ||
      !Join(key_path, "Software\\PrelaunchContract", name)) {
    Fail(run, line, "error: the scenario's name is too long");
    return;
  }
  ContractBeginScenario(run->folder, key_path);
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_path, 0, NULL, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, NULL, &run->key, &disposition) != ERROR_SUCCESS) {
    run->key = NULL;
    Fail(run, line, "error: the scenario's key cannot be made");
  }
}

/* Setting-up lines give no result; 0 when the line is none. */
static int SetUp(Run* run, const Tokens* t, const char* line) {
  char path[kPathCapacity];
  if (strcmp(t->text[0], "file") == 0) {
    if (t->count != 3 || t->text[1] == NULL || t->text[2] == NULL ||
        !FullPath(run, t->text[1], path) || !ContractWriteFile(path, t->text[2], t->size[2])) {
      Fail(run, line, "error: the file cannot be written");
    }
  } else if (strcmp(t->text[0], "folder") == 0) {
    if (t->count != 2 || t->text[1] == NULL || !FullPath(run, t->text[1], path) ||
        !ContractMakeFolder(path)) {
      Fail(run, line, "error: the folder cannot be made");
    }
  } else if (strcmp(t->text[0], "post") == 0) {
    if (t->count != 2 || t->text[1] == NULL || !ContractPostMessage((UINT)Number(t->text[1]))) {
      Fail(run, line, "error: the message cannot be posted");
    }
  } else if (strcmp(t->text[0], "quit") == 0) {
    if (t->count != 2 || t->text[1] == NULL) {
      Fail(run, line, "error: quit takes an exit code");
    } else {
      PostQuitMessage((int)Number(t->text[1]));
    }
  } else if (strcmp(t->text[0], "windows") == 0) {
    run->window_thread = ContractMakeThreadWindows(t->text + 1, t->count - 1);
    run->windows_made = 1;
    if (run->window_thread == 0) Fail(run, line, "error: the windows cannot be made");
  } else {
    return 0;
  }
  return 1;
}

static int Call(Run* run, const Tokens* t, Result* out) {
  static const struct {
    const char* name;
    int (*call)(Run* run, const Tokens* t, Result* out);
  } kCalls[] = {
      {"profile", CallProfile},     {"regcreate", CallRegCreate}, {"regopen", CallRegOpen},
      {"regset", CallRegSet},       {"regquery", CallRegQuery},   {"exists", CallExists},
      {"enumerate", CallEnumerate}, {"spawn", CallSpawn},         {"peek", CallPeek}};
  size_t i;
  for (i = 0; i < sizeof kCalls / sizeof kCalls[0]; ++i) {
    if (strcmp(kCalls[i].name, t->text[0]) == 0) return kCalls[i].call(run, t, out);
  }
  return 0;
}

static void Line(Run* run, const char* line) {
  static Tokens tokens;
  if (line[0] == '=') {
    const char* expected = line[1] == ' ' ? line + 2 : line + 1;
    if (run->call[0] == '\0') {
      Fail(run, line, "error: a result without its call");
      return;
    }
    Report(run, run->call, expected, run->actual.text);
    run->call[0] = '\0';
    return;
  }
  if (run->call[0] != '\0') {
    Fail(run, run->call, "error: a call without its result");
    run->call[0] = '\0';
  }
  if (!Split(line, &tokens) || tokens.count == 0 || tokens.text[0] == NULL) {
    Fail(run, line, "error: the line cannot be read");
  } else if (strcmp(tokens.text[0], "scratch") == 0 && tokens.count == 2 &&
             tokens.text[1] != NULL) {
    snprintf(run->scratch, sizeof run->scratch, "%s", tokens.text[1]);
  } else if (strcmp(tokens.text[0], "scenario") == 0 && tokens.count == 2 &&
             tokens.text[1] != NULL) {
    BeginScenario(run, line, tokens.text[1]);
  } else if (run->key == NULL) {
    Fail(run, line, "error: not in a scenario");
  } else if (!SetUp(run, &tokens, line)) {
    run->actual.length = 0;
    run->actual.text[0] = '\0';
    if (!Call(run, &tokens, &run->actual)) {
      Fail(run, line, "error: the call cannot be made");
      return;
    }
    snprintf(run->call, sizeof run->call, "%s", line);
  }
}

int RunContractTable(const char* table_path, ContractReport report, void* context) {
  static Run run;
  static char line[kLineCapacity];
  FILE* table = fopen(table_path, "rb");
  memset(&run, 0, sizeof run);
  run.report = report;
  run.context = context;
  if (table == NULL) {
    Fail(&run, table_path, "error: the table cannot be read");
    return 0;
  }
  while (fgets(line, sizeof line, table) != NULL) {
    line[strcspn(line, "\r\n")] = '\0';
    if (line[0] == '\0' || line[0] == '#') continue;
    Line(&run, line);
  }
  fclose(table);
  if (run.call[0] != '\0') Fail(&run, run.call, "error: a call without its result");
  EndScenario(&run);
  return !run.failed;
}
