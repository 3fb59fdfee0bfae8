// State shared by the simulation's areas. Not for tests: they use sim.h.
#pragma once

#include <deque>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
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

struct Timer {
  UINT elapse;
  DWORD due;
};

struct Window {
  WindowRecord record;
  WNDPROC proc;
  bool needs_paint;
  bool destroying;
  std::map<UINT_PTR, Timer> timers;
};

struct WindowClass {
  std::string name;
  HINSTANCE instance;
  UINT style;
  WNDPROC proc;
};

struct DeviceContext {
  HWND window;
  HPALETTE palette;
};

struct Resource {
  std::unique_ptr<BYTE[]> bytes;  // exactly sized, so an over-read shows under ASan
  DWORD size;
};

struct StoredValue {
  DWORD type;
  std::vector<BYTE> data;
};

// Subkeys and values are keyed by their upper-case names (names ignore case)
// and keep the name they were made with; subkeys enumerate in name order.
struct RegistryKey {
  std::string name;
  std::string key_class;
  bool is_volatile = false;
  std::map<std::string, std::unique_ptr<RegistryKey>> subkeys;
  std::map<std::string, std::pair<std::string, StoredValue>> values;
};

struct OpenKey {
  RegistryKey* key;
  REGSAM access;
  bool user_hive = false;  // below HKEY_CURRENT_USER, which its user may write
  // Opened through HKEY_CLASSES_ROOT: its levels below it, so that keys
  // opened below it are looked for in the merged view again.
  bool classes_view = false;
  std::vector<std::string> classes_levels;
};

struct Library {
  std::string path;  // as registered
  std::map<std::string, std::function<LONG()>> entries;
  std::vector<std::string> imports;     // file names the loader must find
  std::map<std::string, size_t> slots;  // entry points handed out
  int loads = 0;
};

// The system palette as a fresh display has it: static colours at both ends.
std::vector<PALETTEENTRY> FreshSystemPalette();

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
  std::string system_directory = "C:\\WINDOWS\\SYSTEM32";
  // the library search: whether kernel32 has SetDefaultDllDirectories, the
  // flags it was given (0: never called), and SetLibraryFolder's folder
  bool has_default_dll_directories = true;
  DWORD default_dll_directories = 0;
  bool dll_directory_set = false;
  std::string dll_directory;
  // the launcher's environment, in the order the variables were set
  std::vector<std::pair<std::string, std::string>> environment = {{"SystemRoot", "C:\\WINDOWS"}};

  // files opened with OpenFilePath, by handle; the console of the launcher's parent
  struct OpenedFile {
    std::string path;  // empty for the console
    DWORD access;
    DWORD position;
  };
  std::map<uintptr_t, OpenedFile> files;
  bool parent_console = false;
  bool attached = false;
  HANDLE standard_output = nullptr;  // the console once attached, or what the parent gave
  std::string console_output;

  // heap blocks handed out and not yet freed
  std::map<uintptr_t, std::unique_ptr<unsigned char[]>> heap_blocks;

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
  HANDLE application = nullptr;  // the started process's handle
  bool application_ended = false;
  int peeks_before_exit = 0;  // 0: the application ends only at a wait
  int peeks = 0;
  bool ran_away = false;  // the launcher kept at its queue without end
  std::deque<MSG> queue;
  std::vector<MSG> dispatched;
  bool quit_posted = false;  // PostQuitMessage's flag, with the last code it was given
  int quit_code = 0;

  // windows, classes and timers
  int screen_width = 1024;
  int screen_height = 768;
  std::vector<WindowClass> classes;
  std::map<HWND, Window> windows;
  ATOM next_atom = 0xC000;
  int generated_in_a_row = 0;

  // graphics
  bool palette_device = false;
  std::vector<PALETTEENTRY> system_palette = FreshSystemPalette();
  std::map<HDC, DeviceContext> dcs;
  std::vector<PaletteInfo> palettes;  // every palette made, in order
  std::vector<DrawRecord> draws;
  int deleted_while_selected = 0;
  int released_with_palette = 0;

  // resources and sound
  std::map<std::pair<int, int>, Resource> resources;
  std::vector<SoundRecord> sounds;

  // registry: the machine's and the user's roots, and keys opened on them;
  // HKEY_CLASSES_ROOT is a view of both Software\Classes keys
  RegistryKey local_machine;
  RegistryKey current_user;
  std::map<HKEY, OpenKey> open_keys;
  bool standard_user = false;  // the machine's keys grant reading only

  // libraries by host path; entry points handed out, by slot
  std::map<std::string, Library> libraries;
  std::vector<std::function<LONG()>> entry_slots;

  // handles
  uintptr_t next_handle = 0x1000;
  std::set<uintptr_t> open_handles;

  // display and memory
  int bits_per_pixel = 16;
  DWORD available_physical = 512u << 20;
  DWORD available_page_file = 1024u << 20;
  uint64_t available_physical64 = 512u << 20;
  uint64_t available_page_file64 = 1024u << 20;

  // named objects: other launchers' holds, and the launcher's own handles
  struct Hold {
    bool semaphore;
    int probes_left;  // -1: held for ever
  };
  std::map<std::string, Hold> holds;
  std::map<uintptr_t, std::string> semaphore_handles;

  // windows of other threads
  struct ThreadWindow {
    HWND handle;
    WindowSetup setup;
  };
  std::vector<ThreadWindow> thread_windows;
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
std::string HexOf(const void* pointer);

HANDLE NewHandle();
bool ReleaseHandle(HANDLE handle);

// Copies text into a caller's buffer as Windows does (cut to size - 1,
// terminated), then fills the rest of the buffer so that a size larger than
// the real buffer shows up under the address sanitizer. Returns the count copied.
DWORD PutText(char* out, DWORD size, const std::string& text);

// Names as Windows compares them: without regard to case; no name matches nothing.
bool SameName(const std::string& a, const char* b);

// Messages the system makes up when the posted queue is empty: WM_PAINT for
// a window that needs painting, then WM_TIMER for a due timer.
bool HasGeneratedMessage();
bool TakeGeneratedMessage(MSG* msg, bool remove);
// Applies SetWindowPos's insert_after to one of the launcher's own windows;
// false when the window is none of them.
bool PlaceOwnWindow(HWND window, HWND insert_after);
// Calls the window's procedure; false when there is no such window.
bool CallWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);

// Windows path -> host path inside the machine's folder.
std::string MapPath(const std::string& windows_path);
// Absolute, normalised Windows path ("C:\A\B"), without a trailing separator.
std::string FullWindowsPath(const std::string& windows_path);
// The one desktop window, whose device context is the whole screen.
HWND DesktopWindow();
bool IsFile(const std::string& windows_path);
bool IsDirectory(const std::string& windows_path);

}  // namespace detail
}  // namespace sim
