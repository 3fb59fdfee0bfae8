// The launcher's entry: one fixed sequence of steps, ending with status 1 at
// the first step that refuses, or 0 once the application has run.
#include "base/bounded_text.h"
#include "base/message.h"
#include "base/trace.h"
#include "check/check.h"
#include "checks/display_memory.h"
#include "checks/single_instance.h"
#include "components/app_registry.h"
#include "components/control_code_hooks.h"
#include "components/core_components.h"
#include "components/library_search.h"
#include "components/ocx_registration.h"
#include "components/ocx_unregistration.h"
#include "components/refused_writes.h"
#include "config/ini.h"
#include "config/keys.h"
#include "config/paths.h"
#include "launch/launch.h"
#include "launcher/command_line.h"
#include "launcher/switches.h"
#include "platform/win32.h"
#include "splash/splash.h"

constexpr int kStop = 1;
constexpr int kRan = 0;
// Names in the administrator message are cut so that its remedy always shows.
constexpr int kMessageNameLimit = 100;

static char g_command_line[kCommandLineCapacity];

static int CouldNotSetDirectory(const char* directory) {
  ShowCouldNotSetDirectory(directory);
  return kStop;
}

static int TooFewColors() {
  char message[kMessageCapacity];
  FormatText(message, sizeof message, "%s%s%s",
             "This application was designed for 256 color mode or better.\n",
             "Please use the Display Settings to change to 256 Color,\n",
             "High Color or True Color.");
  ShowMessage(nullptr, message, "Information", kMessageInformation);
  return kStop;
}

// Only OK goes on; Cancel, a closed box or one that failed to show stop.
static int GoOnWithLittleMemory() {
  char message[kMessageCapacity];
  FormatText(
      message, sizeof message, "%s%s%s%s%s%s%s",
      "There are currently not enough system resources to run this application reliably.\n",
      "Tip: To free system resources you can:\n", "\tExit other application(s)\n",
      "\tEmpty Recycle Bin\n", "\tFree up disk space\n",
      "Please consult your system help for additional tips on making more memory available.\n",
      "Select OK to run this application anyway or Cancel to exit.");
  return ShowMessage(nullptr, message, "Information", kMessageOkCancel) == IDOK;
}

// One message for every write the launch needed and was refused.
static int AdministratorRightsNeeded() {
  const char* application =
      GetApplicationName()[0] != '\0' ? GetApplicationName() : "This application";
  char message[kMessageCapacity];
  FormatText(
      message, sizeof message,
      "%.*s needs administrator rights to set up its components on this computer.\n\n"
      "Please start %.*s once with \"Run as administrator\". After that it runs for every user.",
      kMessageNameLimit, application, kMessageNameLimit, GetLauncherFileName());
  ShowMessage(nullptr, message, "Administrator rights needed", kMessageInformation);
  return kStop;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR arguments, int show) {
  (void)previous;
  (void)show;
  NarrowLibrarySearch();
  // A topmost splash would cover the box; also a splash whose delay still runs.
  SetBeforeMessageHook(SplashOffForMessage);
  // A control's own box must come above the splash, and the splash must not
  // look frozen while controls register.
  SetControlCodeHook(SplashAroundControl);
  Switches switches = ReadSwitches(arguments);
  TraceStart(switches.debug);
  if (switches.check) return RunCheck(instance, switches.slow_load);
  if (!HasEnoughColors()) return TooFewColors();

  if (GetIniFileName(instance) == 0) return kStop;
  CreateApplicationKeys();
  if (WriteWasRefused()) return AdministratorRightsNeeded();
  if (IsAutoRunDisabled()) return kStop;

  if (IsAlreadyRunning()) return kStop;
  if (!HasEnoughMemory() && !GoOnWithLittleMemory()) return kStop;

  char program_name[kProgramNameCapacity];
  if (GetIniString(kApplicationSection, kProgramNameKey, program_name, sizeof program_name, 1) ==
      0) {
    return kStop;
  }
  char application_directory[kPathCapacity];
  if (!GetApplicationDirectory(program_name, application_directory, sizeof application_directory)) {
    return CouldNotSetDirectory(application_directory);
  }
  if (!SetWorkingFolder(application_directory))
    return CouldNotSetDirectory(application_directory);

  SplashOn(instance);
  // Runs even under SlowLoad, which then overrides its answer.
  int core = CheckCoreComponents();
  if (switches.slow_load) core = 0;
  if (!RegisterOCXs() || WriteWasRefused()) {
    if (WriteWasRefused()) AdministratorRightsNeeded();
    SplashAbort();
    return kStop;
  }

  UINT splash_off_time = GetIniInt(kApplicationSection, kSplashOffTimeKey, kSplashStaysUp);
  if (splash_off_time != kSplashStaysUp) SplashOff(splash_off_time);

  // A delay or a box may have taken the splash down meanwhile: its handle
  // would then reach whatever window gets it next.
  if (BuildCommandLine(g_command_line, sizeof g_command_line, application_directory, program_name,
                       SplashWindow())) {
    WinExecAndWait(g_command_line, application_directory, core ? kNormalMode : kSlowLoadMode);
  } else {
    ShowFailedToCreateProcess(g_command_line);
  }

  UnRegisterOCXs();
  TraceStop();
  return kRan;
}
