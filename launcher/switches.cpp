#include "launcher/switches.h"

#include "base/bounded_text.h"

static int IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

static void ApplyWord(const char* word, Switches* switches) {
  if (EqualsNoCase(word, "Debug")) switches->debug = 1;
  if (EqualsNoCase(word, "SlowLoad")) switches->slow_load = 1;
  if (EqualsNoCase(word, "Check")) switches->check = 1;
}

// Words are read as "/%31s /%31s" reads them: a slash, blanks allowed after
// it, then at most 31 characters up to a blank. The rest of a longer word is
// not a word unless it starts with a slash.
Switches ReadSwitches(const char* arguments) {
  Switches switches = {0, 0, 0};
  if (arguments == nullptr) return switches;
  const char* p = arguments;
  for (int index = 0; index < 2; ++index) {
    if (index > 0) {
      while (IsBlank(*p)) ++p;
    }
    if (*p != '/') break;
    ++p;
    while (IsBlank(*p)) ++p;
    char word[32];
    size_t length = 0;
    while (length < sizeof word - 1 && *p != '\0' && !IsBlank(*p)) word[length++] = *p++;
    if (length == 0) break;
    word[length] = '\0';
    ApplyWord(word, &switches);
  }
  return switches;
}
