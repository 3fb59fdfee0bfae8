// State shared by the simulation's areas. Not for tests: they use sim.h.
#pragma once

#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/host/sim.h"

namespace sim {
namespace detail {

struct Fault {
  std::string name;
  DWORD error;
  int occurrence;
};

struct Machine {
  // calls and faults
  std::vector<Call> calls;
  std::map<std::string, int> call_counts;
  std::vector<Fault> faults;
  size_t fail_from = 0;
  DWORD fail_from_error = 0;
  bool fail_persistent = false;
  DWORD last_error = 0;

  // files
  std::string root;
  std::string current_directory = "C:\\";
  std::string module_file_name = "C:\\prelaunch.exe";
  std::string temp_path = "C:\\TEMP\\";
  std::vector<std::pair<BYTE, BYTE>> lead_bytes;

  // clock and debug output
  DWORD clock = 0;
  DWORD clock_step = 0;
  std::vector<std::string> debug_output;

  // message boxes
  std::deque<int> answers;
  std::vector<MessageBoxRecord> boxes;

  // processes and the queue
  std::vector<ProcessRecord> processes;
  int wakeups_before_exit = 0;
  std::function<void(int)> on_wake;
  int wakes = 0;
  int waits = 0;
  std::deque<MSG> queue;
  std::vector<MSG> dispatched;

  // handles
  uintptr_t next_handle = 0x1000;
  std::set<uintptr_t> open_handles;

  // display and memory
  int bits_per_pixel = 16;
  std::map<uintptr_t, HWND> device_contexts;  // device context -> its window
  DWORD available_physical = 512u << 20;
  DWORD available_page_file = 1024u << 20;

  // named objects: other launchers' holds, and the launcher's own handles
  struct Hold {
    bool semaphore;
    int probes_left;  // -1: held for ever
  };
  std::map<std::string, Hold> holds;
  std::map<uintptr_t, std::string> semaphore_handles;

  // windows of other threads
  struct Window {
    HWND handle;
    WindowSpec spec;
  };
  std::vector<Window> windows;
  HWND foreground = nullptr;
  HWND top = nullptr;
};

Machine& M();

// Records the call; true when it must fail (the last error is then set).
bool Enter(const char* name, std::initializer_list<std::string> args);
// Records a call that cannot fail: giving back a valid handle, debug output.
void Note(const char* name, std::initializer_list<std::string> args);
std::string Text(const char* text);
std::string Number(long long value);
std::string Hex(uintptr_t value);

HANDLE NewHandle();
bool ReleaseHandle(HANDLE handle);

// Copies text into a caller's buffer as Windows does (cut to size - 1,
// terminated), then fills the rest of the buffer so that a size larger than
// the real buffer shows up under the address sanitizer. Returns the count copied.
DWORD PutText(char* out, DWORD size, const std::string& text);

// Windows path -> host path inside the machine's folder.
std::string MapPath(const std::string& windows_path);
// Absolute, normalised Windows path ("C:\A\B"), without a trailing separator.
std::string FullWindowsPath(const std::string& windows_path);
bool IsFile(const std::string& windows_path);
bool IsDirectory(const std::string& windows_path);

}  // namespace detail
}  // namespace sim
