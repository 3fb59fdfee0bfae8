#include "launcher/switches.h"

#include <cstdio>

#include "launcher/bounded_text.h"

static void ApplyWord(const char* word, Switches* switches) {
  if (EqualsNoCase(word, "Debug")) switches->debug = 1;
  if (EqualsNoCase(word, "SlowLoad")) switches->slow_load = 1;
}

Switches ReadSwitches(const char* arguments) {
  Switches switches = {0, 0};
  if (arguments == nullptr || arguments[0] != '/') return switches;
  // Words hold at most 31 characters; the rest of a longer word is not a word.
  char words[4][32] = {};
  int count = sscanf(arguments, "/%31s /%31s /%31s /%31s", words[0], words[1], words[2], words[3]);
  if (count >= 1) ApplyWord(words[0], &switches);
  if (count >= 2) ApplyWord(words[1], &switches);
  return switches;
}
