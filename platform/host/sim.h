// The simulated machine, for tests: set it up, run launcher code against it,
// read back what happened. Every Win32 call of the launcher is recorded with
// its arguments and can be made to fail.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace sim {

// A fresh machine: no files, no failures, clock at 0, nothing recorded.
void Reset();

// Files. Windows paths (any case, either separator) map into a private host
// folder; relative paths resolve against the simulated working directory.
bool WriteFile(const std::string& windows_path, const std::string& content);
bool MakeDirectory(const std::string& windows_path);
bool FileExists(const std::string& windows_path);
bool RemoveFile(const std::string& windows_path);
std::string CurrentDirectory();

// A file's whole content; empty when there is none.
std::string ReadFile(const std::string& windows_path);

// The launcher was started from a console (AttachConsole can attach to it),
// and what it wrote there.
void SetParentConsole(bool on);
// The parent handed the launcher a standard output of its own (a file or a
// pipe), which the console does not replace. Written to ConsoleOutput too.
void SetRedirectedOutput(bool on);
const std::string& ConsoleOutput();

void SetModuleFileName(const std::string& path);
// An empty path makes GetTempFolder report none.
void SetTempPath(const std::string& path);
// The launcher's own environment (names ignore case); a fresh machine has
// SystemRoot=C:\WINDOWS.
void SetEnvironmentValue(const std::string& name, const std::string& value);
void RemoveEnvironmentValue(const std::string& name);
// Byte ranges that are lead bytes of the system's double-byte code page.
void SetLeadByteRanges(std::vector<std::pair<BYTE, BYTE>> ranges);

// The millisecond clock; it moves only when told to.
void SetClock(DWORD milliseconds);
void SetClockStep(DWORD milliseconds_per_read);
void AdvanceClock(DWORD milliseconds);

// Message boxes answer with the queued answers in order, then with the
// default button of their type.
struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
  int answer;
  std::vector<HWND> windows_up;  // the launcher's windows while the box showed
  std::vector<HWND> covered_by;  // those of them that were topmost, above an ordinary box
};
void QueueAnswer(int answer);
const std::vector<MessageBoxRecord>& MessageBoxes();

// Everything handed to WriteDebuggerText, one entry per call.
const std::vector<std::string>& DebugOutput();

// Processes. A started process lets the launcher's wait wake up for queued
// input the scripted number of times, then ends when the launcher next waits.
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
// The application ends on its own once the launcher has looked at its queue
// this many times, also while the launcher is still busy with the queue.
void EndApplicationAfterPeeks(int peeks);
// A launcher that kept at its queue without end (a message that keeps coming
// back, or a wait that never sees the process end) is stopped: its waits fail
// and its queue reads empty from then on. True once that happened.
bool QueueRanAway();
void PostQueueMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
std::vector<MSG> DispatchedMessages();
// PostQuitMessage sets a flag rather than posting: PeekMessageA makes up one
// WM_QUIT (no window, the last exit code as wParam) once no posted message is
// left, before paint and timer messages, and only PM_REMOVE clears the flag;
// a wait wakes for it. True while the flag is set.
bool QuitPending(int* exit_code);

// Display: the colour depth GetDeviceCaps reports for the desktop's device
// context (16 on a fresh machine).
void SetBitsPerPixel(int bits);
// Device contexts handed out and not yet released.
int OpenDeviceContextCount();

// Memory figures, in bytes. SetFreeMemory sets what GlobalMemoryStatus reports
// and GlobalMemoryStatusEx the same. SetFreeMemory64 sets GlobalMemoryStatusEx's
// figures; GlobalMemoryStatus then reports each clamped at 2 GiB - 1, as it does
// for a program that is not large-address-aware.
void SetFreeMemory(DWORD available_physical, DWORD available_page_file);
void SetFreeMemory64(uint64_t available_physical, uint64_t available_page_file);

// Named kernel objects live per machine. Another launcher can hold a
// semaphore of a name, for ever or until the launcher has met it
// released_after_probes more times; or an object of another kind can take the
// name.
void HoldSemaphore(const std::string& name, int released_after_probes = -1);
void HoldOtherObject(const std::string& name);
// Semaphore handles the launcher holds: kept until the process ends, so they
// are left out of OpenHandleCount.
int OpenSemaphoreHandleCount();
// The launcher's process ends: the system closes the semaphore handles it held.
void EndLauncherProcess();

// Top-level windows of other threads, in the order EnumThreadWindows hands
// them over; for thread 0 it hands over all of them, as Wine does. An empty
// class name makes GetWindowClassName fail.
struct WindowSetup {
  DWORD thread_id;
  std::string class_name;
  std::string title;
  bool iconic = false;
};
HWND AddThreadWindow(const WindowSetup& setup);
// A window its thread makes now: it comes before the thread's earlier
// windows, as a new window starts at the top of the Z order. The thread's
// first one also brings the system's input method window (class "IME"),
// which comes after all of them.
HWND CreateThreadWindow(const WindowSetup& setup);
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

// The folder GetSystemFolder names (default C:\WINDOWS\SYSTEM32).
void SetSystemDirectory(const std::string& path);

// Handles (processes, threads, keys, windows, DCs, palettes, heap blocks ...)
// taken and not yet given back; semaphore handles are counted apart, above.
int OpenHandleCount();

// The screen and its display: 1024 x 768 without a hardware palette by default.
void SetScreenSize(int width, int height);
// A palette device has a 256-entry system palette with the 20 static colours
// at entries 0-9 and 246-255; realising a palette fills the others.
void SetPaletteDevice(bool on);
std::vector<PALETTEENTRY> SystemPalette();

// Windows that exist now.
struct WindowRecord {
  HWND handle;
  std::string class_name;
  std::string title;
  DWORD ex_style;
  DWORD style;
  int x, y, width, height;
  HINSTANCE instance;
  std::vector<std::pair<UINT_PTR, UINT>> timers;  // id, elapse
};
std::vector<WindowRecord> Windows();
bool ClassRegistered(const std::string& name, HINSTANCE instance);
// Sends a message straight to a window's procedure, as the system does for
// its broadcasts. Returns its result (0 for no such window).
LRESULT SendToWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// What the end of the process does to the windows still up, with their WM_DESTROY.
void DestroyRemainingWindows();

// Palettes made (in order), with the entries they were made from.
struct PaletteInfo {
  HPALETTE handle;
  WORD version;
  std::vector<PALETTEENTRY> entries;
  bool deleted;
  int realized;  // times realised on a palette device
};
const std::vector<PaletteInfo>& Palettes();
int PalettesDeletedWhileSelected();
int DcsReleasedWithAPaletteSelected();

// Each SetDIBitsToDevice, with what it drew from.
struct DrawRecord {
  HDC dc;
  HWND window;
  int x, y;
  DWORD width, height;
  int source_x, source_y;
  UINT start_scan, lines;
  const void* bits;
  const BITMAPINFO* info;
  UINT colour_use;
  HPALETTE palette;                // selected in the context while drawing
  std::vector<BYTE> colour_table;  // 256 x 4 bytes read from info
  uint32_t pixel_sum;              // of every byte of the rows drawn
};
const std::vector<DrawRecord>& Draws();

// Resources of the launcher's module, by type and number.
void SetResource(int type, int id, const std::vector<BYTE>& bytes);
const BYTE* ResourceBytes(int type, int id);

// Sounds played, in order.
struct SoundRecord {
  std::string sound;  // "(null)" for none
  HMODULE module;
  DWORD flags;
  bool file_found;
};
const std::vector<SoundRecord>& Sounds();

// The registry. Roots are HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER; paths
// have one or more levels joined by backslashes; names ignore case. Keys made
// here have no class and are lasting unless MakeRegistryKey is told otherwise.
// HKEY_CLASSES_ROOT is the merged view of both roots' Software\Classes, as
// for an interactive user, elevated or not: below a top-level key (TypeLib,
// CLSID), a key the user's classes hold hides the machine's whole key of that
// name. Keys made here through HKEY_CLASSES_ROOT go to the machine's classes.
void SetRegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
                      const std::vector<BYTE>& data);
// A REG_SZ value stored with its terminating NUL.
void SetRegistryText(HKEY root, const std::string& path, const std::string& name,
                     const std::string& text);
void MakeRegistryKey(HKEY root, const std::string& path, bool is_volatile = false);
bool RegistryKeyExists(HKEY root, const std::string& path);
// Deletes the key with all below it, as a control's unregistration does.
void DeleteRegistryKey(HKEY root, const std::string& path);
struct RegistryKeyInfo {
  std::string key_class;
  bool is_volatile;
};
RegistryKeyInfo RegistryKeyDetails(HKEY root, const std::string& path);
// false when the key or value is missing.
bool RegistryValue(HKEY root, const std::string& path, const std::string& name, DWORD* type,
                   std::vector<BYTE>* data);
// The value's bytes up to its first NUL; "(none)" when missing.
std::string RegistryText(HKEY root, const std::string& path, const std::string& name);
// What a restart of the system does: volatile keys are gone.
void RestartSystem();
// A user without administrator rights: every key may be read, none of the
// machine's written. Creating a key, opening one with any write right and setting
// a value fail with ERROR_ACCESS_DENIED; RegOpenKeyA (which asks for the most
// the user may have) opens for reading.
void SetStandardUser(bool on);

// Libraries. GetModuleHandleA knows kernel32.dll, whose GetProcAddress hands
// out GlobalMemoryStatusEx. A registered library loads from its path when a
// file is there and each of its imports (file names) is found where the
// loader looks; its entry points return the status their function gives.
// Writes a stub file at the path when none exists.
void AddLibrary(const std::string& windows_path,
                std::map<std::string, std::function<LONG()>> entries,
                std::vector<std::string> imports = {});
// A kernel32 without SetDefaultDllDirectories (Vista, 7 without its loader
// update): GetProcAddress does not find it and LoadLibraryFrom refuses the
// LOAD_LIBRARY_SEARCH_* flags. GetProcAddress hands it out otherwise; once it
// took, loads without those flags search only the folders it named, and each
// LOAD_LIBRARY_SEARCH_* flag searches its folder: the library's own (for a
// full path only), SetLibraryFolder's, the system folder. Without it a load
// searches the library's own folder (altered order) or the exe's, then
// SetLibraryFolder's folder, the system folder, and the working directory
// unless SetLibraryFolder was called.
void SetDefaultDllDirectoriesPresent(bool present);
// The flags SetDefaultDllDirectories took, 0 when it never did.
DWORD DefaultDllDirectories();
// Libraries loaded and not freed, counted apart from handles that must be closed.
int LoadedLibraryCount();
bool LibraryLoaded(const std::string& windows_path);

}  // namespace sim
