#include "launcher/command_line.h"

#include <cstdint>
#include <cstring>

#include "base/bounded_text.h"
#include "config/paths.h"

int BuildCommandLine(char* out, size_t capacity, const char* application_directory,
                     const char* program_name, HWND splash) {
  const char* directory = HasDrive(program_name) ? "" : application_directory;
  // Unquoted, a blank lets the system try shorter prefixes first
  // (C:\Program.exe for C:\Program Files\...).
  int has_blank = strchr(directory, ' ') != nullptr || strchr(program_name, ' ') != nullptr;
  const char* quote = has_blank ? "\"" : "";
  unsigned handle = static_cast<unsigned>(reinterpret_cast<uintptr_t>(splash));
  return FormatText(out, capacity, "%s%s%s%s /%08x", quote, directory, program_name, quote, handle);
}

char* ArgumentsAfterProgramName(char* line) {
  static char none[] = "";
  if (line == nullptr) return none;
  char* p = line;
  if (*p == '"') {
    ++p;
    while (*p != '\0' && *p != '"') ++p;
    if (*p == '"') ++p;
  } else {
    while (static_cast<unsigned char>(*p) > ' ') ++p;
  }
  while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') ++p;
  return p;
}
