#include "check/traps.h"

#include <cstring>

#include "check/report.h"
#include "config/ini.h"
#include "config/keys.h"

// Room for the names of one section, or of all sections.
constexpr DWORD kNamesCapacity = 8192;

static char g_names[kNamesCapacity];

static const char* const kApplicationKeys[] = {
    kCompanyNameKey, kApplicationNameKey, kApplicationVersionKey,
    kProgramNameKey, kSplashWaveFileKey,  kSplashOffTimeKey,
    kMegRequiredKey, kWinClassKey,        kWinTextKey,
};
static const char* const kKnownSections[] = {kApplicationSection, kSystemOcxSection,
                                             kApplicationOcxSection, kCoreSection};
static const char* const kControlSuffixes[] = {"", kTypeLibSuffix, kClsidSuffix, kVersionSuffix};
static const char* const kCoreSuffixes[] = {"", kVersionSuffix};

static int IsOneOf(const char* name, const char* const* names, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (EqualsNoCase(name, names[i])) return 1;
  }
  return 0;
}

static int StartsWithNoCase(const char* text, const char* start) {
  char head[kListKeyCapacity];
  return CopyTextPart(head, sizeof head, text, strlen(start)) && EqualsNoCase(head, start);
}

// Why a key of a numbered list (stem, then digits, then one of suffixes) is
// not read: 0 when it is read or is no such key.
static const char* ListTrap(const char* name, const char* stem, const char* const* suffixes,
                            size_t suffix_count, unsigned end) {
  if (!StartsWithNoCase(name, stem)) return nullptr;
  const char* digits = name + strlen(stem);
  const char* rest = digits;
  unsigned ordinal = 0;
  int has_nine = 0;
  while (*rest >= '0' && *rest <= '9' && rest - digits < 4) {
    has_nine |= *rest == '9';
    ordinal = ordinal * 9 + static_cast<unsigned>(*rest++ - '0');
  }
  if (rest == digits || !IsOneOf(rest, suffixes, suffix_count)) return nullptr;
  if (has_nine)
    return "numbers are written in base 9: a name with the digit 9 is never read (the "
           "eighth entry is followed by the ninth as 10). Renumber it.";
  char canonical[kListKeyCapacity];
  if (!ListKeyName(canonical, sizeof canonical, stem, ordinal, rest) ||
      !EqualsNoCase(canonical, name)) {
    return nullptr;
  }
  // The entry where the list ended is read (and found missing); its companions are not.
  if (ordinal > end || (ordinal == end && *rest != '\0'))
    return "the list ends at its first missing entry, before this one. Number "
           "the entries without a gap.";
  return "";
}

static void ReportSectionKeys(const char* section, const ListEnds& ends) {
  if (GetIniString(section, nullptr, g_names, kNamesCapacity, 0) == 0) return;
  for (const char* name = g_names; *name != '\0'; name += strlen(name) + 1) {
    const char* why = nullptr;
    if (section == kApplicationSection) {
      if (IsOneOf(name, kApplicationKeys, sizeof kApplicationKeys / sizeof *kApplicationKeys))
        continue;
    } else if (section == kCoreSection) {
      why = ListTrap(name, kCoreStem, kCoreSuffixes, 2, ends.core_components);
    } else {
      if (section == kSystemOcxSection && EqualsNoCase(name, kOcxPathKey)) continue;
      why =
          ListTrap(name, kOcxStem, kControlSuffixes, 4,
                   section == kSystemOcxSection ? ends.system_controls : ends.application_controls);
    }
    if (why != nullptr && *why == '\0') continue;
    if (why == nullptr) {
      why = section == kApplicationOcxSection && EqualsNoCase(name, kOcxPathKey)
                ? "OcxPath is read from [SystemOcx] only. Move it there."
                : "it is not a key the launcher reads in this section. Check its spelling.";
    }
    ReportProblem("[%s] %s is never read: %s", section, name, why);
  }
}

void ReportUnreadKeys(const ListEnds& ends) {
  for (const char* section : kKnownSections) ReportSectionKeys(section, ends);
  static char sections[kNamesCapacity];
  if (GetIniString(nullptr, nullptr, sections, sizeof sections, 0) == 0) return;
  for (const char* name = sections; *name != '\0'; name += strlen(name) + 1) {
    if (!IsOneOf(name, kKnownSections, 4)) {
      ReportProblem(
          "[%s] is not a section the launcher reads: its keys are never read. Check its "
          "spelling.",
          name);
    }
  }
}
