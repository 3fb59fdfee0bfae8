#include "check/check.h"

#include <cstring>

#include "base/bounded_text.h"
#include "check/exports.h"
#include "check/report.h"
#include "check/traps.h"
#include "checks/display_memory.h"
#include "components/app_registry.h"
#include "components/core_components.h"
#include "components/file_version.h"
#include "components/ocx_registration.h"
#include "config/ini.h"
#include "config/keys.h"
#include "config/paths.h"
#include "launch/launch.h"
#include "splash/splash.h"

constexpr unsigned kLeastBitsPerPixel = 8;
constexpr unsigned kMegabyteShift = 20;
constexpr UINT kSplashStays = 0xFFFF;
constexpr char kFailedToFindLabel[] =
    "\"GetPrivateProfileString\" box: Failed to find label: %s in Section: %s";
constexpr char kRealRunStops[] = "a real run stops here";

static char g_command_line[kCommandLineCapacity];

// A number the launcher reads as Windows does: digits up to the first other
// character, 0 without any.
static UINT CheckedNumber(const char* key, UINT fallback, const char* as_zero) {
  char text[kControlValueCapacity];
  UINT value = GetIniInt(kApplicationSection, key, fallback);
  if (GetIniString(kApplicationSection, key, text, sizeof text, 0) != 0 &&
      (text[0] < '0' || text[0] > '9')) {
    ReportProblem("%s=%s is not a number: it reads as 0, so %s. Write it in decimal digits.", key,
                  text, as_zero);
  }
  return value;
}

static void CheckDisplay() {
  int bits = GetBitsPerPixel();
  ReportLine("Colour depth: %d bits per pixel", bits);
  if (static_cast<unsigned>(bits) < kLeastBitsPerPixel)
    ReportProblem("\"Information\" box: fewer than 256 colours; %s.", kRealRunStops);
}

static void CheckMemory() {
  UINT megabytes = CheckedNumber(kMegRequiredKey, 0, "memory is not checked");
  if (megabytes == 0) return ReportLine("MegRequired: none, memory is not checked");
  unsigned free_megabytes = static_cast<unsigned>(GetFreeMemory() >> kMegabyteShift);
  ReportLine("MegRequired: %u MB; free memory and page file: %u MB", megabytes, free_megabytes);
  if (free_megabytes < megabytes)
    ReportProblem(
        "\"Information\" box: not enough memory; OK runs the application anyway, "
        "Cancel stops.");
}

// The application key, AutoRunDisabled and a running copy: read, never made.
static void CheckRegistryKeyAndInstance() {
  const char* missing_key = nullptr;
  if (!ReadApplicationNames(0, &missing_key)) {
    if (missing_key != nullptr) {
      ReportProblem(kFailedToFindLabel, missing_key, kApplicationSection);
    } else {
      ReportProblem(
          "\"CreateApplicationKeys\" box: CompanyName, ApplicationName and "
          "ApplicationVersion together pass %u characters; a real run goes on without "
          "the application key. Shorten them.",
          kApplicationNamesLimit);
    }
  } else {
    char path[kApplicationKeyPathCapacity];
    ApplicationKeyPath(path, sizeof path);
    ReportLine("Application key: HKEY_LOCAL_MACHINE\\Software\\%s (%s)", path,
               ApplicationKeyExists() ? "exists" : "a real run creates it");
    if (IsAutoRunDisabled()) {
      ReportProblem("AutoRunDisabled is 1 in the application key: %s, showing nothing.",
                    kRealRunStops);
    }
  }
  char name[kMarkerNameCapacity];
  if (GetIniString(kApplicationSection, kApplicationNameKey, name, sizeof name, 0) == 0) return;
  HANDLE marker = OpenNamedSemaphore(SYNCHRONIZE, FALSE, name);
  ReportLine("Running copy: %s", marker != nullptr ? "yes" : "none");
  if (marker == nullptr) return;
  CloseHandle(marker);
  ReportProblem("%s is running: a real run brings its window forward and stops.", name);
}

static void CheckProgram(char* program, char* directory) {
  program[0] = directory[0] = '\0';
  if (GetIniString(kApplicationSection, kProgramNameKey, program, kProgramNameCapacity, 0) == 0)
    return ReportProblem(kFailedToFindLabel, kProgramNameKey, kApplicationSection);
  int fitted = GetApplicationDirectory(program, directory, kPathCapacity);
  ReportLine("ProgramName: %s; working directory %s", program, directory);
  if (!fitted || !FolderExists(directory)) {
    return ReportProblem("\"GetPrivateProfileString\" box: Could not set cwd to %s; %s.", directory,
                         kRealRunStops);
  }
  char path[kControlPathCapacity];
  FormatText(path, sizeof path, "%s%s", HasDrive(program) ? "" : directory, program);
  if (FileExists(path)) return ReportLine("Program: %s (found)", path);
  ReportProblem("\"WinExecAndWait\" box: the program %s is missing, so it cannot start.", path);
  if (strchr(program, ' ') != nullptr)
    ReportProblem("ProgramName=%s: it names the program only and takes no arguments.", program);
}

static void CheckSplash() {
  char value[kControlValueCapacity], path[kPathCapacity];
  if (GetIniString(kApplicationSection, kSplashWaveFileKey, value, sizeof value, 0) == 0) {
    ReportProblem(kFailedToFindLabel, kSplashWaveFileKey, kApplicationSection);
  } else if (ResolveSoundPath(path, sizeof path, GetHomeDirectory(), value) && FileExists(path)) {
    ReportLine("SplashWaveFile: %s; sound %s", value, path);
  } else {
    ReportProblem("SplashWaveFile=%s: the sound %s is missing, so none plays.", value, path);
  }
  UINT off = CheckedNumber(kSplashOffTimeKey, kSplashStays,
                           "the splash comes down before the application starts");
  if (off == kSplashStays) {
    ReportLine("SplashOffTime: the splash stays until the application closes it");
  } else {
    ReportLine("SplashOffTime: the splash comes down %u ms after the application starts", off);
  }
}

constexpr size_t kVersionTextCapacity = 24;

static const char* VersionText(const DWORD numbers[kVersionNumbers], char* text) {
  FormatText(text, kVersionTextCapacity, "%u.%u.%u.%u", static_cast<unsigned>(numbers[0]),
             static_cast<unsigned>(numbers[1]), static_cast<unsigned>(numbers[2]),
             static_cast<unsigned>(numbers[3]));
  return text;
}

struct CoreWalk {
  unsigned end;
  unsigned first_not_current;
};

static int ReportCoreComponent(const CoreComponent& entry, void* context) {
  CoreWalk* walk = static_cast<CoreWalk*>(context);
  walk->end = entry.ordinal + 1;
  DWORD found[kVersionNumbers];
  char text[kVersionTextCapacity];
  int current = entry.path[0] != '\0' && CompareFileVersion(entry.path, entry.version);
  if (entry.path[0] != '\0' && GetFileVersionNumbers(entry.path, found)) {
    ReportLine("%s%u: %s version %s, required %s: %s", kCoreStem, entry.ordinal, entry.path,
               VersionText(found, text), entry.version, current ? "current" : "older");
  } else {
    ReportLine("%s%u: %s, required %s: missing or without a version", kCoreStem, entry.ordinal,
               entry.path[0] != '\0' ? entry.path : entry.file_name, entry.version);
  }
  if (!current && walk->first_not_current == 0) walk->first_not_current = entry.ordinal;
  return 1;
}

static unsigned CheckCoreComponentsAndMode(int slow_load, int* normal_mode) {
  CoreWalk walk = {1, 0};
  WalkCoreComponents(ReportCoreComponent, &walk);
  *normal_mode = !slow_load && walk.first_not_current == 0;
  if (slow_load) {
    ReportLine("Launch mode: slow-load (/SlowLoad)");
  } else if (walk.first_not_current != 0) {
    ReportLine("Launch mode: slow-load (%s%u is not current)", kCoreStem, walk.first_not_current);
  } else {
    ReportLine("Launch mode: normal");
  }
  return walk.end;
}

static const char* FileFacts(const char* path, char* facts, ExportLookup* lookup) {
  *lookup = FindExport(path, "DllRegisterServer");
  DWORD v[kVersionNumbers];
  char text[kVersionTextCapacity];
  const char* exports = *lookup == kExportPresent   ? "registers itself"
                        : *lookup == kExportMissing ? "no DllRegisterServer"
                        : *lookup == kOtherBitness  ? "32/64-bit mismatch"
                                                    : "not a library";
  if (!FileExists(path)) return "missing";
  if (GetFileVersionNumbers(path, v)) {
    FormatText(facts, kControlValueCapacity, "version %s, %s", VersionText(v, text), exports);
  } else {
    FormatText(facts, kControlValueCapacity, "no version, %s", exports);
  }
  return facts;
}

// What a real run would do for one control, and the box it would show.
static void CheckControl(const char* section, const char* key, const char* control,
                         const char* folder, const char* base_folder, unsigned ordinal) {
  char type_library[kControlValueCapacity], class_key[kControlValueCapacity],
      version[kControlValueCapacity], companion[kListKeyCapacity];
  if (!ReadCompanions(section, ordinal, type_library, class_key, version, companion, 0)) {
    return ReportProblem(kFailedToFindLabel, companion, section);
  }
  char resolved[kControlPathCapacity], path[kControlPathCapacity], facts[kControlValueCapacity];
  ResolvePrefix(resolved, sizeof resolved, base_folder, control);
  // A real run looks for a relative path from the control folder, its working directory.
  FormatText(path, sizeof path, "%s%s", IsFullPath(resolved) ? "" : folder, resolved);
  ExportLookup lookup;
  ReportLine("[%s] %s=%s: %s, %s", section, key, control, path, FileFacts(path, facts, &lookup));

  Registration found;
  ProbeRegistration(class_key, type_library, version, &found);
  int walked = RecordWouldBeWalked(type_library);
  const char* action = !found.class_found     ? "register it"
                       : found.version_found  ? "nothing"
                       : walked               ? "record the older file, then register it"
                                              : "register it without a record";
  ReportLine("  registered: type library %s, class %s, file %s, required %s: a real run does %s",
             found.type_library_found ? "yes" : "no", found.class_found ? "yes" : "no",
             found.type_library_found ? found.path : "none", version, action);
  if (found.class_found && !found.version_found) {
    ReportLine(walked ? "  at exit the older file unregisters; where that takes this control's "
                        "keys, this file registers again"
                      : "  the walk at exit reads only library\\first version\\0\\win32: the "
                        "older file stays registered");
  }
  if (found.class_found && found.version_found) return;
  if (lookup == kExportMissing) {
    ReportProblem("\"Function Look Failure\" box: %s has no DllRegisterServer.", path);
  } else if (lookup != kExportPresent) {
    ReportProblem("\"LoadLibrary Failed\" box: %s cannot be loaded (%s).", path,
                  lookup == kOtherBitness ? "32/64-bit mismatch" : "missing or not a library");
  }
}

// One section's controls; the ordinal at which its list ended.
static unsigned CheckControls(const char* section, const char* folder) {
  const char* base_folder = section == kSystemOcxSection ? folder : GetHomeDirectory();
  for (unsigned ordinal = 1;; ++ordinal) {
    char key[kListKeyCapacity], control[kControlValueCapacity];
    if (!ListKeyName(key, sizeof key, kOcxStem, ordinal, "") ||
        GetIniString(section, key, control, sizeof control, 0) == 0) {
      return ordinal;
    }
    CheckControl(section, key, control, folder, base_folder, ordinal);
  }
}

static void CheckControlFolder(char* folder) {
  char value[kControlFolderCapacity] = "";
  GetIniString(kSystemOcxSection, kOcxPathKey, value, sizeof value, 0);
  int fitted = GetControlFolder(folder, kControlFolderCapacity);
  ReportLine("OcxPath: %s; control folder %s", value[0] != '\0' ? value : "(none)", folder);
  size_t length = strlen(value);
  if (HasDrive(value) && length > 0 && value[length - 1] != '\\') {
    ReportProblem(
        "OcxPath=%s has a drive and no closing backslash: control files are looked for "
        "as %sNAME.OCX. End it with a backslash.",
        value, value);
  }
  if (!fitted || !FolderExists(folder)) {
    ReportProblem("\"GetPrivateProfileString\" box: Could not set cwd to %s; %s.", folder,
                  kRealRunStops);
  }
}

static void CheckLaunch(char* program, const char* directory, int normal_mode) {
  if (program[0] == '\0') return;
  if (!BuildCommandLine(g_command_line, sizeof g_command_line, directory, program, nullptr)) {
    return ReportProblem("\"WinExecAndWait\" box: the command line does not fit.");
  }
  ReportLine("Command line: %s (the splash window's handle in place of 00000000)", g_command_line);
  if (normal_mode)
    return ReportLine("Environment: the launcher's own; working directory %s", directory);
  char working_directory[kPathCapacity];
  const char* block = SlowLoadEnvironment(directory, working_directory);
  if (block == nullptr)
    return ReportProblem("\"WinExecAndWait\" box: the slow-load environment does not fit.");
  ReportLine("Working directory: %s", working_directory);
  for (; *block != '\0'; block += strlen(block) + 1) ReportLine("Environment: %s", block);
}

int RunCheck(HINSTANCE instance, int slow_load) {
  if (GetIniFileName(instance) == 0) return kCheckStopped;
  ReportLine("Check of %s, read only: nothing is written, registered or started",
             GetLauncherFileName());
  ReportLine("Home directory: %s", GetHomeDirectory());
  ReportLine("Configuration file: %s", GetIniFilePath());
  CheckDisplay();
  CheckRegistryKeyAndInstance();
  CheckMemory();
  char program[kProgramNameCapacity], directory[kPathCapacity];
  CheckProgram(program, directory);
  CheckSplash();
  ListEnds ends;
  int normal_mode = 0;
  ends.core_components = CheckCoreComponentsAndMode(slow_load, &normal_mode);
  char folder[kControlFolderCapacity];
  CheckControlFolder(folder);
  ends.system_controls = CheckControls(kSystemOcxSection, folder);
  ends.application_controls = CheckControls(kApplicationOcxSection, folder);
  CheckLaunch(program, directory, normal_mode);
  ReportUnreadKeys(ends);
  return FinishReport();
}
