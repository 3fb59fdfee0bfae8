#include "launcher/command_line.h"

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
