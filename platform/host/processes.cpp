// Process creation, handles, the launcher's message queue and the wait.
#include <cstring>
#include <filesystem>

#include "platform/host/sim_internal.h"

using sim::detail::Enter;
using sim::detail::Hex;
using sim::detail::M;
using sim::detail::Number;
using sim::detail::Text;

constexpr DWORD kErrorDirectory = 267;  // ERROR_DIRECTORY
// A runaway wait loop ends the test, not the machine.
constexpr int kMostWaits = 100000;
constexpr int kMostPeeks = 100000;

namespace sim {
const std::vector<ProcessRecord>& Processes() { return M().processes; }

void ScriptProcess(int wakeups_before_exit, std::function<void(int)> on_wake) {
  M().wakeups_before_exit = wakeups_before_exit;
  M().on_wake = std::move(on_wake);
}

void PostQueueMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  MSG msg = {};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wparam;
  msg.lParam = lparam;
  M().queue.push_back(msg);
}

std::vector<MSG> DispatchedMessages() { return M().dispatched; }

void EndApplicationAfterPeeks(int peeks) { M().peeks_before_exit = peeks; }

bool QueueRanAway() { return M().ran_away; }

bool QuitPending(int* exit_code) {
  *exit_code = M().quit_code;
  return M().quit_posted;
}
}  // namespace sim

static bool IsProgramFile(const std::string& path) {
  return sim::detail::IsFile(path) || sim::detail::IsFile(path + ".exe");
}

// The program the system would start for a command line: a quoted first
// token as written; unquoted, each prefix ending at a blank, shortest first.
static bool FindProgram(const std::string& command_line, std::string* program) {
  if (!command_line.empty() && command_line[0] == '"') {
    size_t close = command_line.find('"', 1);
    *program = command_line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    return IsProgramFile(*program);
  }
  for (size_t blank = command_line.find(' ');; blank = command_line.find(' ', blank + 1)) {
    *program = command_line.substr(0, blank);
    if (IsProgramFile(*program)) return true;
    if (blank == std::string::npos) return false;
  }
}

BOOL WINAPI StartProcess(LPCSTR application, LPSTR command_line,
                           LPSECURITY_ATTRIBUTES process_attributes,
                           LPSECURITY_ATTRIBUTES thread_attributes, BOOL inherit_handles,
                           DWORD creation_flags, LPVOID environment, LPCSTR current_directory,
                           LPSTARTUPINFOA startup_info, LPPROCESS_INFORMATION process_information) {
  if (Enter("StartProcess",
            {Text(application), Text(command_line),
             Hex(reinterpret_cast<uintptr_t>(process_attributes)),
             Hex(reinterpret_cast<uintptr_t>(thread_attributes)), Number(inherit_handles),
             Number(creation_flags), Hex(reinterpret_cast<uintptr_t>(environment)),
             Text(current_directory)})) {
    return FALSE;
  }
  sim::ProcessRecord record;
  record.application = Text(application);
  record.command_line = Text(command_line);
  record.has_environment = environment != nullptr;
  for (const char* entry = static_cast<const char*>(environment);
       entry != nullptr && *entry != '\0'; entry += strlen(entry) + 1) {
    record.environment.push_back(entry);
  }
  record.current_directory = Text(current_directory);
  record.inherit_handles = inherit_handles;
  record.creation_flags = creation_flags;
  record.startup_size = startup_info == nullptr ? 0 : startup_info->cb;
  STARTUPINFOA zeroed;
  memset(&zeroed, 0, sizeof zeroed);
  if (startup_info != nullptr) zeroed.cb = startup_info->cb;
  record.startup_zeroed =
      startup_info != nullptr && memcmp(&zeroed, startup_info, sizeof zeroed) == 0;

  if (current_directory != nullptr && !sim::detail::IsDirectory(current_directory)) {
    SetLastError(kErrorDirectory);
    return FALSE;
  }
  std::string program;
  if (!FindProgram(record.command_line, &program)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  record.thread_id = 0x100 + static_cast<DWORD>(M().processes.size()) * 4;
  M().processes.push_back(record);
  M().wakes = 0;
  M().application_ended = false;
  process_information->hProcess = sim::detail::NewHandle();
  M().application = process_information->hProcess;
  process_information->hThread = sim::detail::NewHandle();
  process_information->dwProcessId = record.thread_id - 4;
  process_information->dwThreadId = record.thread_id;
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  sim::detail::Note("CloseHandle", {Hex(reinterpret_cast<uintptr_t>(handle))});
  if (!sim::detail::ReleaseHandle(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                                       DWORD milliseconds, DWORD wake_mask) {
  if (Enter("MsgWaitForMultipleObjects",
            {Number(count),
             Hex(count > 0 && handles != nullptr ? reinterpret_cast<uintptr_t>(handles[0]) : 0),
             Number(wait_all), Number(milliseconds), Hex(wake_mask)})) {
    return WAIT_FAILED;
  }
  sim::detail::Machine& m = M();
  if (++m.waits > kMostWaits) m.ran_away = true;
  if (m.ran_away) return WAIT_FAILED;
  // A signalled handle comes before queued input.
  if (m.application_ended) return WAIT_OBJECT_0;
  m.generated_in_a_row = 0;
  if (!m.queue.empty() || m.quit_posted || sim::detail::HasGeneratedMessage())
    return WAIT_OBJECT_0 + count;
  if (m.wakes < m.wakeups_before_exit) {
    ++m.wakes;
    if (m.on_wake) m.on_wake(m.wakes);
    if (m.queue.empty() && !m.quit_posted && !sim::detail::HasGeneratedMessage())
      sim::PostQueueMessage(nullptr, 0, 0, 0);
    return WAIT_OBJECT_0 + count;
  }
  m.application_ended = true;
  return WAIT_OBJECT_0;
}

// Only the started application's handle is simulated, and only polled (no time-out).
DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  if (Enter("WaitForSingleObject",
            {Hex(reinterpret_cast<uintptr_t>(handle)), Number(milliseconds)})) {
    return WAIT_FAILED;
  }
  sim::detail::Machine& m = M();
  if (handle == nullptr || handle != m.application) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return m.application_ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT first, UINT last, UINT remove) {
  if (Enter("PeekMessageA", {Hex(reinterpret_cast<uintptr_t>(window)), Number(first), Number(last),
                             Number(remove)})) {
    return FALSE;
  }
  sim::detail::Machine& m = M();
  if (++m.peeks > kMostPeeks) m.ran_away = true;
  if (m.ran_away) return FALSE;
  if (m.peeks_before_exit > 0 && --m.peeks_before_exit == 0) m.application_ended = true;
  if (m.queue.empty() && m.quit_posted) {
    // Made up once nothing posted is left, before paint and timer messages.
    *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(m.quit_code), 0, m.clock, {0, 0}};
    if (remove & PM_REMOVE) m.quit_posted = false;
    return TRUE;
  }
  if (m.queue.empty()) return sim::detail::TakeGeneratedMessage(msg, (remove & PM_REMOVE) != 0);
  m.generated_in_a_row = 0;
  *msg = m.queue.front();
  if (remove & PM_REMOVE) m.queue.pop_front();
  return TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg) {
  sim::detail::Note("TranslateMessage", {Number(msg->message)});
  return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg) {
  sim::detail::Note("DispatchMessageA",
                    {Hex(reinterpret_cast<uintptr_t>(msg->hwnd)), Number(msg->message)});
  M().dispatched.push_back(*msg);
  LRESULT result = 0;
  if (msg->hwnd != nullptr && !sim::detail::CallWindowProcedure(
                                  msg->hwnd, msg->message, msg->wParam, msg->lParam, &result)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  }
  return result;
}

// A flag on the queue, not a posted message: calls before the message is
// taken make one WM_QUIT, with the last code.
void WINAPI PostQuitMessage(int exit_code) {
  sim::detail::Note("PostQuitMessage", {Number(exit_code)});
  M().quit_posted = true;
  M().quit_code = exit_code;
}
