// The simulated machine, for tests: set it up, run launcher code against it,
// read back what happened. Every Win32 call of the launcher is recorded with
// its arguments and can be made to fail.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/host/win32_api.h"

namespace sim {

// A fresh machine: no files, no failures, clock at 0, nothing recorded.
void Reset();

// Files. Windows paths (any case, either separator) map into a private host
// folder; relative paths resolve against the simulated working directory.
std::string HostPath(const std::string& windows_path);
bool WriteFile(const std::string& windows_path, const std::string& content);
bool MakeDirectory(const std::string& windows_path);
bool FileExists(const std::string& windows_path);
std::string CurrentDirectory();

void SetModuleFileName(const std::string& path);
// An empty path makes GetTempPathA report none.
void SetTempPath(const std::string& path);
// Byte ranges that are lead bytes of the system's double-byte code page.
void SetLeadByteRanges(std::vector<std::pair<BYTE, BYTE>> ranges);

// The millisecond clock; it moves only when told to.
void SetClock(DWORD milliseconds);
void SetClockStep(DWORD milliseconds_per_read);

// Message boxes answer with the queued answers in order, then with the
// default button of their type.
struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
  int answer;
};
void QueueAnswer(int answer);
const std::vector<MessageBoxRecord>& MessageBoxes();

// Everything handed to OutputDebugStringA, one entry per call.
const std::vector<std::string>& DebugOutput();

// Processes. A started process lets the launcher's wait wake up for queued
// input the scripted number of times, then ends.
struct ProcessRecord {
  std::string application;  // "(null)" when none was given
  std::string command_line;
  bool has_environment;
  std::vector<std::string> environment;  // entries of the block, in order
  std::string current_directory;
  BOOL inherit_handles;
  DWORD creation_flags;
  DWORD startup_size;
  bool startup_zeroed;  // every field but the size is zero
  DWORD thread_id;
};
const std::vector<ProcessRecord>& Processes();
// on_wake runs at each scripted wake-up (counted from 1) and may post messages.
void ScriptProcess(int wakeups_before_exit, std::function<void(int)> on_wake = {});
void PostQueueMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
std::vector<MSG> DispatchedMessages();

// Display: the colour depth GetDeviceCaps reports for the desktop's device
// context (16 on a fresh machine).
void SetBitsPerPixel(int bits);
// Device contexts handed out and not yet released.
int OpenDeviceContextCount();

// Memory figures GlobalMemoryStatus reports, in bytes.
void SetFreeMemory(DWORD available_physical, DWORD available_page_file);

// Named kernel objects live per machine. Another launcher can hold a
// semaphore of a name, for ever or until the launcher has met it
// released_after_probes more times; or an object of another kind can take the
// name.
void HoldSemaphore(const std::string& name, int released_after_probes = -1);
void HoldOtherObject(const std::string& name);
bool SemaphoreExists(const std::string& name);
// Semaphore handles the launcher holds: kept until the process ends, so they
// are left out of OpenHandleCount.
int OpenSemaphoreHandleCount();

// Top-level windows of other threads, in the order EnumThreadWindows hands
// them over. An empty class name makes GetClassNameA fail.
struct WindowSpec {
  DWORD thread_id;
  std::string class_name;
  std::string title;
  bool iconic = false;
};
HWND AddThreadWindow(const WindowSpec& spec);
bool WindowIsIconic(HWND window);
HWND ForegroundWindow();
HWND TopWindow();

// Calls, in order, with their arguments as text.
struct Call {
  std::string name;
  std::vector<std::string> args;
};
const std::vector<Call>& Calls();
std::vector<Call> CallsTo(const std::string& name);

// Faults. FailCall fails the occurrence-th call of a name (0: every call).
// FailFromCall fails the index-th call of the run (counted from 1), and every
// later one when persistent.
void FailCall(const std::string& name, DWORD error, int occurrence = 0);
void FailFromCall(size_t index, DWORD error, bool persistent);

// Handles (processes, threads, keys, device contexts ...) taken and not yet
// given back; semaphore handles are counted apart, above.
int OpenHandleCount();

}  // namespace sim
