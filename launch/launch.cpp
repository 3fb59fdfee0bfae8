#include "launch/launch.h"

#include <cstdint>
#include <cstring>

#include "base/bounded_text.h"
#include "base/message.h"
#include "base/trace.h"
#include "checks/thread_slot.h"
#include "config/ini.h"
#include "config/paths.h"

// 0xFF as the launcher has always asked; newer headers' QS_ALLINPUT adds raw input.
constexpr DWORD kWakeOnAnyInput = 0xFF;
constexpr DWORD kQueueInput = WAIT_OBJECT_0 + 1;

static char g_environment[kEnvironmentCapacity];

int GetApplicationDirectory(const char* program_name, char* out, size_t capacity) {
  char drive[kDriveCapacity], directory[kPathPieceCapacity];
  int fitted = Split(program_name, drive, directory, nullptr, nullptr);
  if (drive[0] == '\0') {
    fitted = Split(GetHomeDirectory(), drive, directory, nullptr, nullptr);
  }
  fitted &= Join(out, capacity, drive, directory, nullptr, nullptr);
  return fitted;
}

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

// Appends one NUL-terminated entry at *used; the block's final NUL is added by the caller.
static int AppendEntry(char* block, size_t capacity, size_t* used, const char* name,
                       const char* first, const char* second) {
  if (*used >= capacity) return 0;
  if (!FormatText(block + *used, capacity - *used, "%s=%s%s", name, first, second)) return 0;
  *used += strlen(block + *used) + 1;
  return 1;
}

int BuildSlowLoadEnvironment(char* block, size_t capacity, const char* control_folder,
                             const char* application_directory, const char* temp_folder,
                             const char* system_root) {
  if (capacity < 2) return 0;
  size_t used = 0;
  char search_path[2 * kPathCapacity];
  if (!FormatText(search_path, sizeof search_path, "%s;%s", control_folder,
                  application_directory)) {
    return 0;
  }
  if (!AppendEntry(block, capacity, &used, "Path", search_path, "")) return 0;
  if (temp_folder != nullptr && temp_folder[0] != '\0' &&
      !AppendEntry(block, capacity, &used, "Tmp", temp_folder, "")) {
    return 0;
  }
  if (system_root != nullptr && system_root[0] != '\0' &&
      !AppendEntry(block, capacity, &used, "SystemRoot", system_root, "")) {
    return 0;
  }
  if (used >= capacity) return 0;
  block[used] = '\0';
  return 1;
}

char* SlowLoadEnvironment(const char* application_directory, char* working_directory) {
  if (!GetControlFolder(working_directory, kPathCapacity)) return nullptr;
  char temp_folder[kPathCapacity] = "";
  DWORD temp_length = GetTempFolder(sizeof temp_folder, temp_folder);
  // A folder that did not fit is reported by its needed length; leave Tmp out then.
  if (temp_length == 0 || temp_length >= sizeof temp_folder) temp_folder[0] = '\0';
  // Sockets, crypto and COM fail in a process without SystemRoot.
  char system_root[kPathCapacity] = "";
  DWORD root_length = GetEnvironmentText("SystemRoot", system_root, sizeof system_root);
  if (root_length == 0 || root_length >= sizeof system_root) system_root[0] = '\0';
  if (!BuildSlowLoadEnvironment(g_environment, sizeof g_environment, working_directory,
                                application_directory, temp_folder, system_root)) {
    return nullptr;
  }
  return g_environment;
}

void ShowFailedToCreateProcess(const char* command_line) {
  char message[kMessageCapacity];
  FormatText(message, sizeof message, "Failed to Create Process %s\n", command_line);
  ShowMessage(nullptr, message, "WinExecAndWait", kMessageOk);
}

static int RefuseToStart(const char* command_line) {
  ShowFailedToCreateProcess(command_line);
  return 0;
}

// Has the application ended (or can it no longer be asked)?
static int ApplicationEnded(HANDLE process) {
  return WaitForSingleObject(process, 0) != WAIT_TIMEOUT;
}

// One wait and the queue it woke for; 0 once the application has ended. The
// queue is emptied before the next wait (a wait does not wake again for input
// already seen), unless the application ends meanwhile: a message that keeps
// coming back must not hide that.
static int WaitForApplication(const PROCESS_INFORMATION* process) {
  TraceEvent("WinExec Process Started");
  HANDLE handle = process->hProcess;
  if (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, kWakeOnAnyInput) != kQueueInput)
    return 0;
  StoreSharedThreadId(process->dwThreadId);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    if (ApplicationEnded(handle)) return 0;
  }
  return 1;
}

int WinExecAndWait(char* command_line, const char* application_directory, int mode) {
  TraceEvent("WinExec");
  char working_directory[kPathCapacity];
  char* environment = nullptr;
  if (mode == kNormalMode) {
    if (!CopyText(working_directory, sizeof working_directory, application_directory)) {
      return RefuseToStart(command_line);
    }
  } else {
    environment = SlowLoadEnvironment(application_directory, working_directory);
    if (environment == nullptr) return RefuseToStart(command_line);
  }

  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  memset(&process, 0, sizeof process);
  if (!StartProcess(nullptr, command_line, nullptr, nullptr, FALSE, 0, environment,
                      working_directory, &startup, &process)) {
    return RefuseToStart(command_line);
  }

  // Published at once: the wait may never wake before the application ends
  // (no splash to serve), and a second launcher looks for its windows now.
  StoreSharedThreadId(process.dwThreadId);
  while (WaitForApplication(&process)) continue;
  TraceEvent("Process Exited");
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 1;
}
